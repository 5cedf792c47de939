// The observer file "ORVA.OBS": 50-byte records (name, latitude, east longitude, altitude), no
// header, in the order added. Names are compared exactly (case-sensitive).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/result.h"

namespace orva::elements {

inline constexpr std::size_t kObserverRecordSize = 50;

struct ObserverRecord {
    std::string name;     // at most 25 characters in the record (19 from the dialog)
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    double altitude = 0;  // metres above the ellipsoid
    bool operator==(const ObserverRecord&) const = default;
};

// A ground position as the orbit model uses it.
struct ObserverSite {
    std::string name;
    double latitude_rad = 0;       // geodetic, north positive
    double longitude_east_rad = 0; // east positive
    double height_m = 0;

    // The home station from its stored values, whose longitude is west positive.
    static ObserverSite from_station(std::string callsign, double latitude_deg,
                                     double longitude_west_deg, double altitude_m);
    static ObserverSite from_record(const ObserverRecord& record);
};

using ObserverBytes = std::array<std::uint8_t, kObserverRecordSize>;
ObserverBytes encode_observer_record(const ObserverRecord& record);
ObserverRecord decode_observer_record(std::span<const std::uint8_t, kObserverRecordSize> bytes);

// The records of a whole observer file's bytes; an error when the size is not a multiple of 50.
Result<std::vector<ObserverRecord>> decode_observer_file(std::span<const std::uint8_t> bytes);

class ObserverFile {
public:
    explicit ObserverFile(std::filesystem::path path) : path_(std::move(path)) {}

    // Every record in file order. A file whose size is not a whole number of records is an error.
    Result<std::vector<ObserverRecord>> read_all() const;
    // The first record with exactly this name; std::nullopt when absent or the file is missing.
    Result<std::optional<ObserverSite>> load_observer(const std::string& name) const;
    // Overwrites the record of that name or appends; true when appended.
    Result<bool> store_observer(const ObserverRecord& record) const;
    // Removes the first record of that name; false (file untouched) when there is none.
    Result<bool> delete_observer(const std::string& name) const;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// "ORVA.OBS" in the suite folder, matched without regard to case.
std::filesystem::path observer_file_path(const std::filesystem::path& suite_dir);

} // namespace orva::elements

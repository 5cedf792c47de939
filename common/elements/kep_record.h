// One slot of the element database "Orva.KEP": 166 bytes, packed, little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace orva::elements {

inline constexpr std::size_t kKepRecordSize = 166;
inline constexpr std::int16_t kNoAttitude = 9999;
inline constexpr std::size_t kKepNameMax = 12;
inline constexpr std::size_t kModeScheduleMax = 64;

struct KepRecord {
    std::string name;           // at most 12 characters; empty marks a free slot
    std::uint16_t catalogue = 0;
    std::int32_t element_set = 0;
    std::int32_t epoch_rev = 0;
    double epoch_day = 0;       // 1.0 = 1 January 00:00 UTC
    double decay = 0;           // rev/day^2, not used by the orbit model
    double inclination = 0;     // degrees
    double raan = 0;            // degrees
    double eccentricity = 0;
    double arg_perigee = 0;     // degrees
    double mean_anomaly = 0;    // degrees
    double mean_motion = 0;     // rev/day
    double beacon_mhz = 0;
    std::int16_t epoch_year = 0; // two digits: 0-49 = 20xx, 50-99 = 19xx
    std::int16_t blon = kNoAttitude;
    std::int16_t blat = kNoAttitude;
    std::string mode_schedule;  // at most 64 characters

    bool is_free() const { return name.empty(); }
    bool operator==(const KepRecord&) const = default;
};

using KepBytes = std::array<std::uint8_t, kKepRecordSize>;

KepBytes encode_kep_record(const KepRecord& record);
KepRecord decode_kep_record(std::span<const std::uint8_t, kKepRecordSize> bytes);

// Four-digit year of a two-digit epoch year (below 50 means 20xx).
int full_epoch_year(int two_digit_year);

// Whether `candidate` has a strictly later epoch than `current`, with the century pivot.
bool is_newer(const KepRecord& current, const KepRecord& candidate);

// `slot` takes the element set of `candidate` but keeps the station's own fields
// (name, beacon, attitude and mode schedule).
void replace_keeping_station_fields(KepRecord& slot, const KepRecord& candidate);

} // namespace orva::elements

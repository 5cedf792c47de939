// Tessel's side of the download-status table "Brek File Info.DAT": the same mapped file the
// engine writes, 1000 records of {file number, time, status byte, 3 unused}. Tessel changes
// status bytes only through here.
#pragma once

#include "platform/result.h"
#include "platform/shared_records.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <unordered_map>
#include <vector>

namespace orva::dirview {

inline constexpr std::size_t kStatusRecords = 1000;
inline constexpr std::size_t kStatusRecordSize = 12;
inline constexpr const char* kStatusFileName = "Brek File Info.DAT";
inline constexpr std::uint8_t kStatusUnknown = 4; // no record, or no table: Grab

inline constexpr std::uint8_t kCodeMask = 0x0F;
inline constexpr std::uint8_t kRequestedBit = 0x10;
inline constexpr std::uint8_t kChangedBit = 0x80;

class StatusView {
public:
    // Opens (creating a zeroed table when absent) and maps the table in `satellite_dir`.
    static Result<StatusView> open(const std::filesystem::path& satellite_dir);

    // The status byte of the file's record, kStatusUnknown without one. Reads the mapping live.
    std::uint8_t status_of(std::uint32_t file_number) const;
    // Codes 5-11 get the requested bit, every code the changed bit. An existing record has its
    // byte replaced; otherwise the record with the smallest time among those whose status byte
    // is below 5 is taken (record 0 when there is none) and stamped with `now`.
    // False when the table could not be locked or written (nothing changed).
    bool set_status(std::uint32_t file_number, int code, std::uint32_t now);
    // Clears the changed bit of every record (closing the directory).
    void clear_changed();

    // All records at once: file number -> status byte. For filtering many entries.
    std::unordered_map<std::uint32_t, std::uint8_t> snapshot() const;
    // File number and status byte of every record, to notice changes made by another program.
    std::vector<std::uint8_t> raw() const;

    void flush();

private:
    explicit StatusView(platform::SharedRecordFile file) : file_(std::move(file)) {}
    platform::SharedRecordFile file_;
};

} // namespace orva::dirview

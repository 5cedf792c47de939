// Download status codes of the status table, with the letter the directory line shows for each.
#pragma once

#include <cstdint>

namespace orva::engine {

enum StatusCode : std::uint8_t {
    kStatusNone = 0,
    kStatusNever = 1,
    kStatusError = 2, // file not available on the satellite
    kStatusDownloaded = 3,
    kStatusGrab = 4,
    kStatusAuto3 = 5,
    kStatusIncremental = 6,
    kStatusAuto2 = 7,
    kStatusAuto1 = 8,
    kStatusAuto = 9,
    kStatusPriority = 10,
    kStatusMine = 11,
};

inline constexpr std::uint8_t kStatusCodeMask = 0x0F;
inline constexpr std::uint8_t kRequestedFlag = 0x10;
inline constexpr std::uint8_t kChangedFlag = 0x80;

inline char status_letter(int code)
{
    static constexpr char letters[] = "gNgDg3I21APM";
    return code >= 0 && code <= 11 ? letters[code] : 'g';
}

// Codes 5-11: the station wants the file.
inline bool status_wanted(int code) { return code > kStatusGrab && code <= kStatusMine; }

} // namespace orva::engine

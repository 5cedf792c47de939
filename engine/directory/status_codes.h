// Download status codes of the status table, with the letter the directory line shows for each.
#pragma once

#include <cstdint>

namespace orva::engine {

enum StatusCode : std::uint8_t {
    kCodeNone = 0,
    kCodeNever = 1,
    kCodeError = 2, // file not available on the satellite
    kCodeDownloaded = 3,
    kCodeGrab = 4,
    kCodeAuto3 = 5,
    kCodeIncremental = 6,
    kCodeAuto2 = 7,
    kCodeAuto1 = 8,
    kCodeAuto = 9,
    kCodePriority = 10,
    kCodeMine = 11,
};

inline constexpr std::uint8_t kCodeMask = 0x0F;
inline constexpr std::uint8_t kRequestedFlag = 0x10;
inline constexpr std::uint8_t kChangedFlag = 0x80;

inline char status_letter(int code)
{
    static constexpr char letters[] = "gNgDg3I21APM";
    return code >= 0 && code <= 11 ? letters[code] : 'g';
}

// Codes 5-11: the station wants the file.
inline bool status_wanted(int code) { return code > kCodeGrab && code <= kCodeMine; }

} // namespace orva::engine

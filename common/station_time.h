// Station time: UTC seconds. On disk it is a signed 32-bit count since 1970; in memory 64-bit
// std::chrono, converted only at the file boundary.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace orva {

using StationTime = std::chrono::sys_seconds;

inline std::int32_t to_disk32(StationTime t)
{
    return static_cast<std::int32_t>(t.time_since_epoch().count());
}
inline StationTime from_disk32(std::int32_t seconds) { return StationTime(std::chrono::seconds(seconds)); }

// PACSAT times on the air are unsigned 32-bit seconds.
inline StationTime from_pacsat32(std::uint32_t seconds) { return StationTime(std::chrono::seconds(seconds)); }
inline std::uint32_t to_pacsat32(StationTime t)
{
    return static_cast<std::uint32_t>(t.time_since_epoch().count());
}

// "2026-12-08T21:10:00Z"
std::string format_iso8601(StationTime t);
// Accepts "YYYY-MM-DDTHH:MM[:SS][Z]" (or a blank for the T); none when malformed.
std::optional<StationTime> parse_iso8601(const std::string& text);

} // namespace orva

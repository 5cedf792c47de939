// One scheduled pass: the unit of the schedule list and of "Orva Schedule.DAT" (108 bytes each,
// packed, little-endian). Times are station seconds; on disk they are signed 32-bit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace orva::station {

inline constexpr std::size_t kPassEntrySize = 108;
inline constexpr std::int32_t kCannotRun = 1000; // effective priority of an entry that cannot run

// The largest station time as a pass's last run end: its satellite's settings could not be read,
// and the mark is kept in the schedule file so that a restart does not run it either.
inline constexpr std::int64_t kNeverRunsAgain = 0x7FFFFFFF;

struct PassEntry {
    std::string name; // at most 11 characters on disk
    std::int64_t aos = 0, los = 0;          // as shown (radio-horizon times with "Display Horizon")
    std::int64_t run_start = 0, run_end = 0; // the usable pass
    std::int32_t min_pass_time = 0, start_lead = 0;
    std::int32_t run_now = 0, ended_by_station = 0;
    std::int32_t max_elevation = 0; // whole degrees, truncated
    std::int32_t priority = 0;      // 1-100; 0 = manual pass
    std::int32_t effective_priority = 0;
    std::int32_t dont_run = 0, flip = 0, listen_only = 0, elevation_ok = 0;
    std::int32_t ignore_pass_checking = 0, run_regardless = 0, popup_done = 0;
    std::int64_t last_run_end = 0; // 0 = never run; kNeverRunsAgain: never to be started

    // In memory only: never on disk.
    std::uint32_t popup_window = 0; // the open pre-pass notice
    std::int64_t tca = 0;            // time of the highest elevation
    double max_elevation_deg = 0;    // refined highest elevation
    double aos_azimuth_deg = 0, los_azimuth_deg = 0;
    // With "Use Horizon": whether the pass never cleared the radio horizon; unknown for a pass
    // read back from the schedule file.
    std::optional<bool> radio_horizon_missed;

    bool manual() const { return priority == 0; }
    bool operator==(const PassEntry&) const = default;
};

using PassEntryBytes = std::array<std::uint8_t, kPassEntrySize>;

// Field by field; the notice handle and the list link are written as zero.
PassEntryBytes encode_pass_entry(const PassEntry& entry);
PassEntry decode_pass_entry(std::span<const std::uint8_t, kPassEntrySize> bytes);

} // namespace orva::station

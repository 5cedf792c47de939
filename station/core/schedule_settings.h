// What the schedule takes from the store: the station-wide schedule settings, and each
// satellite's own (priority, state, start lead, minimum elevation and pass time).
#pragma once

#include <cstdint>
#include <string>

#include "common/settings/satellite_record.h"
#include "platform/store/store.h"
#include "station/schedule/schedule.h"

namespace orva::station {

inline constexpr const char* kNotInDatabase =
    "Helmo cannot find satellite %s in the keplerian database.  No passes of this satellite will be scheduled.";

// The schedule settings of the store.
ScheduleConfig read_schedule_config(const platform::Store& store);

// What the schedule keeps of one satellite's setup.
struct SatelliteSchedule {
    std::string name;
    std::int32_t priority = 100;     // 1-100
    std::int32_t sat_state = 0;      // 0 run, 1 list only, 2 and above not scheduled
    std::int32_t start_lead = 25;    // seconds
    std::int32_t min_elevation = 0;  // whole degrees
    std::int32_t min_pass_time = 0;  // seconds
    bool operator==(const SatelliteSchedule&) const = default;
};
// From a stored record: a priority outside 1-100 becomes 10, the minimum pass time seconds.
SatelliteSchedule satellite_schedule(const settings::SatelliteRecord& record);
std::string not_in_database_text(const std::string& name);

} // namespace orva::station

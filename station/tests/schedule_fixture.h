// Satellites and schedules for the schedule, dispatcher and station tests.
#pragma once

#include <string>
#include <vector>

#include "station/schedule/schedule.h"
#include "station/tests/tle_fixture.h"

namespace orva::station::testing {

inline constexpr std::int64_t kReferenceStart = 1751068800; // 2025-06-28 00:00:00 UTC

// The demo station: 52.2 N, 0.12 W, 20 m.
inline elements::ObserverSite demo_site()
{
    return elements::ObserverSite::from_station("N0CALL", 52.2, 0.12, 20.0);
}

inline std::vector<elements::KepRecord> reference_records()
{
    std::vector<elements::KepRecord> out;
    for (const TleSet& s : read_tle_file(data_path("elements-2025-178.txt"))) {
        elements::KepRecord r = kep_from_tle(s);
        // Names cut to 12 characters collide ("DMSP 5D-3 F1"); a station names them apart.
        for (const elements::KepRecord& o : out)
            if (o.name == r.name)
                r.name = "CAT " + std::to_string(r.catalogue);
        out.push_back(r);
    }
    return out;
}

inline ScheduledSatellite scheduled(const elements::KepRecord& r, std::int64_t now, std::int32_t priority = 100)
{
    ScheduledSatellite s;
    Status st = init_track(r, s.track, now);
    (void)st;
    s.priority = priority;
    reset_search(s, now);
    return s;
}

} // namespace orva::station::testing

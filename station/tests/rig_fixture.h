// A low satellite and a site for the rotator and radio tests, and a helper that finds the
// moment the satellite stands at a given elevation while rising.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "station/orbit/sat_track.h"

namespace orva::station::testing {

inline elements::KepRecord rig_satellite()
{
    elements::KepRecord r;
    r.name = "AO-7";
    r.catalogue = 7530;
    r.epoch_year = 25;
    r.epoch_day = 178.92074625;
    r.inclination = 101.9927;
    r.raan = 183.3801;
    r.eccentricity = 0.0012658;
    r.arg_perigee = 87.3237;
    r.mean_anomaly = 339.0794;
    r.mean_motion = 12.53689854;
    r.epoch_rev = 31612;
    return r;
}

inline elements::ObserverSite rig_site()
{
    return elements::ObserverSite::from_station("G0ABC", 51.5, 0.1, 30);
}

inline constexpr std::int64_t kRigEpoch = 1750982400; // 2025-06-27

// The first second after `from` at which the rising satellite's elevation reaches `deg`.
inline std::optional<std::int64_t> time_at_elevation(double deg, std::int64_t from = kRigEpoch)
{
    SatTrack t;
    if (!init_track(rig_satellite(), t, from))
        return std::nullopt;
    auto site = rig_site();
    double previous = -90;
    for (std::int64_t s = from; s < from + 3 * 86400; s += 1) {
        t.compute_time = s;
        if (!compute_position(t, site))
            return std::nullopt;
        double el = t.elevation * 57.29577951308232;
        if (previous < deg && el >= deg && el - previous < 1)
            return s;
        previous = el;
    }
    return std::nullopt;
}

} // namespace orva::station::testing

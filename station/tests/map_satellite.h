// The polar satellite the map tests follow: AO-16 on elements of December 2026 (near 14.3
// revolutions a day, 98.6 degrees), without a beacon frequency.
#pragma once

#include "common/elements/kep_record.h"

namespace orva::station::testing {

inline elements::KepRecord map_satellite()
{
    elements::KepRecord r;
    r.name = "AO-16";
    r.catalogue = 20439;
    r.epoch_year = 26;
    r.epoch_day = 343.4;
    r.inclination = 98.6;
    r.raan = 40;
    r.eccentricity = 0.001;
    r.arg_perigee = 90;
    r.mean_anomaly = 10;
    r.mean_motion = 14.3;
    return r;
}

} // namespace orva::station::testing

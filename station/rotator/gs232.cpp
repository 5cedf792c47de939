#include "station/rotator/gs232.h"

#include <cmath>
#include <cstdio>

namespace orva::station::gs232 {

std::string tick(LastSent& last, const Aim& a)
{
    if (std::fabs(a.azimuth_deg - last.azimuth) <= 3.0 && std::fabs(a.elevation_deg - last.elevation) <= 3.0)
        return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "W%0.0f %0.0f\r\n", a.azimuth_deg, a.elevation_deg);
    last.azimuth = a.azimuth_deg;
    last.elevation = a.elevation_deg;
    return buf;
}

} // namespace orva::station::gs232

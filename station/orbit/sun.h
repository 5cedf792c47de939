// The Sun's direction and distance for the map's terminator and sub-solar point.
#pragma once

#include "station/orbit/vec3.h"

namespace orva::station {

struct SunPosition {
    double longitude_east = 0; // radians, of the sub-solar point
    double latitude = 0;       // radians
    double distance_m = 0;
    Vec3 direction;            // Earth-fixed unit vector
};

SunPosition sun_position(double unix_seconds);

} // namespace orva::station

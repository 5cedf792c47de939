// Ground geometry on the IAU 1976 ellipsoid: geodetic points, the observer's position and the
// look angles of a target from it. Earth-fixed vectors are in metres.
#pragma once

#include "common/elements/observer_file.h"
#include "station/orbit/vec3.h"

namespace orva::station {

inline constexpr double kEllipsoidA = 6378140.0;
inline constexpr double kEllipsoidE2 = 0.006694380002756625; // flattening 1/298.257

struct Geodetic {
    double latitude = 0;       // radians
    double longitude_east = 0; // radians
    double height_m = 0;
};

// 0 on success, 1-3 for the iteration's failure cases (degenerate point, no convergence).
int geodetic_from_earth_fixed(const Vec3& p, Geodetic& out);

// The observer's Earth-fixed position and local frame, computed once per site.
struct SiteFrame {
    Vec3 position;
    Vec3 north, east, down;
    static SiteFrame from(const elements::ObserverSite& site);
};

struct LookAngles {
    double azimuth = 0;   // radians, 0..2pi from north through east
    double elevation = 0; // radians
    double range_m = 0;
};

LookAngles look_angles(const SiteFrame& site, const Vec3& target);

} // namespace orva::station

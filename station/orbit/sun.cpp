#include "station/orbit/sun.h"

#include <cmath>

#include "station/orbit/earth_frames.h"

namespace orva::station {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kAu = 1.4959787e11;
} // namespace

SunPosition sun_position(double unix_seconds)
{
    // Low-precision solar coordinates of the equinox of date (about 0.01 degree).
    double n = modified_julian_date(unix_seconds) - 51544.5;
    double l = std::fmod(280.46 + 0.9856474 * n, 360.0);
    double g = std::fmod((357.528 + 0.9856003 * n) * kDeg, 2 * kPi);
    if (g < 0)
        g += 2 * kPi;
    double lambda = (l + 1.915 * std::sin(g) + 0.02 * std::sin(2 * g)) * kDeg;
    double eps = (23.439 - 4e-7 * n) * kDeg;
    double ra = std::atan2(std::cos(eps) * std::sin(lambda), std::cos(lambda));
    double dec = std::asin(std::sin(eps) * std::sin(lambda));
    double r_au = 1.00014 - 0.01671 * std::cos(g) - 0.00014 * std::cos(2 * g);

    // The coordinates are already of date: only the Earth's rotation (apparent sidereal time)
    // separates them from Earth-fixed. Precession from J2000 must not be applied again.
    Vec3 of_date{std::cos(dec) * std::cos(ra), std::cos(dec) * std::sin(ra), std::sin(dec)};
    Vec3 fixed = rot_z(gast_rad(unix_seconds)) * of_date;
    SunPosition s;
    s.direction = fixed;
    s.distance_m = r_au * kAu;
    s.longitude_east = std::atan2(fixed.y, fixed.x);
    s.latitude = std::asin(fixed.z);
    return s;
}

} // namespace orva::station

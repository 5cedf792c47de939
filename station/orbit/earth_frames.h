// Earth rotation and the IAU 1976 precession / IAU 1980 nutation theory. Times are seconds since
// 1970-01-01 00:00 UTC as doubles; UT1 is taken equal to UTC.
#pragma once

#include "station/orbit/vec3.h"

namespace orva::station {

inline constexpr double kUnixEpochJd = 2440587.5;
inline constexpr double kJ2000Jd = 2451545.0;
inline constexpr double kTtMinusUtcSeconds = 32.0 + 32.184; // as the station has always assumed

double julian_date(double unix_seconds);
double modified_julian_date(double unix_seconds);

// Greenwich mean sidereal time (IAU 1982) in radians 0..2pi, from the JD at 0h and the fraction
// of the day.
double gmst_rad(double unix_seconds);
// Rate of the sidereal angle in radians per second of UT1 at that time.
double gmst_rate_rad_s(double unix_seconds);

struct Nutation {
    double dpsi = 0;       // nutation in longitude, radians
    double deps = 0;       // nutation in obliquity, radians
    double mean_obliquity = 0;
    double equation_of_equinoxes() const; // radians
};

// Julian centuries of TT since J2000 for a UTC time.
double tt_centuries(double unix_seconds);
// IAU 1976 precession from J2000 to the mean equator and equinox of date.
Mat3 precession_matrix(double t_tt);
// IAU 1980 nutation series, truncated to its terms above 0.5 mas.
Nutation nutation_iau1980(double t_tt);
// Mean of date to true of date.
Mat3 nutation_matrix(const Nutation& n);
// Greenwich apparent sidereal time: GMST plus the equation of the equinoxes.
double gast_rad(double unix_seconds);

// The model's frame (true equator, mean equinox of date) to Earth-fixed: a turn by GMST alone.
// Precession and nutation are already in TEME; applying them again would double them.
inline Mat3 teme_to_earth_fixed(double unix_seconds) { return rot_z(gmst_rad(unix_seconds)); }

} // namespace orva::station

#include "station/orbit/earth_frames.h"

#include <cmath>

namespace orva::station {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;
constexpr double kArcsec = kPi / (180.0 * 3600.0);
constexpr double kDeg = kPi / 180.0;

double wrap(double a)
{
    a = std::fmod(a, kTwoPi);
    return a < 0 ? a + kTwoPi : a;
}

struct NutationTerm {
    signed char d, m, mp, f, om; // multiples of D, M, M', F and Omega
    double psi, psi_t, eps, eps_t; // 0.0001 arcsec and per century
};

// IAU 1980 series, the eighteen largest terms (the rest are below 0.5 mas).
constexpr NutationTerm kNutation[] = {
    {0, 0, 0, 0, 1, -171996, -174.2, 92025, 8.9},
    {-2, 0, 0, 2, 2, -13187, -1.6, 5736, -3.1},
    {0, 0, 0, 2, 2, -2274, -0.2, 977, -0.5},
    {0, 0, 0, 0, 2, 2062, 0.2, -895, 0.5},
    {0, 1, 0, 0, 0, 1426, -3.4, 54, -0.1},
    {0, 0, 1, 0, 0, 712, 0.1, -7, 0},
    {-2, 1, 0, 2, 2, -517, 1.2, 224, -0.6},
    {0, 0, 0, 2, 1, -386, -0.4, 200, 0},
    {0, 0, 1, 2, 2, -301, 0, 129, -0.1},
    {-2, -1, 0, 2, 2, 217, -0.5, -95, 0.3},
    {-2, 0, 1, 0, 0, -158, 0, 0, 0},
    {-2, 0, 0, 2, 1, 129, 0.1, -70, 0},
    {0, 0, -1, 2, 2, 123, 0, -53, 0},
    {2, 0, 0, 0, 0, 63, 0, 0, 0},
    {0, 0, 1, 0, 1, 63, 0.1, -33, 0},
    {2, 0, -1, 2, 2, -59, 0, 26, 0},
    {0, 0, -1, 0, 1, -58, -0.1, 32, 0},
    {0, 0, 1, 2, 1, -51, 0, 27, 0},
};
} // namespace

double julian_date(double unix_seconds) { return kUnixEpochJd + unix_seconds / 86400.0; }
double modified_julian_date(double unix_seconds) { return 40587.0 + unix_seconds / 86400.0; }

double gmst_rad(double unix_seconds)
{
    double days = std::floor(unix_seconds / 86400.0);
    double day_fraction = (unix_seconds - days * 86400.0) / 86400.0;
    double t = (kUnixEpochJd + days - kJ2000Jd) / 36525.0; // at 0h UT1
    double gmst0 = 24110.54841 + t * (8640184.812866 + t * (0.093104 - 6.2e-6 * t));
    double ratio = 1.002737909350795 + 5.9006e-11 * t - 5.9e-15 * t * t;
    double seconds = ratio * day_fraction * 86400.0 + gmst0;
    return wrap(seconds / 240.0 * kDeg);
}

double gmst_rate_rad_s(double unix_seconds)
{
    double t = (julian_date(unix_seconds) - kJ2000Jd) / 36525.0;
    double ratio = 1.002737909350795 + 5.9006e-11 * t - 5.9e-15 * t * t;
    return ratio * kTwoPi / 86400.0;
}

double tt_centuries(double unix_seconds)
{
    return (julian_date(unix_seconds + kTtMinusUtcSeconds) - kJ2000Jd) / 36525.0;
}

Mat3 precession_matrix(double t)
{
    double zeta = (2306.2181 + (0.30188 + 0.017998 * t) * t) * t * kArcsec;
    double z = (2306.2181 + (1.09468 + 0.018203 * t) * t) * t * kArcsec;
    double theta = (2004.3109 - (0.42665 + 0.041833 * t) * t) * t * kArcsec;
    return rot_z(-z) * rot_y(theta) * rot_z(-zeta);
}

Nutation nutation_iau1980(double t)
{
    double d = (297.85036 + t * (445267.111480 + t * (-0.0019142 + t / 189474.0))) * kDeg;
    double m = (357.52772 + t * (35999.050340 + t * (-0.0001603 - t / 300000.0))) * kDeg;
    double mp = (134.96298 + t * (477198.867398 + t * (0.0086972 + t / 56250.0))) * kDeg;
    double f = (93.27191 + t * (483202.017538 + t * (-0.0036825 + t / 327270.0))) * kDeg;
    double om = (125.04452 + t * (-1934.136261 + t * (0.0020708 + t / 450000.0))) * kDeg;
    double dpsi = 0, deps = 0;
    for (const auto& k : kNutation) {
        double arg = k.d * d + k.m * m + k.mp * mp + k.f * f + k.om * om;
        dpsi += (k.psi + k.psi_t * t) * std::sin(arg);
        deps += (k.eps + k.eps_t * t) * std::cos(arg);
    }
    Nutation n;
    n.dpsi = dpsi * 1e-4 * kArcsec;
    n.deps = deps * 1e-4 * kArcsec;
    n.mean_obliquity = (84381.448 + t * (-46.8150 + t * (-0.00059 + 0.001813 * t))) * kArcsec;
    return n;
}

double Nutation::equation_of_equinoxes() const
{
    return dpsi * std::cos(mean_obliquity + deps);
}

Mat3 nutation_matrix(const Nutation& n)
{
    return rot_x(-(n.mean_obliquity + n.deps)) * rot_z(-n.dpsi) * rot_x(n.mean_obliquity);
}

double gast_rad(double unix_seconds)
{
    return wrap(gmst_rad(unix_seconds) + nutation_iau1980(tt_centuries(unix_seconds)).equation_of_equinoxes());
}

} // namespace orva::station

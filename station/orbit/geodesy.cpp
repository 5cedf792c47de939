#include "station/orbit/geodesy.h"

#include <cmath>

namespace orva::station {

int geodetic_from_earth_fixed(const Vec3& p, Geodetic& out)
{
    // The fixed-point iteration on delta = N e^2 sin(phi), with sin(phi) = z'/R and
    // N = a / sqrt(1 - e^2 sin^2 phi) folded together: N e^2 sin(phi) = a e^2 z' / sqrt(q) with
    // q = rho^2 + (1 - e^2) z'^2, so each round costs one square root and one division.
    const double one_minus_e2 = 1.0 - kEllipsoidE2;
    double rho2 = p.x * p.x + p.y * p.y;
    double delta = kEllipsoidE2 * p.z;
    for (int round = 0;; ++round) {
        if (round > 100)
            return 3;
        double zp = p.z + delta;
        double r2 = rho2 + zp * zp;
        if (r2 < 1e-48) // R < 1e-24
            return 1;
        double q = rho2 + one_minus_e2 * zp * zp; // = R^2 (1 - e^2 sin^2 phi)
        if (q < 1e-24 * r2)                      // 1 - e^2 sin^2 phi < 1e-24
            return 2;
        double next = kEllipsoidA * kEllipsoidE2 * zp / std::sqrt(q);
        if (std::fabs(next - delta) <= 1e-9) {
            double r = std::sqrt(r2);
            double sinphi = zp / r;
            double n = kEllipsoidA / std::sqrt(1.0 - kEllipsoidE2 * sinphi * sinphi);
            out.longitude_east = std::atan2(p.y, p.x);
            out.latitude = std::asin(sinphi);
            out.height_m = r - n;
            return 0;
        }
        delta = next;
    }
}

SiteFrame SiteFrame::from(const elements::ObserverSite& site)
{
    double sphi = std::sin(site.latitude_rad), cphi = std::cos(site.latitude_rad);
    double slam = std::sin(site.longitude_east_rad), clam = std::cos(site.longitude_east_rad);
    double n = kEllipsoidA / std::sqrt(1.0 - kEllipsoidE2 * sphi * sphi);
    double h = site.height_m;
    SiteFrame f;
    f.position = {(n + h) * cphi * clam, (n + h) * cphi * slam, (n * (1.0 - kEllipsoidE2) + h) * sphi};
    f.north = {-sphi * clam, -sphi * slam, cphi};
    f.east = {-slam, clam, 0};
    f.down = {-cphi * clam, -cphi * slam, -sphi};
    return f;
}

LookAngles look_angles(const SiteFrame& site, const Vec3& target)
{
    Vec3 d = target - site.position;
    double north = site.north.dot(d), east = site.east.dot(d), down = site.down.dot(d);
    LookAngles a;
    a.range_m = d.norm();
    a.azimuth = std::atan2(east, north);
    if (a.azimuth < 0)
        a.azimuth += 2 * 3.14159265358979323846;
    a.elevation = a.range_m > 0 ? std::asin(-down / a.range_m) : 0;
    return a;
}

} // namespace orva::station

#include "station/map/map_geometry.h"

#include <cmath>
#include <numbers>

namespace orva::station::map {

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr int kNearLeft = 170, kNearRight = 350;

double wrap180(double deg)
{
    deg = std::fmod(deg, 360.0);
    if (deg > 180.0)
        deg -= 360.0;
    if (deg <= -180.0)
        deg += 360.0;
    return deg;
}

} // namespace

int origin_offset(int origin)
{
    switch (origin) {
    case 1:
        return 290;
    case 2:
        return 145;
    default:
        return -17;
    }
}

int picture_rotation(int origin)
{
    int r = origin_offset(origin) + 17;
    if (r > kMapWidth)
        r -= kMapWidth;
    return r;
}

Pixel map_pixel(double latitude_deg, double longitude_west_deg, int origin)
{
    int x = int(std::trunc(260.0 - longitude_west_deg * 260.0 / 180.0 + origin_offset(origin)));
    if (x < 0)
        x += kMapWidth;
    // The picture's columns are 0..519: column 520 is column 0 again.
    if (x >= kMapWidth)
        x -= kMapWidth;
    const int y = int(std::trunc(130.0 - latitude_deg * 130.0 / 90.0));
    return {x, y};
}

MapPosition map_position(int x, int y, int origin)
{
    // The exact inverse of map_pixel at the pixel's centre, so a click lands where it was drawn.
    const double lon = (260.0 + origin_offset(origin) - (x + 0.5)) / kPixelsPerDegree;
    const double lat = (130.0 - (y + 0.5)) / kPixelsPerDegree;
    return {lat, wrap180(lon)};
}

std::vector<Polyline> cut_polyline(const std::vector<Pixel>& points, bool closed)
{
    std::vector<Polyline> out;
    if (points.empty())
        return out;
    out.push_back({{double(points[0].x), double(points[0].y)}});
    const std::size_t steps = closed ? points.size() : points.size() - 1;
    for (std::size_t i = 0; i < steps; ++i) {
        const Pixel p = points[i];
        const Pixel q = points[(i + 1) % points.size()];
        const bool leftward = p.x < kNearLeft && q.x > kNearRight;
        const bool rightward = p.x > kNearRight && q.x < kNearLeft;
        if (leftward || rightward) {
            // Unwrap q beside p, find where the step meets the edge, and carry on from the other side.
            const double qx = leftward ? q.x - kMapWidth : q.x + kMapWidth;
            const double edge = leftward ? 0.0 : double(kMapWidth);
            const double t = (p.x - edge) / (p.x - qx);
            const double y = p.y + t * (q.y - p.y);
            out.back().push_back({edge, y});
            out.push_back({{kMapWidth - edge, y}});
        }
        out.back().push_back({double(q.x), double(q.y)});
    }
    return out;
}

std::array<std::array<Pixel, 2>, 4> marker_strokes(Pixel a)
{
    return {{{{{a.x - 2, a.y - 2}, {a.x + 3, a.y + 3}}},
             {{{a.x - 2, a.y + 2}, {a.x + 3, a.y - 3}}},
             {{{a.x - 2, a.y}, {a.x + 3, a.y}}},
             {{{a.x, a.y + 2}, {a.x, a.y - 3}}}}};
}

double horizon_distance(double height_km)
{
    if (height_km <= 0)
        return 0;
    return std::acos(kEarthRadiusKm / (kEarthRadiusKm + height_km));
}

std::vector<MapPosition> visibility_ring(double latitude_deg, double longitude_west_deg, double d)
{
    std::vector<MapPosition> ring;
    ring.reserve(50);
    const double lat1 = latitude_deg * kDeg;
    const double lon1 = -longitude_west_deg * kDeg; // east positive for the formulas
    for (int i = 0; i < 50; ++i) {
        const double bearing = i * 7.2 * kDeg;
        const double lat2 = std::asin(std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(bearing));
        const double lon2 = lon1 + std::atan2(std::sin(bearing) * std::sin(d) * std::cos(lat1),
                                              std::cos(d) - std::sin(lat1) * std::sin(lat2));
        ring.push_back({lat2 / kDeg, wrap180(-lon2 / kDeg)});
    }
    return ring;
}

std::vector<Pixel> project(const std::vector<MapPosition>& ring, int origin)
{
    std::vector<Pixel> out;
    out.reserve(ring.size());
    for (const auto& p : ring)
        out.push_back(map_pixel(p.latitude_deg, p.longitude_west_deg, origin));
    return out;
}

} // namespace orva::station::map

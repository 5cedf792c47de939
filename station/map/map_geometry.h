// The map's projection: a 520 x 260 equirectangular picture, 260/180 pixels per degree, whose
// columns are rotated by the chosen origin. Pixel positions are those of the reference picture;
// a window that shows the map larger scales them.
#pragma once

#include <array>
#include <optional>
#include <vector>

namespace orva::station::map {

inline constexpr int kMapWidth = 520;
inline constexpr int kMapHeight = 260;
inline constexpr double kPixelsPerDegree = 260.0 / 180.0;
inline constexpr double kEarthRadiusKm = 6378.16;

// "Map Origin": 0 "170W", 1 "30W", 2 "80E"; anything else reads as 0.
int origin_offset(int origin);
// Columns the world picture (drawn for origin 0) is shifted right by for this origin.
int picture_rotation(int origin);

struct Pixel {
    int x = 0, y = 0;
    bool operator==(const Pixel&) const = default;
};

struct PointF {
    double x = 0, y = 0;
};

// Latitude north positive, longitude west positive, both in degrees.
Pixel map_pixel(double latitude_deg, double longitude_west_deg, int origin);

struct MapPosition {
    double latitude_deg = 0;       // north positive
    double longitude_west_deg = 0; // west positive, -180 to 180
};

// The position a pixel of the reference picture shows (its centre).
MapPosition map_position(int x, int y, int origin);

// A polyline broken where it would run across the map: a step from near one side edge to near
// the other is drawn to the edge at the interpolated height and resumed from the opposite edge.
using Polyline = std::vector<PointF>;
std::vector<Polyline> cut_polyline(const std::vector<Pixel>& points, bool closed);

// The four strokes of the sub-satellite marker, each from [0] to [1].
std::array<std::array<Pixel, 2>, 4> marker_strokes(Pixel at);

// Angular radius (radians) of the area from which a body at this height above the ground is
// above the horizon.
double horizon_distance(double height_km);

// The 50 points at that angular distance from the given point, at bearings 7.2 degrees apart
// starting north. Degrees, longitude west positive.
std::vector<MapPosition> visibility_ring(double latitude_deg, double longitude_west_deg, double distance_rad);
std::vector<Pixel> project(const std::vector<MapPosition>& ring, int origin);

} // namespace orva::station::map

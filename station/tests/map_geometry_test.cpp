// The map's projection, its inverse, edge cutting and the circles, against independent geometry.
#include "station/map/map_geometry.h"
#include "station/map/map_view.h"
#include "station/orbit/geodesy.h"
#include "station/orbit/sun.h"
#include "station/tests/map_satellite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace orva::station::map {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

int circular_distance(int a, int b)
{
    const int d = std::abs(a - b) % kMapWidth;
    return std::min(d, kMapWidth - d);
}

TEST(MapProjection, EdgeLongitudesAtOriginZero)
{
    // 170 W falls 2.5 pixels left of the left edge, so it wraps to the last columns; a little
    // further east is column 0.
    EXPECT_EQ(map_pixel(0, 170, 0).x, 518);
    EXPECT_EQ(map_pixel(0, 168, 0).x, 0);
    // 10 E: 260 + 14.4 - 17.
    EXPECT_EQ(map_pixel(0, -10, 0).x, 257);
    EXPECT_EQ(map_pixel(0, 0, 0).y, 130);
    EXPECT_EQ(map_pixel(90, 0, 0).y, 0);
    EXPECT_EQ(map_pixel(-45, 0, 0).y, 195);
    for (int origin = 0; origin < 3; ++origin)
        for (double lon = -180; lon <= 180; lon += 0.25) {
            const Pixel p = map_pixel(10, lon, origin);
            EXPECT_GE(p.x, 0);
            EXPECT_LT(p.x, kMapWidth) << lon;
        }
}

TEST(MapProjection, OriginsAndPictureRotation)
{
    EXPECT_EQ(origin_offset(0), -17);
    EXPECT_EQ(origin_offset(1), 290);
    EXPECT_EQ(origin_offset(2), 145);
    EXPECT_EQ(origin_offset(7), -17);
    EXPECT_EQ(picture_rotation(0), 0);
    EXPECT_EQ(picture_rotation(1), 307);
    EXPECT_EQ(picture_rotation(2), 162);
    // The picture drawn for origin 0 and shifted by the rotation puts every place under the
    // pixel the projection gives for that origin.
    for (int origin = 1; origin < 3; ++origin)
        for (double lon = -179.5; lon < 180; lon += 1.0) {
            const int shifted = (map_pixel(0, lon, 0).x + picture_rotation(origin)) % kMapWidth;
            EXPECT_LE(circular_distance(shifted, map_pixel(0, lon, origin).x), 1) << origin << " " << lon;
        }
    // The origins are named after the map's left edge: about 170 W, 30 W ("21 W") and 80 E.
    EXPECT_NEAR(map_position(0, 130, 0).longitude_west_deg, 168, 1.5);
    EXPECT_NEAR(map_position(0, 130, 1).longitude_west_deg, 21, 1.5);
    EXPECT_NEAR(map_position(0, 130, 2).longitude_west_deg, -80, 1.5);
}

TEST(MapProjection, ClickedPixelMapsBackWithinOnePixel)
{
    for (int origin = 0; origin < 3; ++origin)
        for (int y : {0, 1, 64, 129, 130, 131, 200, 259})
            for (int x = 0; x < kMapWidth; ++x) {
                const MapPosition pos = map_position(x, y, origin);
                ASSERT_GE(pos.longitude_west_deg, -180.0);
                ASSERT_LE(pos.longitude_west_deg, 180.0);
                const Pixel back = map_pixel(pos.latitude_deg, pos.longitude_west_deg, origin);
                ASSERT_LE(circular_distance(back.x, x), 1) << "origin " << origin << " x " << x;
                ASSERT_LE(std::abs(back.y - y), 1) << "origin " << origin << " y " << y;
            }
    // A known place: the pixel drawn for 10 E, 50 N reads back as that place to within a pixel.
    const Pixel p = map_pixel(50, -10, 0);
    const MapPosition pos = map_position(p.x, p.y, 0);
    EXPECT_NEAR(pos.longitude_west_deg, -10, 1 / kPixelsPerDegree);
    EXPECT_NEAR(pos.latitude_deg, 50, 1 / kPixelsPerDegree);
}

TEST(MapEdgeCutting, StepAcrossTheEdgeIsCutAtTheInterpolatedHeight)
{
    auto lines = cut_polyline({{5, 100}, {515, 110}, {505, 120}}, false);
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[0].size(), 2u);
    EXPECT_DOUBLE_EQ(lines[0][1].x, 0);
    EXPECT_DOUBLE_EQ(lines[0][1].y, 105);
    ASSERT_EQ(lines[1].size(), 3u);
    EXPECT_DOUBLE_EQ(lines[1][0].x, 520);
    EXPECT_DOUBLE_EQ(lines[1][0].y, 105);
    EXPECT_DOUBLE_EQ(lines[1][2].x, 505);

    // Rightward, and a closed ring cuts on its closing step too.
    lines = cut_polyline({{500, 50}, {400, 60}, {10, 60}}, true);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_DOUBLE_EQ(lines[0].back().x, 520);
    EXPECT_DOUBLE_EQ(lines[1].front().x, 0);
    EXPECT_DOUBLE_EQ(lines[1].back().x, 0);
    EXPECT_DOUBLE_EQ(lines[2].front().x, 520);
    EXPECT_DOUBLE_EQ(lines[2].back().x, 500);

    // Steps that stay clear of either side are never cut.
    EXPECT_EQ(cut_polyline({{175, 10}, {345, 10}, {500, 20}, {200, 20}, {160, 30}}, false).size(), 1u);
}

TEST(MapEdgeCutting, GroundTrackOverTheDateLineIsNeverDrawnAcross)
{
    elements::KepRecord r = station::testing::map_satellite();
    r.name = "POLAR";
    r.catalogue = 20437;
    r.epoch_day = 340.5;
    MapView view({}, elements::ObserverSite::from_station("G0XYZ", 52, 1, 20));
    const StationSeconds t = 1796817600; // 2026-12-09 12:00 UTC
    ASSERT_TRUE(view.show_satellite(r, t));
    ASSERT_EQ(view.ground_track().points.size(), 130u);
    bool crossed_date_line = false;
    const auto& pts = view.ground_track().points;
    for (std::size_t i = 1; i < pts.size(); ++i)
        if (std::abs(pts[i].longitude_west_deg - pts[i - 1].longitude_west_deg) > 180)
            crossed_date_line = true;
    ASSERT_TRUE(crossed_date_line);
    for (int origin = 0; origin < 3; ++origin) {
        MapOptions o;
        o.origin = origin;
        view.set_options(o);
        const auto lines = view.shapes().ground_track;
        EXPECT_GE(lines.size(), 2u) << origin;
        for (const auto& line : lines)
            for (std::size_t i = 1; i < line.size(); ++i)
                EXPECT_LT(std::abs(line[i].x - line[i - 1].x), 60) << "origin " << origin;
        // Each cut ends on one edge and the next piece starts on the other at the same height.
        for (std::size_t i = 1; i < lines.size(); ++i) {
            EXPECT_DOUBLE_EQ(lines[i - 1].back().x + lines[i].front().x, 520.0);
            EXPECT_DOUBLE_EQ(lines[i - 1].back().y, lines[i].front().y);
        }
    }
}

TEST(MapCircles, VisibilityRingIsOnTheSatellitesHorizon)
{
    const double h = 800;
    const double d = horizon_distance(h);
    EXPECT_NEAR(d / kDeg, 27.31, 0.01);
    const auto ring = visibility_ring(40, 100, d);
    ASSERT_EQ(ring.size(), 50u);
    EXPECT_NEAR(ring[0].latitude_deg, 40 + d / kDeg, 1e-9); // the first bearing is north
    EXPECT_NEAR(ring[0].longitude_west_deg, 100, 1e-9);
    for (const auto& p : ring)
        EXPECT_NEAR(angular_distance(40, 100, p.latitude_deg, p.longitude_west_deg), d, 1e-9);
    // Seen from a point of the ring (a sphere of the ring's radius), the satellite is on the horizon.
    const double R = kEarthRadiusKm;
    for (const auto& p : ring) {
        auto unit = [](double lat, double lon_w) {
            return Vec3{std::cos(lat * kDeg) * std::cos(-lon_w * kDeg), std::cos(lat * kDeg) * std::sin(-lon_w * kDeg),
                        std::sin(lat * kDeg)};
        };
        const Vec3 up = unit(p.latitude_deg, p.longitude_west_deg);
        const Vec3 sat = unit(40, 100) * (R + h);
        const Vec3 look = sat - up * R;
        EXPECT_NEAR(std::asin(look.dot(up) / look.norm()) / kDeg, 0, 1e-6);
    }
}

TEST(MapCircles, TerminatorRunsWhereTheSunIsOnTheHorizon)
{
    MapView view({}, elements::ObserverSite::from_station("G0XYZ", 52, 1, 20));
    for (StationSeconds t : {StationSeconds(1796817600), StationSeconds(1781870400), StationSeconds(1773835200)}) {
        view.show_sun(t);
        const SunPosition sun = sun_position(double(t));
        ASSERT_EQ(view.terminator().size(), 50u);
        for (const auto& p : view.terminator()) {
            // The Sun's elevation at the point, from its Earth-fixed direction and the local
            // vertical of the ellipsoid.
            elements::ObserverSite site{"", p.latitude_deg * kDeg, -p.longitude_west_deg * kDeg, 0};
            const SiteFrame f = SiteFrame::from(site);
            const LookAngles a = look_angles(f, sun.direction * sun.distance_m);
            EXPECT_NEAR(a.elevation / kDeg, 0, 0.25) << t << " " << p.latitude_deg << " " << p.longitude_west_deg;
        }
        // The sub-solar point is where the Sun stands overhead.
        EXPECT_NEAR(view.subject_position().latitude_deg, sun.latitude / kDeg, 1e-9);
    }
    // In December the Sun stands over the southern tropic.
    view.show_sun(1796817600);
    EXPECT_NEAR(view.subject_position().latitude_deg, -22.9, 0.3);
    // Near noon UTC it is near the Greenwich meridian.
    EXPECT_NEAR(view.subject_position().longitude_west_deg, 0, 3);
}

TEST(MapMarker, FourStrokes)
{
    const auto s = marker_strokes({100, 50});
    EXPECT_EQ(s[0][0], (Pixel{98, 48}));
    EXPECT_EQ(s[0][1], (Pixel{103, 53}));
    EXPECT_EQ(s[1][1], (Pixel{103, 47}));
    EXPECT_EQ(s[3][0], (Pixel{100, 52}));
    EXPECT_EQ(s[3][1], (Pixel{100, 47}));
}

} // namespace
} // namespace orva::station::map

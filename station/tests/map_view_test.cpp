// The map's state: keys, fast mode, ground track recomputation, redraw rules, the text panel and
// the observers, driven by explicit station times.
#include "station/map/map_text.h"
#include "station/map/map_view.h"
#include "station/tests/map_satellite.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orva::station::map {
namespace {

constexpr StationSeconds kNoon = 1796817600; // 2026-12-09 12:00:00 UTC

elements::KepRecord polar(double mean_motion = 14.3)
{
    elements::KepRecord r = station::testing::map_satellite();
    r.mean_motion = mean_motion;
    r.beacon_mhz = 437.025;
    return r;
}

elements::ObserverSite home() { return elements::ObserverSite::from_station("G0XYZ", 52, 1, 20); }

TEST(MapSteps, ClampsOfTheFastStep)
{
    EXPECT_EQ(step_down(1), 1);
    EXPECT_EQ(step_up(86000), 86400);
    EXPECT_EQ(step_up(86400), 86400);
    EXPECT_EQ(step_up(1), 2);
    EXPECT_EQ(step_up(60), 73);
    EXPECT_EQ(step_down(60), 47);
    EXPECT_EQ(step_down(5), 3);
    // One orbit in "Map Speed" updates, within 1 and 86 400 seconds.
    EXPECT_EQ(fast_step(14.3, 100), 60);
    EXPECT_EQ(fast_step(14.3, 10000), 1);
    EXPECT_EQ(fast_step(0.5, 1), 86400);
}

TEST(MapKeys, DirectionOnlyInFastModeAndStepsThroughTheView)
{
    MapView view({}, home());
    ASSERT_TRUE(view.show_satellite(polar(), kNoon));
    EXPECT_FALSE(view.press(MapKey::Direction, kNoon));
    EXPECT_EQ(view.direction(), MapDirection::Forward);

    EXPECT_TRUE(view.press(MapKey::Fast, kNoon));
    EXPECT_EQ(view.mode(), MapMode::Fast);
    EXPECT_EQ(view.step(), 60);
    EXPECT_TRUE(view.press(MapKey::Direction, kNoon));
    EXPECT_EQ(view.direction(), MapDirection::Backward);
    for (int i = 0; i < 40; ++i)
        view.press(MapKey::StepDown, kNoon);
    EXPECT_EQ(view.step(), 1);
    EXPECT_FALSE(view.press(MapKey::StepDown, kNoon));
    for (int i = 0; i < 80; ++i)
        view.press(MapKey::StepUp, kNoon);
    EXPECT_EQ(view.step(), 86400);

    // Leaving fast mode returns to now, forward.
    view.update(kNoon);
    EXPECT_NE(view.map_time(), kNoon);
    EXPECT_TRUE(view.press(MapKey::Fast, kNoon + 5));
    EXPECT_EQ(view.mode(), MapMode::Normal);
    EXPECT_EQ(view.map_time(), kNoon + 5);
    EXPECT_EQ(view.direction(), MapDirection::Forward);
}

TEST(MapUpdate, NormalFollowsNowFastStepsPauseHolds)
{
    MapView view({}, home());
    EXPECT_FALSE(view.update(kNoon).repaint); // nothing shown yet
    ASSERT_TRUE(view.show_satellite(polar(), kNoon));
    EXPECT_TRUE(view.update(kNoon + 1).repaint);
    EXPECT_EQ(view.map_time(), kNoon + 1);

    view.press(MapKey::Pause, kNoon + 1);
    EXPECT_TRUE(view.paused());
    EXPECT_FALSE(view.update(kNoon + 2).repaint);
    EXPECT_EQ(view.map_time(), kNoon + 1);
    view.press(MapKey::Pause, kNoon + 2);

    view.press(MapKey::Fast, kNoon + 2);
    view.update(kNoon + 3);
    EXPECT_EQ(view.map_time(), kNoon + 1 + 60);
    view.press(MapKey::Direction, kNoon + 3);
    view.update(kNoon + 4);
    view.update(kNoon + 5);
    EXPECT_EQ(view.map_time(), kNoon + 1 + 60 - 120);
}

TEST(MapGroundTrack, ForwardBackwardAndRecomputation)
{
    MapView view({}, home());
    ASSERT_TRUE(view.show_satellite(polar(), kNoon));
    const double period = 86400.0 / 14.3;
    GroundTrack g = view.ground_track();
    ASSERT_EQ(g.points.size(), 130u);
    EXPECT_EQ(g.start, kNoon);
    EXPECT_NEAR(double(g.end - g.start), period * 129 / 130, 1);
    // Its first point is the satellite's own position.
    EXPECT_NEAR(g.points[0].latitude_deg, view.subject_position().latitude_deg, 1e-6);

    // Normal mode: kept while the map time is inside it, recomputed once past its end.
    EXPECT_FALSE(view.update(kNoon + 600).full_redraw && view.ground_track().start != kNoon);
    EXPECT_EQ(view.ground_track().start, kNoon);
    const UpdateResult past = view.update(g.end + 1);
    EXPECT_TRUE(past.full_redraw);
    EXPECT_EQ(view.ground_track().start, g.end + 1);

    // Backward in fast mode: the track ends just after the map time, and moving back past its
    // start recomputes it.
    view.press(MapKey::Fast, g.end + 1);
    view.press(MapKey::Direction, g.end + 1);
    const StationSeconds t = view.map_time();
    EXPECT_EQ(view.ground_track().start, t - StationSeconds(period) + 20);
    const StationSeconds start = view.ground_track().start;
    for (int i = 0; i < 200 && view.ground_track().start == start; ++i)
        view.update(0);
    EXPECT_LT(view.ground_track().start, start);
    EXPECT_LT(view.map_time(), start);
    EXPECT_GE(view.map_time(), view.ground_track().start);

    // With the fast track switch off there is none.
    MapOptions o;
    o.fast.ground_track = false;
    view.set_options(o);
    EXPECT_TRUE(view.ground_track().points.empty());
    EXPECT_TRUE(view.shapes().ground_track.empty());
}

TEST(MapRedraw, EveryThirtiethMoveAndTheTerminatorEvery250Seconds)
{
    MapView view({}, home());
    ASSERT_TRUE(view.show_satellite(polar(), kNoon));
    EXPECT_TRUE(view.update(kNoon).full_redraw); // the first picture is whole
    int full = 0;
    // A low satellite moves a pixel or more every few seconds: count the full redraws.
    const int before = view.redraw_counter();
    for (int s = 1; s <= 400; ++s)
        if (view.update(kNoon + s).full_redraw)
            ++full;
    const int moves = view.redraw_counter() - before;
    EXPECT_GT(moves, 60);
    EXPECT_NEAR(full, moves / 30, 1);

    MapView sun({}, home());
    sun.show_sun(kNoon);
    sun.update(kNoon);
    EXPECT_EQ(sun.terminator_time(), kNoon);
    sun.update(kNoon + 200);
    EXPECT_EQ(sun.terminator_time(), kNoon);
    sun.update(kNoon + 251);
    EXPECT_EQ(sun.terminator_time(), kNoon + 251);
}

TEST(MapText, PanelLinesAndFormats)
{
    EXPECT_EQ(title_line("AO-16", kNoon + 3909), "AO-16          13:05:09  9 December 2026");
    EXPECT_EQ(position_line(-33.5, -151.25, 790.5, 12.25, "B    "),
              "Lat:33.500S Lon:151.250E  Hght:  790.500km  MA: 12.2  Mode:B    ");
    ObserverView v{"G0XYZ", 123.4, 5.6, 1234.4, -1234.4, 42};
    EXPECT_EQ(observer_line(v), "G0XYZ                      123    6   1234   -1234Hz   42");
    v.doppler_hz.reset();
    v.ofp.reset();
    EXPECT_EQ(observer_line(v), "G0XYZ                      123    6   1234" + std::string(12, ' '));

    MapView view({}, home());
    ASSERT_TRUE(view.show_satellite(polar(), kNoon));
    auto lines = panel_lines(view);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].substr(0, 15), "AO-16          ");
    EXPECT_EQ(lines[3], kObserverHeader);
    EXPECT_EQ(lines[4].substr(0, 5), "G0XYZ");
    EXPECT_NE(lines[4].find("Hz"), std::string::npos);

    view.show_sun(kNoon);
    lines = panel_lines(view);
    EXPECT_EQ(lines[0].substr(0, 15), "The Sun        ");
    EXPECT_EQ(lines[4].find("Hz"), std::string::npos);
    EXPECT_EQ(lines[4].back(), ' '); // no Ofp for the Sun
}

TEST(MapObservers, HomeFirstAtMostFourMoreResolvedByName)
{
    std::vector<elements::ObserverRecord> file = {
        {"Sydney", -33.87, 151.2, 50}, {"Boston", 42.36, -71.06, 10}, {"Tokyo", 35.68, 139.7, 40},
        {"Quito", -0.18, -78.47, 2850}, {"Nairobi", -1.29, 36.82, 1795}, {"Oslo", 59.9, 10.75, 20}};
    auto chosen = resolve_observers({"Boston", "Atlantis", "tokyo", "Tokyo", "Quito", "Nairobi", "Oslo"}, file);
    ASSERT_EQ(chosen.size(), 4u);
    EXPECT_EQ(chosen[0].name, "Boston");
    EXPECT_EQ(chosen[1].name, "Tokyo");
    EXPECT_EQ(chosen[3].name, "Nairobi");

    MapView view({}, home());
    view.set_extra_observers(resolve_observers({"Sydney", "Boston", "Tokyo", "Quito", "Nairobi"}, file));
    ASSERT_EQ(view.observers().size(), 5u);
    EXPECT_EQ(view.observers()[0].name, "G0XYZ");
    ASSERT_TRUE(view.show_satellite(polar(), kNoon));
    ASSERT_EQ(view.views().size(), 5u);
    EXPECT_EQ(view.shapes().observers.size(), 5u);
    // The look angles differ per observer; at most one sees the satellite high.
    EXPECT_NE(view.views()[1].azimuth_deg, view.views()[2].azimuth_deg);

    // An observer under the satellite stands in the middle of its footprint.
    const MapPosition under = view.subject_position();
    view.set_extra_observers({elements::ObserverSite::from_record({"Under", under.latitude_deg, -under.longitude_west_deg, 0})});
    ASSERT_EQ(view.views().size(), 2u);
    EXPECT_NEAR(*view.views()[1].ofp, 100, 1);
    EXPECT_NEAR(view.views()[1].elevation_deg, 90, 1);
    EXPECT_EQ(*view.views()[1].ofp > 0, view.views()[1].elevation_deg > 0);
}

TEST(MapWindowPlacement, StoredPositionKeptOnlyOnTheScreen)
{
    EXPECT_FALSE(map_window_position(0x80000000u, 0x80000000u, 1920, 1080));
    EXPECT_FALSE(map_window_position(std::uint32_t(-421), 10, 1920, 1080));
    EXPECT_TRUE(map_window_position(std::uint32_t(-420), 10, 1920, 1080));
    EXPECT_FALSE(map_window_position(10, std::uint32_t(-1), 1920, 1080));
    EXPECT_FALSE(map_window_position(1880, 10, 1920, 1080));
    EXPECT_TRUE(map_window_position(1879, 10, 1920, 1080));
    EXPECT_FALSE(map_window_position(10, 1040, 1920, 1080));
    EXPECT_EQ(*map_window_position(100, 200, 1920, 1080), (Pixel{100, 200}));
}

TEST(MapOptionsFromStore, ClampsAndSwitches)
{
    settings::HelmoSettings s;
    s.map_origin = 5;
    s.map_speed = 0;
    s.map_circle_fast = 0;
    MapOptions o = map_options(s);
    EXPECT_EQ(o.origin, 0);
    EXPECT_EQ(o.speed, 100);
    EXPECT_FALSE(o.fast.circle);
    EXPECT_TRUE(o.normal.circle);
    o.origin = 2;
    o.normal.scroll = false;
    store_map_options(s, o);
    EXPECT_EQ(s.map_origin, 2u);
    EXPECT_EQ(s.map_scroll_norm, 0u);
    EXPECT_EQ(s.map_circle_fast, 0u);
}

} // namespace
} // namespace orva::station::map

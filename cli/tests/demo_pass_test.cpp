#include <gtest/gtest.h>

#include <cmath>

#include "station/core/tracking_list.h"
#include "station/orbit/sat_track.h"
#include "station/schedule/pass_search.h"
#include "cli/demo/demo_pass.h"
#include "cli/setup/demo_station.h"

namespace orva::tools {
namespace {

elements::ObserverSite demo_site()
{
    return elements::ObserverSite::from_station("N0CALL", demo_latitude, demo_longitude, demo_altitude);
}

// A moved orbit keeps every look angle: the satellite seen at t from the station is where the
// original was at t - shift.
TEST(DemoPass, ShiftedOrbitKeepsLookAngles)
{
    elements::KepRecord base = demo_orbit_ao16();
    station::SiteFrame site = station::SiteFrame::from(demo_site());
    station::SatTrack a, b;
    ASSERT_TRUE(station::init_track(base, a, 0).ok());
    for (double shift : {12345.0, 86400.0 * 3.5 + 17.0, -4000.0}) {
        ASSERT_TRUE(station::init_track(shifted_orbit(base, shift), b, 0).ok());
        for (std::int64_t t : {a.epoch_time + 600, a.epoch_time + 7200, a.epoch_time + 50000}) {
            station::LookPoint pa = station::look_at(a, site, t);
            station::LookPoint pb = station::look_at(b, site, t + std::int64_t(shift));
            EXPECT_NEAR(pa.elevation, pb.elevation, 2e-4) << shift << " " << t;
            EXPECT_NEAR(std::cos(pa.azimuth), std::cos(pb.azimuth), 2e-4);
        }
    }
}

TEST(DemoPass, EpochCrossesTheYearEnd)
{
    elements::KepRecord base = demo_orbit_ao16();
    base.epoch_year = 26;
    base.epoch_day = 365.75; // 2026-12-31 18:00
    elements::KepRecord r = shifted_orbit(base, 86400.0);
    EXPECT_EQ(r.epoch_year, 27);
    EXPECT_NEAR(r.epoch_day, 1.75, 1e-9);
    EXPECT_NEAR(station::epoch_unix_seconds(r.epoch_year, r.epoch_day),
                station::epoch_unix_seconds(base.epoch_year, base.epoch_day) + 86400.0, 1e-3);
}

// The pass the demo asks for is the one the station's own search then finds.
TEST(DemoPass, StationSearchFindsTheWantedPass)
{
    const std::int64_t now = 1796799600; // 2026-12-09 07:00 UTC
    PassWanted wanted;
    wanted.aos = now + 40;
    auto pass = element_set_for_pass(demo_orbit_ao16(), demo_site(), wanted);
    ASSERT_TRUE(pass.ok()) << pass.error().message;
    EXPECT_NEAR(double(pass->aos), double(wanted.aos), 5);
    EXPECT_GE(pass->los - pass->aos, wanted.shortest_s);
    EXPECT_LE(pass->los - pass->aos, wanted.longest_s);

    station::ScheduledSatellite sat;
    ASSERT_TRUE(station::init_track(pass->record, sat.track, now).ok());
    station::reset_search(sat, now);
    station::SiteFrame site = station::SiteFrame::from(demo_site());
    std::optional<station::PassEntry> found;
    for (int i = 0; i < 100000 && !found; ++i)
        found = station::search_step(sat, site, {}, now + 86400).pass;
    ASSERT_TRUE(found);
    EXPECT_NEAR(double(found->aos), double(pass->aos), 2);
    EXPECT_NEAR(double(found->los), double(pass->los), 2);
}

TEST(DemoPass, NoSuchPassIsAnError)
{
    PassWanted wanted;
    wanted.aos = 1796799600;
    wanted.shortest_s = 5000; // longer than any pass of a low orbit
    wanted.longest_s = 6000;
    wanted.search_days = 2;
    auto pass = element_set_for_pass(demo_orbit_ao16(), demo_site(), wanted);
    ASSERT_FALSE(pass.ok());
    EXPECT_NE(pass.error().message.find("no pass"), std::string::npos);
}

} // namespace
} // namespace orva::tools

#include <gtest/gtest.h>

#include <cmath>

#include "station/orbit/mode_schedule.h"
#include "station/orbit/sat_track.h"

using namespace orva::station;
using orva::elements::KepRecord;
using orva::elements::ObserverSite;

namespace {
KepRecord leo()
{
    KepRecord r;
    r.name = "AO-7";
    r.catalogue = 7530;
    r.epoch_year = 25;
    r.epoch_day = 178.92074625;
    r.inclination = 101.9927;
    r.raan = 183.3801;
    r.eccentricity = 0.0012658;
    r.arg_perigee = 87.3237;
    r.mean_anomaly = 339.0794;
    r.mean_motion = 12.53689854;
    r.epoch_rev = 31612;
    r.beacon_mhz = 145.9775;
    return r;
}
ObserverSite site() { return {"S", 0.9, 0.01, 30}; }
} // namespace

TEST(EpochTime, TwoDigitYearsPivotAt50AndTheUnixEpochIsZero)
{
    EXPECT_EQ(epoch_station_time(70, 1.0), 0);
    EXPECT_EQ(epoch_station_time(0, 1.0), 946684800);      // 2000-01-01
    EXPECT_EQ(epoch_station_time(49, 1.0), 2493072000);    // 2049-01-01
    EXPECT_EQ(epoch_station_time(50, 1.0), -631152000);    // 1950-01-01
    EXPECT_EQ(epoch_station_time(26, 32.5), 1767225600 + 31 * 86400 + 43200);
    EXPECT_EQ(epoch_station_time(70, 1.0 + 0.6 / 86400), 1); // rounded to the nearest second
}

TEST(SatTrack, InitFillsTheModelAndRejectsUnusableSets)
{
    SatTrack t;
    ASSERT_TRUE(init_track(leo(), t, 123).ok());
    EXPECT_EQ(t.compute_time, 123);
    EXPECT_NEAR(t.mean_motion_rad_s, 12.53689854 * 2 * M_PI / 86400, 1e-15);
    EXPECT_NEAR(t.epoch_yyddd, 25178.92074625, 1e-9);
    EXPECT_DOUBLE_EQ(t.beacon_hz, 145977500.0);
    EXPECT_DOUBLE_EQ(t.blon, 9999 / 57.29577951308232);
    EXPECT_TRUE(t.model.has_value());

    KepRecord bad = leo();
    bad.mean_motion = 0;
    EXPECT_FALSE(init_track(bad, t, 0).ok());
    bad = leo();
    bad.eccentricity = 1.0;
    EXPECT_FALSE(init_track(bad, t, 0).ok());
    KepRecord high = leo();
    high.beacon_mhz = 60000; // above 5e10 Hz: no beacon
    ASSERT_TRUE(init_track(high, t, 0).ok());
    EXPECT_EQ(t.beacon_hz, 0);
    EXPECT_EQ(doppler_hz(t), 0);
}

TEST(SatTrack, EpochRoundingDoesNotShiftTheOrbit)
{
    // Two records whose epochs differ by 0.4 s give positions 0.4 s apart, not identical ones.
    KepRecord a = leo(), b = leo();
    b.epoch_day += 0.4 / 86400;
    SatTrack ta, tb;
    ASSERT_TRUE(init_track(a, ta, 0).ok());
    ASSERT_TRUE(init_track(b, tb, 0).ok());
    ta.compute_time = tb.compute_time = ta.epoch_time + 600;
    ASSERT_TRUE(compute_position(ta, site()).ok());
    ASSERT_TRUE(compute_position(tb, site()).ok());
    double moved = (ta.position_m - tb.position_m).norm();
    EXPECT_NEAR(moved, 0.4 * ta.velocity_m_s.norm(), 5.0);
}

TEST(SatTrack, MaAtEpochAndTheModeSchedule)
{
    KepRecord r = leo();
    r.epoch_rev = 1000;
    r.mean_anomaly = 90;
    r.epoch_day = 100.0; // epoch on a whole second
    r.mode_schedule = "000B  064JL128S";
    SatTrack t;
    ASSERT_TRUE(init_track(r, t, 0).ok());
    t.compute_time = t.epoch_time;
    ASSERT_TRUE(compute_position(t, site()).ok());
    EXPECT_NEAR(t.ma, 64.0, 1e-9);
    EXPECT_EQ(t.orbit_number, 1000);
    EXPECT_EQ(current_mode(t), "JL   ");
    // Half an orbit later MA has advanced by 128.
    t.compute_time = t.epoch_time + std::int64_t(std::llround(43200 / r.mean_motion));
    ASSERT_TRUE(compute_position(t, site()).ok());
    EXPECT_NEAR(t.ma, 192.0, 0.01);
    EXPECT_EQ(current_mode(t), "S    ");
}

TEST(ModeSchedule, ParsesThresholdsAndFiveCharacterNames)
{
    auto m = parse_mode_schedule("000B  064JL128S");
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].threshold, 0);
    EXPECT_EQ(m[0].name, "B    ");
    EXPECT_EQ(m[1].threshold, 64);
    EXPECT_EQ(m[1].name, "JL   ");
    EXPECT_EQ(m[2].threshold, 128);
    EXPECT_EQ(m[2].name, "S    ");
    EXPECT_EQ(mode_for_ma(m, 63.9), "B    ");
    EXPECT_EQ(mode_for_ma(m, 64), "JL   ");
    EXPECT_EQ(mode_for_ma(m, 200), "S    ");
    EXPECT_EQ(mode_for_ma(parse_mode_schedule("040B"), 10), "     ");
    EXPECT_EQ(mode_for_ma({}, 100), "     ");
    EXPECT_EQ(parse_mode_schedule("000LONGMODENAME")[0].name, "LONGM");
    EXPECT_TRUE(parse_mode_schedule("12").empty());
    EXPECT_EQ(parse_mode_schedule("000064").size(), 2u); // an empty name, then the next entry
}

TEST(SatTrack, DecayIsIgnoredAndGeostationaryPeriodsUseTheNearEarthEquations)
{
    KepRecord a = leo(), b = leo();
    b.decay = 0.001;
    SatTrack ta, tb;
    ASSERT_TRUE(init_track(a, ta, 0).ok());
    ASSERT_TRUE(init_track(b, tb, 0).ok());
    ta.compute_time = tb.compute_time = ta.epoch_time + 86400;
    ASSERT_TRUE(compute_position(ta, site()).ok());
    ASSERT_TRUE(compute_position(tb, site()).ok());
    EXPECT_EQ(ta.position_m.x, tb.position_m.x);

    KepRecord geo = leo();
    geo.mean_motion = 1.00273;
    geo.eccentricity = 0.0002;
    geo.inclination = 0.05;
    SatTrack tg;
    ASSERT_TRUE(init_track(geo, tg, 0).ok());
    tg.compute_time = tg.epoch_time + 3 * 86400;
    ASSERT_TRUE(compute_position(tg, site()).ok());
    EXPECT_NEAR(tg.position_m.norm() / 1000, 42164, 30);
    EXPECT_NEAR(tg.height_km, 35786, 30);
}

TEST(SatTrack, DopplerAndRangeRate)
{
    SatTrack t;
    KepRecord r = leo();
    r.beacon_mhz = 145.825;
    ASSERT_TRUE(init_track(r, t, 0).ok());
    t.range_rate_km_s = -5.0;
    EXPECT_NEAR(doppler_hz(t), 2432.1, 0.1);
    EXPECT_NEAR(t.doppler_hz, 2432.1, 0.1);

    // The range rate is the time derivative of the range.
    t.compute_time = t.epoch_time + 5000;
    ASSERT_TRUE(compute_position(t, site()).ok());
    double rate = range_rate(t);
    double r0 = t.range_km;
    t.compute_time += 1;
    ASSERT_TRUE(compute_position(t, site()).ok());
    double r1 = t.range_km;
    t.compute_time -= 2;
    ASSERT_TRUE(compute_position(t, site()).ok());
    EXPECT_NEAR((r1 - t.range_km) / 2, rate, 1e-4);
    (void)r0;
}

TEST(RadioHorizon, SectorsAndTheStrictComparison)
{
    std::array<std::int32_t, 12> h{};
    for (int i = 0; i < 12; ++i)
        h[std::size_t(i)] = i + 1;
    EXPECT_FALSE(above_radio_horizon(10, 1, h));    // equal is below
    EXPECT_TRUE(above_radio_horizon(10, 1.01, h));
    EXPECT_TRUE(above_radio_horizon(359.9, 12.5, h)); // sector 11
    EXPECT_FALSE(above_radio_horizon(359.9, 11.5, h));
    EXPECT_TRUE(above_radio_horizon(360.0, 1.5, h));  // sector 12 wraps to entry 0
    EXPECT_TRUE(above_radio_horizon(45, 2.5, h));
}

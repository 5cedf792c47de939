#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "station/radio/doppler.h"
#include "station/rotator/easycomm.h"
#include "station/rotator/gs232.h"
#include "station/rotator/paced_writer.h"
#include "station/rotator/rotator_models.h"
#include "station/rotator/tracking_tick.h"
#include "station/rotator/trakbox.h"
#include "station/tests/rig_fixture.h"

using namespace orva::station;
using namespace std::chrono_literals;

namespace {
Aim aim(double az, double el)
{
    Aim a;
    a.name = "AO-16";
    a.azimuth_deg = az;
    a.elevation_deg = el;
    a.uplink_hz = 145'900'000;
    a.downlink_hz = 435'800'000;
    a.uplink_mode = 0;
    a.downlink_mode = 3;
    a.mean_anomaly = 12.3;
    return a;
}
} // namespace

TEST(RotatorModels, TenTypesInListOrderWithTheirLinks)
{
    auto m = rotator_models();
    ASSERT_EQ(m.size(), 10u);
    const char* names[] = {"None", "TrakBox", "Level1", "SatTrak", "EasyComm 1", "EasyComm 2",
                           "Norbin", "GS232", "DDE", "TrakBox Host"};
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_STREQ(m[i].name, names[i]);
        EXPECT_EQ(std::uint32_t(m[i].type), i);
    }
    EXPECT_EQ(rotator_model(2).link, RotatorLink::Library);
    EXPECT_EQ(rotator_model(6).link, RotatorLink::None);
    EXPECT_EQ(rotator_model(77).type, RotatorType::None);
    LastSent last;
    for (auto type : {0u, 1u, 3u, 6u, 8u})
        EXPECT_EQ(rotator_model(type).tick(last, aim(100, 10)), "") << type;
}

TEST(RotatorCommands, Gs232SendsOnlyWhenAnAxisMovedMoreThanThreeDegrees)
{
    LastSent last; // 0, 0 at start-up
    EXPECT_EQ(gs232::tick(last, aim(3.0, 2.9)), "");
    EXPECT_EQ(gs232::tick(last, aim(3.01, 0)), "W3 0\r\n");
    EXPECT_EQ(gs232::tick(last, aim(6.0, 3.0)), "");  // exactly 3 degrees in both axes
    EXPECT_EQ(gs232::tick(last, aim(5.0, 3.2)), "W5 3\r\n");
    EXPECT_EQ(gs232::tick(last, aim(120, 45)), "W120 45\r\n");
    LastSent fresh;
    EXPECT_EQ(gs232::tick(fresh, aim(0, 3.5)), "W0 4\r\n"); // elevation alone suffices
}

TEST(RotatorCommands, FlipTurnsTheAntennaOverTheTop)
{
    double az = 350, el = 30;
    flip_aim(az, el);
    EXPECT_EQ(az, 170);
    EXPECT_EQ(el, 150);
    az = 100, el = 10;
    flip_aim(az, el);
    EXPECT_EQ(az, 280);
    EXPECT_EQ(el, 170);
    az = 180, el = 0;
    flip_aim(az, el);
    EXPECT_EQ(az, 360);
}

TEST(Doppler, ApproachingAtFiveKilometresASecond)
{
    auto down = downlink_radio_hz(435'800'000, -5, 0, 0);
    auto up = uplink_radio_hz(145'900'000, -5, 0);
    ASSERT_TRUE(down && up);
    EXPECT_NEAR(*down, 435'807'268, 1);
    EXPECT_NEAR(*up, 145'897'567, 1);
    EXPECT_NEAR(*downlink_radio_hz(435'800'000, 0, -1200, 0), 435'798'800, 1e-6);
    EXPECT_NEAR(doppler_factor(-5), 1 - 5 / 299792.5, 1e-15);
}

TEST(Doppler, AFrequencyThatCannotBeReadIsNeverCommanded)
{
    EXPECT_FALSE(downlink_radio_hz(0, -5, 0, 0));             // the Doppler-shifted 0
    EXPECT_FALSE(uplink_radio_hz(0, 3, 116'000'000));         // minus the converter's offset
    EXPECT_FALSE(downlink_radio_hz(100, 0, -200, 0));         // fine tuning below 0 Hz
    EXPECT_TRUE(downlink_radio_hz(2'401'500'000, 0, 0, 2'256'000'000));
}

TEST(RotatorCommands, TrakBoxHostThresholdsAndModeCommand)
{
    LastSent last;
    Aim a = aim(100, 20);
    EXPECT_EQ(trakbox::host_tick(last, a), "AZ100_EL 20\nFU145900000\nFD435800000\n");
    a.uplink_hz = 145'900'100; // exactly 100 Hz
    EXPECT_EQ(trakbox::host_tick(last, a), "");
    a.uplink_hz = 145'900'101;
    EXPECT_EQ(trakbox::host_tick(last, a), "FU145900101\n");
    a.azimuth_deg = 101.0; // exactly one degree
    EXPECT_EQ(trakbox::host_tick(last, a), "");
    a.azimuth_deg = 101.5;
    EXPECT_EQ(trakbox::host_tick(last, a), "AZ102_EL 20\n");
    a.downlink_hz.reset(); // untuned: never "FD0"
    a.downlink_hz = std::nullopt;
    EXPECT_EQ(trakbox::host_tick(last, a), "");

    StartContext s{"AO-16", 0, 3};
    EXPECT_EQ(trakbox::host_start(s), "MUF\nMDU\n");
    EXPECT_EQ(trakbox::host_start({"X", 4, 6}), "MUL\nMDC\n");
    EXPECT_EQ(trakbox::host_start({"X", 5, 1}), "MUC\nMDF\n");
}

TEST(RotatorCommands, EasyCommLines)
{
    LastSent last;
    EXPECT_EQ(easycomm::tick_one(last, aim(123.45, 6.78)),
              "AZ123.5 EL6.8 UP145900000 FM DN435800000 USB\r\n");
    Aim a = aim(10, 1);
    EXPECT_EQ(easycomm::tick_two(last, a), "AZ10.0 EL1.0 PH12.3\r\nUP145900000 UMFM DN435800000 DMUSB\r\n");
    a.risen = true;
    EXPECT_EQ(easycomm::tick_two(last, a).substr(0, 8), "AO AZ10.");
    a.uplink_hz.reset();
    EXPECT_EQ(easycomm::tick_two(last, a), "AO AZ10.0 EL1.0 PH12.3\r\nDN435800000 DMUSB\r\n");
    EXPECT_EQ(easycomm::start_two({"AO-16", 0, 0}), "SNAO-16\n");
    EXPECT_EQ(easycomm::stop_two(), std::string("LO SN ", 6));
}

TEST(RotatorCommands, ParkOnlyWhenTheNextPassIsFurtherThanTheDelay)
{
    std::int64_t now = 1000;
    std::int64_t in30 = now + 30, in90 = now + 90, in60 = now + 60;
    EXPECT_FALSE(should_park(true, now, 60, &in30));
    EXPECT_TRUE(should_park(true, now, 60, &in90));
    EXPECT_FALSE(should_park(true, now, 60, &in60));
    EXPECT_TRUE(should_park(true, now, 60, nullptr));
    EXPECT_FALSE(should_park(false, now, 60, nullptr));
}

TEST(PacedWriter, PacingDelayWritesOneByteAtATimeWithPauses)
{
    orva::platform::ManualClock clock;
    struct Write {
        std::string bytes;
        orva::platform::TimePoint at;
    };
    std::vector<Write> writes;
    PacedWriter writer(clock.timers(), [&](std::span<const std::uint8_t> b) {
        writes.push_back({std::string(b.begin(), b.end()), clock.now()});
        return true;
    });
    writer.set_delay(20ms);
    auto start = clock.now();
    LastSent last;
    writer.send(gs232::tick(last, aim(120, 45)));
    writer.send("W1 1\r\n"); // queued behind the first command's pauses
    while (clock.advance_to_next_timer()) {
    }
    ASSERT_EQ(writes.size(), 9u + 6u);
    std::string all;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].bytes.size(), 1u);
        EXPECT_EQ(writes[i].at - start, i * 20ms);
        all += writes[i].bytes;
    }
    EXPECT_EQ(all, "W120 45\r\nW1 1\r\n");
    EXPECT_TRUE(writer.idle());

    writes.clear();
    writer.set_delay(0ms);
    writer.send("W2 2\r\n");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].bytes, "W2 2\r\n");

    writer.set_delay(80ms); // above 50 counts as 50
    writes.clear();
    start = clock.now();
    writer.send("ab");
    while (clock.advance_to_next_timer()) {
    }
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[1].at - start, 50ms);
}

TEST(TrackingTick, CommandedAtMinusTwoDegreesButNotAtMinusFour)
{
    using namespace orva::station::testing;
    auto at4 = time_at_elevation(-4.0);
    auto at2 = time_at_elevation(-2.0);
    ASSERT_TRUE(at4 && at2);
    PassFrequencies f;
    f.uplink_hz = 145'900'000;
    f.downlink_hz = 435'800'000;
    for (auto [when, commanded] : {std::pair{*at4 - 1, false}, std::pair{*at2, true}}) {
        SatTrack t;
        ASSERT_TRUE(init_track(rig_satellite(), t, when).ok());
        t.compute_time = when;
        TrackingTicker ticker(rotator_model(7), false);
        LastSent last;
        auto r = ticker.tick(t, rig_site(), f, last, false);
        EXPECT_EQ(r.commanded, commanded);
        EXPECT_EQ(r.serial.empty(), !commanded);
        if (commanded) {
            EXPECT_NEAR(r.aim.elevation_deg, -2.0, 0.1);
            EXPECT_EQ(r.serial.substr(0, 1), "W");
            // Doppler from the model's own range rate.
            double rate = range_rate(t);
            EXPECT_NEAR(*r.aim.downlink_hz, (1 - rate / 299792.5) * 435'800'000, 1e-3);
            EXPECT_NEAR(r.report.doppler_factor, 1 + rate / 299792.5, 1e-12);
        }
    }
}

TEST(TrackingTick, LibraryCallsAreTruncatedAndAnUnreadableFrequencyIsLoggedOnce)
{
    using namespace orva::station::testing;
    auto at = time_at_elevation(10.0);
    ASSERT_TRUE(at);
    SatTrack t;
    ASSERT_TRUE(init_track(rig_satellite(), t, *at).ok());
    PassFrequencies f;
    f.downlink_hz = 435'800'000; // uplink missing: 0 Hz
    f.uplink_offset_hz = 116'000'000;
    TrackingTicker ticker(rotator_model(2), false);
    LastSent last;
    std::vector<std::string> logs;
    for (int i = 0; i < 3; ++i) {
        t.compute_time = *at + 2 * i;
        auto r = ticker.tick(t, rig_site(), f, last, true);
        ASSERT_TRUE(r.commanded);
        logs.insert(logs.end(), r.log.begin(), r.log.end());
        EXPECT_FALSE(r.radio_uplink_hz);
        ASSERT_TRUE(r.radio_downlink_hz);
        EXPECT_EQ(*r.radio_downlink_hz, (long long)std::trunc(*r.aim.downlink_hz));
        ASSERT_TRUE(r.rotor_position);
        EXPECT_EQ(r.rotor_position->first, int(std::trunc(r.aim.azimuth_deg)));
        EXPECT_EQ(r.report.uplink_hz, 0);
    }
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(logs[0].find("uplink left untuned"), std::string::npos);
}

TEST(TrackingTick, AFlippedPassIsSentOverTheTopAndReportedAfterTheFlip)
{
    using namespace orva::station::testing;
    auto at = time_at_elevation(30.0);
    ASSERT_TRUE(at);
    PassFrequencies f;
    std::optional<TickResult> plain, flipped;
    for (bool flip : {false, true}) {
        SatTrack t;
        ASSERT_TRUE(init_track(rig_satellite(), t, *at).ok());
        t.compute_time = *at;
        TrackingTicker ticker(rotator_model(7), flip);
        LastSent last;
        (flip ? flipped : plain) = ticker.tick(t, rig_site(), f, last, false);
    }
    ASSERT_TRUE(plain->commanded && flipped->commanded);
    EXPECT_NEAR(flipped->aim.elevation_deg, 180 - plain->aim.elevation_deg, 1e-9);
    double az = plain->aim.azimuth_deg;
    EXPECT_NEAR(flipped->aim.azimuth_deg, az > 180 ? az - 180 : az + 180, 1e-9);
    EXPECT_EQ(flipped->report.elevation_deg, flipped->aim.elevation_deg); // the record carries the flipped angles
    char w[64];
    std::snprintf(w, sizeof w, "W%0.0f %0.0f\r\n", flipped->aim.azimuth_deg, flipped->aim.elevation_deg);
    EXPECT_EQ(flipped->serial, w);
}

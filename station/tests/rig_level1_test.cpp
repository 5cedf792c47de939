// Level1 tracking through Hamlib against rotctld and rigctld, whose dummy rotator turns in real time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "station/rotator/gs232.h"
#include "station/tests/rig_control_fixture.h"

using namespace orva;
using namespace orva::station;
using namespace orva::station::testing;

TEST_F(RigFixture, Level1FollowsAPassThroughTheDaemonsAndParks)
{
    HamlibDaemon rot("/usr/bin/rotctld", dir / "rotctld.log");
    HamlibDaemon rig("/usr/bin/rigctld", dir / "rigctld.log");
    hamlib.rotator_device = rot.address();
    hamlib.radio_device = rig.address();
    auto at = time_at_elevation(1.0);
    ASSERT_TRUE(at);
    start_clock_at(*at);
    // The dummy rotator turns 6 degrees a second: park it near where the checks end, so the test
    // waits for the tracking steps rather than for a long slew home.
    auto look = [&](std::int64_t t) {
        SatTrack s;
        EXPECT_TRUE(init_track(rig_satellite(), s, *at).ok());
        s.compute_time = t;
        EXPECT_TRUE(compute_position(s, rig_site()).ok());
        return std::pair{s.azimuth * 180 / M_PI, s.elevation * 180 / M_PI};
    };
    auto last = look(*at + 600);
    auto r = of_type(2);
    r.park = 1;
    r.park_az = std::uint32_t(std::fmod(std::trunc(last.first) + 20, 360));
    r.park_el = 0;
    auto control = make(r);
    control->open_at_start();
    control->start_tracking("AO-7", false);
    control->set_downlink_offset(-1200);
    ASSERT_TRUE(rec.warnings.empty()) << rec.warnings[0].first;
    EXPECT_EQ(rig.ask("m", 2).at(0), "USB");
    // Ten minutes of the pass, checked every two minutes.
    for (int minute = 0; minute < 10; minute += 2) {
        for (int tick = 0; tick < 60; ++tick)
            clock->advance(kTrackingTick);
        auto report = control->report();
        ASSERT_TRUE(report);
        if (report->elevation_deg < 0)
            break;
        double az = std::trunc(report->azimuth_deg), el = std::trunc(report->elevation_deg);
        bool reached = false;
        for (int i = 0; i < 300 && !reached; ++i) {
            auto p = rot.ask("p", 2);
            reached = p.size() == 2 && std::fabs(std::atof(p[0].c_str()) - az) <= 1 &&
                      std::fabs(std::atof(p[1].c_str()) - el) <= 1;
            if (!reached)
                std::this_thread::sleep_for(50ms);
        }
        EXPECT_TRUE(reached) << "minute " << minute << " az " << az << " el " << el;
        // Doppler from the orbit model, the fine tuning included.
        SatTrack t;
        ASSERT_TRUE(init_track(rig_satellite(), t, *at).ok());
        t.compute_time = std::chrono::duration_cast<std::chrono::seconds>(clock->now().time_since_epoch()).count();
        ASSERT_TRUE(compute_position(t, rig_site()).ok());
        double rate = range_rate(t);
        double down = (1 - rate / 299792.5) * 435.8e6 - 1200, up = (1 + rate / 299792.5) * 145.9e6;
        EXPECT_NEAR(std::atof(rig.ask("f", 1).at(0).c_str()), down, 1.0);
        EXPECT_NEAR(std::atof(rig.ask("i", 1).at(0).c_str()), up, 1.0);
    }
    next_pass = std::chrono::duration_cast<std::chrono::seconds>(clock->now().time_since_epoch()).count() + 30;
    r.park_delay = 60;
    control->stop_tracking(); // next pass 30 s away: no parking
    EXPECT_EQ(std::count_if(rec.logs.begin(), rec.logs.end(), [](auto& l) { return l.find("parked") != std::string::npos; }), 0);
    next_pass = *next_pass + 60; // 90 s away
    control->stop_tracking();
    bool parked = false;
    for (int i = 0; i < 400 && !parked; ++i) {
        auto p = rot.ask("p", 2);
        parked = p.size() == 2 && std::fabs(std::atof(p[0].c_str()) - r.park_az) <= 1 && std::fabs(std::atof(p[1].c_str())) <= 1;
        if (!parked)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(parked);
}

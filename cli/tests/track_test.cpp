// orva track and orva hamlib as an operator runs them, against rotctld and rigctld.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <regex>

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "station/orbit/sat_track.h"
#include "station/radio/hamlib_driver.h"
#include "station/tests/rig_peers.h"
#include "cli/demo/demo_pass.h"
#include "cli/setup/demo_station.h"
#include "cli/tests/demo_station_fixture.h"

namespace orva::tools {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using station::testing::HamlibDaemon;

constexpr std::int64_t kFrom = 1796947200; // 2026-12-11T00:00:00Z

class Track : public DemoStationTest {
protected:
    void SetUp() override
    {
        auto level1_ao16 = [](platform::Store& store) {
            auto key = settings::find_satellite_key(store, "AO-16", settings::CaseRule::IgnoreCase);
            ASSERT_TRUE(key);
            for (auto [name, mhz] : {std::pair{"Uplink 1", 145.9}, std::pair{"Downlink 1", 437.025}}) {
                std::uint8_t b[8];
                std::memcpy(b, &mhz, 8);
                ASSERT_TRUE(store.write_binary(*key, name, b).ok());
            }
            ASSERT_TRUE(store.write_integer(*key, "Default Uplink", 1).ok());
            ASSERT_TRUE(store.write_integer(*key, "Default Downlink", 1).ok());
            settings::RotatorSettings r = settings::read_rotator(store);
            r.rotator_type = 2;
            r.park = 1;
            r.park_az = 10; // near where the dummy rotator starts (0 0): it turns 6 degrees a second
            r.park_el = 0;
            ASSERT_TRUE(settings::write_rotator(store, r).ok());
        };
        ASSERT_NO_FATAL_FAILURE(write_station("orva-track-", level1_ao16, {demo_orbit_ao16()}));
    }

    void use_daemons(const std::string& rot, const std::string& rig)
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        station::HamlibConfig c;
        c.rotator_device = rot;
        c.radio_device = rig;
        ASSERT_TRUE(station::write_hamlib_config(*store, c).ok());
    }

    // Two minutes after the first AO-16 rise after kFrom.
    std::int64_t in_pass()
    {
        station::SatTrack t;
        EXPECT_TRUE(station::init_track(demo_orbit_ao16(), t, kFrom).ok());
        auto site = elements::ObserverSite::from_station(demo_callsign, demo_latitude, demo_longitude, demo_altitude);
        double previous = -1;
        for (std::int64_t s = kFrom; s < kFrom + 2 * 86400; s += 10) {
            t.compute_time = s;
            EXPECT_TRUE(station::compute_position(t, site).ok());
            if (previous < 0 && t.elevation >= 0)
                return s + 120;
            previous = t.elevation;
        }
        return kFrom;
    }
};

TEST_F(Track, LiveLineAgainstTheDaemonsThenParked)
{
    HamlibDaemon rot("/usr/bin/rotctld", dir / "rotctld.log");
    HamlibDaemon rig("/usr/bin/rigctld", dir / "rigctld.log");
    use_daemons(rot.address(), rig.address());
    std::int64_t at = in_pass();
    std::string from = format_iso8601(StationTime(std::chrono::seconds(at)));
    auto [code, out] = run({ORVA_TRACK, "AO-16", "--seconds", "4", "--from", from});
    ASSERT_EQ(code, 0) << out;
    std::regex live(R"(AO-16: az (\d+) el (\d+), up (\d+) Hz, down (\d+) Hz)");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, live)) << out;
    double down = std::atof(m[4].str().c_str());
    EXPECT_NEAR(down, 437.025e6, 437.025e6 * 8 / 299792.5) << out; // within a low orbit's Doppler
    EXPECT_NE(out.find("parked at 10 0"), std::string::npos) << out;
    // The radio holds the last Doppler-corrected frequencies, the rotator goes to its park position.
    EXPECT_NEAR(std::atof(rig.ask("f", 1).at(0).c_str()), 437.025e6, 437.025e6 * 8 / 299792.5);
    EXPECT_NEAR(std::atof(rig.ask("i", 1).at(0).c_str()), 145.9e6, 145.9e6 * 8 / 299792.5);
    bool parked = false;
    for (int i = 0; i < 600 && !parked; ++i) {
        auto p = rot.ask("p", 2);
        parked = p.size() == 2 && std::fabs(std::atof(p[0].c_str()) - 10) <= 1 && std::fabs(std::atof(p[1].c_str())) <= 1;
        if (!parked)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(parked);
}

TEST_F(Track, DaemonNotRunningIsReportedAndNothingHangs)
{
    int unused = station::testing::free_loopback_port();
    use_daemons("127.0.0.1:" + std::to_string(unused), "127.0.0.1:" + std::to_string(unused));
    auto start = std::chrono::steady_clock::now();
    auto [code, out] = run({ORVA_TRACK, "AO-16", "--seconds", "2", "--from", "2026-12-11T00:00:00Z"});
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("Rotator Error: Unable to initialise rotator communications"), std::string::npos) << out;
    EXPECT_NE(out.find("Rotator Error: An error was encountered while trying to install the rotor driver.  The rotator "
                       "will not be tracked."),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("AO-16: "), std::string::npos) << out; // the live line goes on without the devices
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

TEST_F(Track, UnknownSatelliteAndBadArguments)
{
    auto [code, out] = run({ORVA_TRACK, "XX-99", "--seconds", "1"});
    EXPECT_EQ(code, 1) << out;
    EXPECT_NE(out.find("Rotor Error: An error was encountered while trying to install the rotor driver. The rotator will "
                       "not be moved."),
              std::string::npos)
        << out;
    EXPECT_EQ(run({ORVA_TRACK, "AO-16", "--seconds", "0"}).first, 2);
    EXPECT_EQ(run({ORVA_TRACK}).first, 2);
}

TEST_F(Track, HamlibChooserValidatesAndStores)
{
    auto [code, out] = run({ORVA_HAMLIB, "models", "rotator", "dummy"});
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("     1  "), std::string::npos) << out;
    auto set = run({ORVA_HAMLIB, "set", "--rotator-model", "1", "--radio-device", "127.0.0.1:4999"});
    EXPECT_EQ(set.first, 0) << set.second;
    EXPECT_NE(set.second.find("rotator: model 1"), std::string::npos) << set.second;
    EXPECT_NE(set.second.find("device 127.0.0.1:4999"), std::string::npos) << set.second;
    auto bad = run({ORVA_HAMLIB, "set", "--radio-model", "999999"});
    EXPECT_EQ(bad.first, 2);
    EXPECT_NE(bad.second.find("is not a Hamlib radio model"), std::string::npos) << bad.second;
    auto show = run({ORVA_HAMLIB, "show"});
    EXPECT_NE(show.second.find("device 127.0.0.1:4999"), std::string::npos) << show.second; // the bad set lost nothing
}

} // namespace
} // namespace orva::tools

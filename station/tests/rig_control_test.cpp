#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "common/settings/keys.h"
#include "platform/serial_port.h"
#include "station/radio/hamlib_driver.h"
#include "station/rotator/gs232.h"
#include "station/rotator/rig_control.h"
#include "station/tests/rig_fixture.h"
#include "station/tests/rig_peers.h"

using namespace orva;
using namespace orva::station;
using namespace orva::station::testing;
namespace fs = std::filesystem;

namespace {

struct Recorder {
    Waitable waitable;
    std::vector<std::string> logs;
    std::vector<std::pair<std::string, std::string>> warnings;
    int sounds = 0;
    std::vector<RotorPosition> positions;
    std::vector<TrackReport> reports;
};

struct RigFixture : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("orva-rig-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::optional<platform::Store> store;
    std::unique_ptr<platform::ManualClock> clock;
    Recorder rec;
    std::optional<std::int64_t> next_pass;
    std::string port_path = "/nonexistent/tty";
    HamlibConfig hamlib;

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok());
        store.emplace(std::move(*s));
        std::string key = std::string(settings::keys::satellites) + "\\AO-7";
        ASSERT_TRUE(store->write_string(key, "Name", "AO-7").ok());
        write_double(key, "Uplink 1", 145.9);
        write_double(key, "Uplink 2", 145.95);
        write_double(key, "Downlink 1", 435.8);
        ASSERT_TRUE(store->write_integer(key, "Uplink Mode", 0).ok());
        ASSERT_TRUE(store->write_integer(key, "Downlink Mode", 3).ok());
    }
    void TearDown() override { fs::remove_all(dir); }
    void write_double(const std::string& key, const std::string& name, double v)
    {
        std::uint8_t b[8];
        std::memcpy(b, &v, 8);
        ASSERT_TRUE(store->write_binary(key, name, b).ok());
    }
    void start_clock_at(std::int64_t t)
    {
        clock = std::make_unique<platform::ManualClock>(platform::TimePoint{std::chrono::seconds{t}});
    }

    std::unique_ptr<RigControl> make(settings::RotatorSettings r, bool display_computed = true)
    {
        RigHooks h;
        h.log = [this](const std::string& l) {
            {
                std::lock_guard lock(rec.waitable.mutex());
                rec.logs.push_back(l);
            }
            rec.waitable.changed();
        };
        h.warn = [this](const std::string& t, const std::string& c) {
            {
                std::lock_guard lock(rec.waitable.mutex());
                rec.warnings.emplace_back(t, c);
            }
            rec.waitable.changed();
        };
        h.error_sound = [this] { ++rec.sounds; };
        h.next_pass_start = [this] { return next_pass; };
        h.open_port = [this](std::uint32_t, std::uint32_t speed) {
            platform::SerialSettings s;
            s.speed = speed;
            return platform::open_serial_port(port_path, s);
        };
        h.make_driver = [this]() -> std::unique_ptr<DriverLibrary> { return std::make_unique<HamlibDriver>(hamlib); };
        h.find_elements = [](const std::string& name) -> std::optional<elements::KepRecord> {
            if (name == "AO-7")
                return rig_satellite();
            return std::nullopt;
        };
        h.on_rotor_position = [this](const RotorPosition& p) {
            {
                std::lock_guard lock(rec.waitable.mutex());
                rec.positions.push_back(p);
            }
            rec.waitable.changed();
        };
        h.on_report = [this](const std::optional<TrackReport>& r) {
            if (!r)
                return;
            {
                std::lock_guard lock(rec.waitable.mutex());
                rec.reports.push_back(*r);
            }
            rec.waitable.changed();
        };
        return std::make_unique<RigControl>(*clock, clock->timers(), *store, rig_site(), r, display_computed, h);
    }
    bool warned(const std::string& text, const std::string& caption)
    {
        return rec.waitable.wait([&] {
            return std::find(rec.warnings.begin(), rec.warnings.end(), std::pair{text, caption}) != rec.warnings.end();
        });
    }
};

// For state another thread changes as bytes arrive from the pseudo-terminal.
template <class Pred>
bool eventually(Pred pred)
{
    for (int i = 0; i < 10000; ++i) {
        if (pred())
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

settings::RotatorSettings of_type(std::uint32_t type)
{
    settings::RotatorSettings r;
    r.rotator_type = type;
    return r;
}

} // namespace

TEST_F(RigFixture, Gs232PacedCommandsOnAPseudoTerminal)
{
    auto at = time_at_elevation(20.0);
    ASSERT_TRUE(at);
    start_clock_at(*at);
    PtyPeer peer;
    port_path = peer.path();
    auto r = of_type(7);
    r.pacing_delay = 20;
    auto control = make(r);
    control->start_tracking("AO-7", true);
    ASSERT_TRUE(control->port_open());
    clock->advance(std::chrono::milliseconds(0)); // the first tick
    auto report = control->report();
    ASSERT_TRUE(report);
    char expected[64];
    std::snprintf(expected, sizeof expected, "W%0.0f %0.0f\r\n", report->azimuth_deg, report->elevation_deg);
    // The bytes go out one per 20 ms of station time.
    for (std::size_t i = 1; i < std::strlen(expected); ++i)
        clock->advance(std::chrono::milliseconds(20));
    ASSERT_TRUE(peer.wait_for(expected));
    EXPECT_EQ(peer.received(), expected);
    // A tick that moved less than 3 degrees sends nothing more; the report still follows.
    clock->advance(std::chrono::milliseconds(2000 - 20 * 8));
    for (int i = 0; i < 10; ++i)
        clock->advance(std::chrono::milliseconds(20));
    ASSERT_TRUE(control->report());
    EXPECT_NE(control->report()->azimuth_deg, report->azimuth_deg);
    control->stop_tracking();
    EXPECT_FALSE(control->report()); // the line reads "** NO SATELLITE **" again
    EXPECT_EQ(control->tracked(), "");
}

TEST_F(RigFixture, TrakBoxMenuDialogueEndToEnd)
{
    start_clock_at(kRigEpoch);
    PtyPeer peer;
    port_path = peer.path();
    auto control = make(of_type(1));
    control->start_tracking("AO-7", true);
    ASSERT_TRUE(peer.wait_for("Q\n"));
    peer.mark();
    peer.write("Press 'Q' Return\r");
    ASSERT_TRUE(peer.wait_for("Q\n"));
    peer.mark();
    peer.write("Main menu [1-9,M]:");
    ASSERT_TRUE(peer.wait_for("1"));
    peer.mark();
    peer.write(" 1. UO-11\r 7. AO-7\rSelect:");
    ASSERT_TRUE(peer.wait_for(" 7\n"));
    peer.mark();
    peer.write("Uplink 145900000 Hz\rDownlink 435800000\rTracking AO-7\r");
    ASSERT_TRUE(peer.wait_for("E"));
    EXPECT_EQ(control->dialogue_state(), 0); // waits for the handler to finish
    clock->advance(std::chrono::milliseconds(200));
    EXPECT_FALSE(control->port_open());
    EXPECT_EQ(peer.received(), "Q\nQ\n1 7\nE");
    EXPECT_TRUE(rec.warnings.empty());
}

TEST_F(RigFixture, TrakBoxSilentControllerTimesOut)
{
    start_clock_at(kRigEpoch);
    PtyPeer peer;
    port_path = peer.path();
    auto control = make(of_type(1));
    control->start_tracking("AO-7", true);
    ASSERT_TRUE(peer.wait_for("Q\n"));
    EXPECT_EQ(control->dialogue_state(), 1);
    clock->advance(std::chrono::milliseconds(11999));
    EXPECT_TRUE(rec.warnings.empty());
    clock->advance(std::chrono::milliseconds(1));
    EXPECT_TRUE(warned("The rotator has timed out.", "Rotator Problem"));
    EXPECT_FALSE(control->port_open());
    EXPECT_EQ(control->tracked(), "");
    EXPECT_EQ(rec.sounds, 1);
}

TEST_F(RigFixture, TrakBoxSatelliteMissingFromTheController)
{
    start_clock_at(kRigEpoch);
    PtyPeer peer;
    port_path = peer.path();
    auto control = make(of_type(1));
    control->start_tracking("AO-7", true);
    ASSERT_TRUE(peer.wait_for("Q\n"));
    peer.write("[1-9,M]: 1. UO-11\r 2. FO-29\rSELECT:");
    EXPECT_TRUE(warned("Satellite not found in TrakBox database", "TrakBox Error"));
    clock->advance(std::chrono::milliseconds(200));
    EXPECT_FALSE(control->port_open());
    EXPECT_EQ(control->tracked(), "");
}

TEST_F(RigFixture, TrakBoxListsItsSatellitesForEnableRotator)
{
    start_clock_at(kRigEpoch);
    PtyPeer peer;
    port_path = peer.path();
    auto control = make(of_type(1));
    control->start_trakbox_listing();
    ASSERT_TRUE(peer.wait_for("Q\n"));
    peer.write("Main [1-9,M]:");
    ASSERT_TRUE(peer.wait_for("Q\n1"));
    peer.write(" 1. UO-11  2. AO-16\r 3. AO-7\rSelect:");
    ASSERT_TRUE(eventually([&] { return control->dialogue_state() == 0; }));
    EXPECT_EQ(control->trakbox_names(), (std::vector<std::string>{"UO-11", "AO-16", "AO-7"}));
    clock->advance(std::chrono::milliseconds(200));
    EXPECT_FALSE(control->port_open());
    // Cancel while the menu is still coming closes the port at once.
    control->start_trakbox_listing();
    EXPECT_TRUE(control->port_open());
    control->close_trakbox_listing();
    EXPECT_FALSE(control->port_open());
    clock->advance(std::chrono::milliseconds(13000));
    EXPECT_TRUE(rec.warnings.empty()); // its time-out went with it
}

TEST_F(RigFixture, TrakBoxHostModeThenPositionsAndFrequencies)
{
    auto at = time_at_elevation(15.0);
    ASSERT_TRUE(at);
    start_clock_at(*at);
    PtyPeer peer;
    port_path = peer.path();
    auto control = make(of_type(9));
    control->open_at_start();
    ASSERT_TRUE(peer.wait_for("Q\n"));
    peer.write("Menu [1-9,M]:");
    ASSERT_TRUE(peer.wait_for("7"));
    EXPECT_EQ(control->dialogue_state(), 0);
    peer.mark();
    control->start_tracking("AO-7", false);
    ASSERT_TRUE(peer.wait_for("MUF\nMDU\n"));
    peer.mark();
    clock->advance(std::chrono::milliseconds(0));
    ASSERT_TRUE(peer.wait_for("FD"));
    ASSERT_TRUE(peer.wait_for("\n", 1s));
    auto report = control->report();
    ASSERT_TRUE(report);
    char line[128];
    std::snprintf(line, sizeof line, "AZ%3.0f_EL%3.0f\nFU%.0f\nFD%.0f\n", report->azimuth_deg, report->elevation_deg,
                  std::trunc(report->uplink_hz), std::trunc(report->downlink_hz));
    EXPECT_TRUE(peer.wait_for(line));
    // Timer stays quiet once the controller answered.
    clock->advance(std::chrono::milliseconds(13000));
    EXPECT_TRUE(rec.warnings.empty());
}

TEST_F(RigFixture, SatTrakPromptSelectsAndChangesTheDownlink)
{
    start_clock_at(kRigEpoch);
    PtyPeer peer;
    port_path = peer.path();
    auto control = make(of_type(3));
    control->start_tracking("AO-7", true);
    ASSERT_TRUE(peer.wait_for("W"));
    peer.write("Orva>");
    ASSERT_TRUE(peer.wait_for("WS"));
    peer.write("S\r");
    ASSERT_TRUE(eventually([&] { return control->dialogue_state() == 0; }));
    clock->advance(std::chrono::milliseconds(125));
    ASSERT_TRUE(peer.wait_for("WSAO-7\r"));
    clock->advance(std::chrono::milliseconds(200));
    EXPECT_FALSE(control->port_open());

    peer.mark();
    control->select_downlink('1');
    ASSERT_TRUE(peer.wait_for("W"));
    peer.write("Orva>");
    ASSERT_TRUE(eventually([&] { return control->dialogue_state() == 22; })); // "D" goes out after its pause
    clock->advance(std::chrono::milliseconds(125));
    ASSERT_TRUE(peer.wait_for("D"));
    peer.write("D\r");
    ASSERT_TRUE(eventually([&] { return control->dialogue_state() == 0; }));
    clock->advance(std::chrono::milliseconds(125));
    EXPECT_TRUE(peer.wait_for("D435800000.000000\r\n"));
}

TEST_F(RigFixture, EasyCommRepliesMoveTheRotorDisplay)
{
    auto at = time_at_elevation(5.0);
    ASSERT_TRUE(at);
    start_clock_at(*at);
    PtyPeer peer;
    port_path = peer.path();
    auto control = make(of_type(5));
    control->open_at_start();
    control->start_tracking("AO-7", false);
    ASSERT_TRUE(peer.wait_for("SNAO-7\n"));
    clock->advance(std::chrono::milliseconds(0));
    ASSERT_TRUE(peer.wait_for("PH"));
    ASSERT_TRUE(peer.wait_for("DMUSB\r\n"));
    peer.write("AZ123.0 EL45.5\n");
    ASSERT_TRUE(rec.waitable.wait([&] {
        return !rec.positions.empty() && rec.positions.back().reported && rec.positions.back().elevation == 45.5;
    }));
    EXPECT_EQ(control->rotor_position()->azimuth, 123.0);
    peer.mark();
    control->stop_tracking();
    EXPECT_TRUE(peer.wait_for(std::string("LO SN ", 6)));
}

TEST_F(RigFixture, PortThatCannotBeOpened)
{
    start_clock_at(kRigEpoch);
    auto control = make(of_type(7));
    control->start_tracking("AO-7", true);
    EXPECT_TRUE(warned("Unable to initialise rotator communications", "Rotator Error"));
    EXPECT_EQ(rec.sounds, 1);
    EXPECT_EQ(control->tracked(), "");
}

TEST_F(RigFixture, SatelliteMissingFromTheElementDatabase)
{
    start_clock_at(kRigEpoch);
    auto control = make(of_type(8));
    control->start_tracking("XX-99", true);
    EXPECT_TRUE(warned("An error was encountered while trying to install the rotor driver. The rotator will not be moved.",
                       "Rotor Error"));
}

TEST_F(RigFixture, Level1FollowsAPassThroughTheDaemonsAndParks)
{
    HamlibDaemon rot("/usr/bin/rotctld", dir / "rotctld.log");
    HamlibDaemon rig("/usr/bin/rigctld", dir / "rigctld.log");
    hamlib.rotator_device = rot.address();
    hamlib.radio_device = rig.address();
    auto at = time_at_elevation(1.0);
    ASSERT_TRUE(at);
    start_clock_at(*at);
    auto r = of_type(2);
    r.park = 1;
    r.park_az = 180;
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
        parked = p.size() == 2 && std::fabs(std::atof(p[0].c_str()) - 180) <= 1 && std::fabs(std::atof(p[1].c_str())) <= 1;
        if (!parked)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(parked);
}

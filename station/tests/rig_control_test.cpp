#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "station/rotator/gs232.h"
#include "station/tests/rig_control_fixture.h"

using namespace orva;
using namespace orva::station;
using namespace orva::station::testing;

TEST_F(RigFixture, Gs232PacedCommandsOnAPseudoTerminal)
{
    auto at = time_at_elevation(20.0);
    ASSERT_TRUE(at);
    PtyPeer peer;
    auto r = of_type(7);
    r.pacing_delay = 20;
    auto control = on_terminal(peer, *at, r);
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
    PtyPeer peer;
    auto control = on_terminal(peer, kRigEpoch, of_type(1));
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
    PtyPeer peer;
    auto control = on_terminal(peer, kRigEpoch, of_type(1));
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
    PtyPeer peer;
    auto control = on_terminal(peer, kRigEpoch, of_type(1));
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
    PtyPeer peer;
    auto control = on_terminal(peer, kRigEpoch, of_type(1));
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
    PtyPeer peer;
    auto control = on_terminal(peer, *at, of_type(9));
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
    PtyPeer peer;
    auto control = on_terminal(peer, kRigEpoch, of_type(3));
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
    PtyPeer peer;
    auto control = on_terminal(peer, *at, of_type(5));
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

namespace orva::station::testing {

// The station moved while a pass is tracked: the next tick aims from the new site.
TEST_F(RigFixture, NewStationPositionIsUsedFromTheNextTick)
{
    auto at = time_at_elevation(20.0);
    ASSERT_TRUE(at);
    PtyPeer peer;
    auto control = tracking_on(peer, *at, of_type(7), true);
    auto expected_at = [&](const elements::ObserverSite& site) {
        SatTrack t;
        EXPECT_TRUE(init_track(rig_satellite(), t, *at));
        t.compute_time = std::chrono::duration_cast<std::chrono::seconds>(clock->now().time_since_epoch()).count();
        EXPECT_TRUE(compute_position(t, site));
        return std::pair{t.azimuth * 57.29577951308232, t.elevation * 57.29577951308232};
    };
    auto here = expected_at(rig_site());
    ASSERT_TRUE(control->report());
    EXPECT_NEAR(control->report()->azimuth_deg, here.first, 0.01);
    EXPECT_NEAR(control->report()->elevation_deg, here.second, 0.01);

    elements::ObserverSite moved = elements::ObserverSite::from_station("N0CALL", rig_site().latitude_rad * 57.29577951308232 + 3,
                                                                        -rig_site().longitude_east_rad * 57.29577951308232 - 4, 0);
    control->set_home(moved);
    clock->advance(std::chrono::milliseconds(2000));
    auto there = expected_at(moved);
    ASSERT_TRUE(control->report());
    EXPECT_NEAR(control->report()->azimuth_deg, there.first, 0.01);
    EXPECT_NEAR(control->report()->elevation_deg, there.second, 0.01);
    EXPECT_GT(std::abs(there.second - expected_at(rig_site()).second), 1.0);
    control->stop_tracking();
}

// The Rotator page was saved while a pass is tracked: the new controller takes over at once,
// and going back to no rotator lets the port go.
TEST_F(RigFixture, NewRotatorSettingsTakeOverTheTrackedPassAtOnce)
{
    auto at = time_at_elevation(20.0);
    ASSERT_TRUE(at);
    PtyPeer peer;
    auto control = tracking_on(peer, *at, of_type(0), false);
    EXPECT_FALSE(control->port_open());
    ASSERT_EQ(control->tracked(), "AO-7");

    auto gs232 = of_type(7);
    gs232.pacing_delay = 20;
    control->reconfigure(gs232, true);
    EXPECT_EQ(control->model().type, RotatorType::Gs232);
    EXPECT_TRUE(control->port_open());
    EXPECT_EQ(control->tracked(), "AO-7");
    clock->advance(std::chrono::milliseconds(0));
    for (int i = 0; i < 20; ++i)
        clock->advance(std::chrono::milliseconds(20));
    ASSERT_TRUE(peer.wait_for("\r\n")) << peer.received();
    EXPECT_EQ(peer.received().front(), 'W') << peer.received();

    control->reconfigure(of_type(0), true);
    EXPECT_FALSE(control->port_open());
    EXPECT_EQ(control->tracked(), "AO-7");
    control->stop_tracking();
}

} // namespace orva::station::testing

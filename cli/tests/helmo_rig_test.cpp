// helmo --headless follows a scheduled pass with a Level1 rotator and radio on rotctld and
// rigctld, and a client of its "Helmo" data server reads the 69-byte tracking record.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <poll.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "common/elements/kep_database.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/dbus/session_bus.h"
#include "station/radio/hamlib_driver.h"
#include "station/tests/rig_peers.h"
#include "cli/demo/child.h"
#include "cli/demo/demo_pass.h"
#include "cli/setup/demo_station.h"

namespace orva::tools {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using station::testing::HamlibDaemon;

double double_at(const std::vector<std::uint8_t>& b, std::size_t at)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < 8; ++i)
        v |= std::uint64_t(b[at + i]) << (8 * i);
    return std::bit_cast<double>(v);
}
int word_at(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8);
}

TEST(HelmoRig, DataServerClientReadsTheTrackingRecordDuringALevel1Pass)
{
    int argc = 1;
    char name[] = "helmo_rig_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    fs::path dir = fs::temp_directory_path() / ("orva-helmo-rig-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    HamlibDaemon rot("/usr/bin/rotctld", dir / "rotctld.log");
    HamlibDaemon rig("/usr/bin/rigctld", dir / "rigctld.log");
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        ASSERT_TRUE(create_demo_station(*store, dir / "station").ok());
        auto key = settings::find_satellite_key(*store, "AO-16", settings::CaseRule::IgnoreCase);
        ASSERT_TRUE(key);
        ASSERT_TRUE(store->write_string(*key, "Program", "").ok()); // no engine: the pass just runs
        for (auto [value, mhz] : {std::pair{"Uplink 1", 145.9}, std::pair{"Downlink 1", 437.025}}) {
            std::uint8_t b[8];
            std::memcpy(b, &mhz, 8);
            ASSERT_TRUE(store->write_binary(*key, value, b).ok());
        }
        ASSERT_TRUE(store->write_integer(*key, "Uplink Mode", 0).ok());
        ASSERT_TRUE(store->write_integer(*key, "Downlink Mode", 3).ok());
        settings::RotatorSettings r = settings::read_rotator(*store);
        r.rotator_type = 2;
        ASSERT_TRUE(settings::write_rotator(*store, r).ok());
        station::HamlibConfig c;
        c.rotator_device = rot.address();
        c.radio_device = rig.address();
        ASSERT_TRUE(station::write_hamlib_config(*store, c).ok());
        auto site = elements::ObserverSite::from_station(demo_callsign, demo_latitude, demo_longitude, demo_altitude);
        PassWanted wanted;
        wanted.aos = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count() + 30;
        wanted.shortest_s = 120;
        wanted.longest_s = 400;
        auto pass = element_set_for_pass(demo_orbit_ao16(), site, wanted);
        ASSERT_TRUE(pass.ok()) << pass.error().message;
        elements::KepDatabase db;
        db.add_record(pass->record);
        ASSERT_TRUE(db.save(elements::kep_database_path(dir / "station")).ok());
    }
    auto helmo = Child::start({ORVA_HELMO, "--headless", "--no-table"}, {"ORVA_STORE=" + (dir / "store.db").string()});
    ASSERT_TRUE(helmo.ok());
    std::string log;
    auto wait_line = [&](const std::string& text, std::chrono::seconds limit) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (log.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{(*helmo)->output_fd(), POLLIN, 0};
            ::poll(&p, 1, 200);
            for (const std::string& l : (*helmo)->read_lines())
                log += l + "\n";
        }
        return log.find(text) != std::string::npos;
    };
    ASSERT_TRUE(wait_line("rotator Level1: tracking AO-16", 120s)) << log;
    ASSERT_TRUE(wait_line("radio: downlink", 60s)) << log;

    auto conv = platform::dbus::connect_data("Helmo", "Tracking", [] {});
    ASSERT_TRUE(conv.ok()) << conv.error().message;
    bool matched = false;
    std::vector<std::uint8_t> record;
    for (int attempt = 0; attempt < 20 && !matched; ++attempt) {
        auto r = (*conv)->request("General", "TrackData");
        ASSERT_TRUE(r.ok()) << r.error().message;
        record = *r;
        ASSERT_EQ(record.size(), 69u);
        double down = double_at(record, 37);
        auto f = rig.ask("f", 1);
        matched = !f.empty() && std::fabs(std::atof(f[0].c_str()) - std::trunc(down)) <= 1;
        if (!matched)
            std::this_thread::sleep_for(300ms); // the daemon is one tick behind: try the next
    }
    EXPECT_TRUE(matched) << "the radio never held the record's downlink\n" << log;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data())), "AO-16");
    for (std::size_t i = 5; i < 13; ++i)
        EXPECT_EQ(record[i], 0);
    double az = double_at(record, 13), el = double_at(record, 21);
    EXPECT_GE(az, 0);
    EXPECT_LT(az, 360);
    EXPECT_GE(el, -3);
    EXPECT_LE(el, 90);
    double up = double_at(record, 29), down = double_at(record, 37), factor = double_at(record, 45);
    EXPECT_NEAR(factor, 1, 8 / 299792.5);
    EXPECT_NEAR(up, factor * 145.9e6, 1e-3);
    EXPECT_NEAR(down, (2 - factor) * 437.025e6, 1e-3);
    EXPECT_EQ(word_at(record, 53), 0); // FM up
    EXPECT_EQ(word_at(record, 55), 3); // USB down
    EXPECT_EQ(double_at(record, 57), 0);
    EXPECT_EQ(word_at(record, 65), 0);

    auto text = (*conv)->request("General", "text");
    ASSERT_TRUE(text.ok());
    std::string line(text->begin(), text->end());
    EXPECT_EQ(line.rfind("SNAO-16 AZ", 0), 0u) << line;
    EXPECT_NE(line.find(" UMFM DN"), std::string::npos) << line;
    EXPECT_EQ(line.back(), '\0');
    conv->reset();

    // The Rotator page saved during the pass (as `orva station set` does it: the store, then
    // 2037): no rotator at once, and back to Level1 tracking the same pass.
    auto set_rotator_type = [&](std::uint32_t type) {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        settings::RotatorSettings r = settings::read_rotator(*store);
        r.rotator_type = type;
        ASSERT_TRUE(settings::write_rotator(*store, r).ok());
        auto messenger = platform::dbus::session_messenger();
        ASSERT_TRUE(messenger->post({"HelmoCtl", ""}, {2037, 0, 0}).ok());
    };
    log.clear();
    set_rotator_type(0);
    EXPECT_TRUE(wait_line("rotator settings changed: None in use", 20s)) << log;
    log.clear();
    set_rotator_type(2);
    EXPECT_TRUE(wait_line("rotator settings changed: Level1 in use", 20s)) << log;
    EXPECT_TRUE(wait_line("rotator Level1: tracking AO-16", 20s)) << log;
    (*helmo)->stop(10s);
    fs::remove_all(dir);
}

} // namespace
} // namespace orva::tools

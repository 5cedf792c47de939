#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

#include "platform/store/store.h"
#include "station/radio/hamlib_driver.h"
#include "station/tests/rig_peers.h"

using namespace orva;
using namespace orva::station;
using namespace orva::station::testing;
namespace fs = std::filesystem;

namespace {
fs::path scratch(const std::string& what)
{
    fs::path d = fs::temp_directory_path() / ("orva-" + what + "-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
}

// The dummy rotator moves at a few degrees a second: wait until it stands where it was sent.
bool rotator_reaches(HamlibDaemon& rot, double az, double el, double within = 1)
{
    for (int i = 0; i < 200; ++i) {
        auto p = rot.ask("p", 2);
        if (p.size() == 2 && std::fabs(std::atof(p[0].c_str()) - az) <= within &&
            std::fabs(std::atof(p[1].c_str()) - el) <= within)
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}
} // namespace

TEST(HamlibDriver, ConfigurationKeyRoundTrip)
{
    fs::path dir = scratch("hamlib-config");
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    HamlibConfig c = read_hamlib_config(*store); // defaults: the network models on loopback
    EXPECT_EQ(c.rotator_model, 2u);
    EXPECT_EQ(c.radio_model, 2u);
    c.rotator_model = 601;
    c.rotator_device = "/dev/ttyUSB1";
    c.rotator_speed = 9600;
    c.radio_device = "127.0.0.1:4999";
    ASSERT_TRUE(write_hamlib_config(*store, c).ok());
    HamlibConfig back = read_hamlib_config(*store);
    EXPECT_EQ(back.rotator_model, 601u);
    EXPECT_EQ(back.rotator_device, "/dev/ttyUSB1");
    EXPECT_EQ(back.rotator_speed, 9600u);
    EXPECT_EQ(back.radio_device, "127.0.0.1:4999");
    fs::remove_all(dir);
}

TEST(HamlibDriver, ModelListsNameTheNetworkModels)
{
    auto rots = hamlib_rotator_models();
    auto rigs = hamlib_rig_models();
    auto has = [](const std::vector<HamlibModel>& v, std::uint32_t n) {
        return std::any_of(v.begin(), v.end(), [&](auto& m) { return m.number == n; });
    };
    EXPECT_TRUE(has(rots, 1) && has(rots, 2));
    EXPECT_TRUE(has(rigs, 1) && has(rigs, 2));
}

TEST(HamlibDriver, RotatorAndSplitRadioThroughTheDaemons)
{
    fs::path dir = scratch("hamlib-driver");
    HamlibDaemon rot("/usr/bin/rotctld", dir / "rotctld.log");
    HamlibDaemon rig("/usr/bin/rigctld", dir / "rigctld.log");
    HamlibConfig c;
    c.rotator_device = rot.address();
    c.radio_device = rig.address();
    HamlibDriver driver(c);
    ASSERT_TRUE(driver_ok(driver.rotor_open())) << driver.last_error();
    driver.rotor_set_position(12, 7, 0);
    EXPECT_TRUE(rotator_reaches(rot, 12, 7, 0.05));
    auto pos = driver.rotor_get_position();
    ASSERT_TRUE(pos);
    EXPECT_EQ(pos->first, 12);
    EXPECT_EQ(pos->second, 7);

    ASSERT_TRUE(driver_ok(driver.radio_open(0x0102))) << driver.last_error();
    driver.radio_set_mode(2, 1, 0);
    driver.radio_set_frequency(435'807'268, 145'897'567, 0);
    EXPECT_EQ(rig.ask("f", 1), std::vector<std::string>{"435807268"});
    EXPECT_EQ(rig.ask("i", 1), std::vector<std::string>{"145897567"});
    auto mode = rig.ask("m", 2);
    ASSERT_FALSE(mode.empty());
    EXPECT_EQ(mode[0], "USB");
    // A direction without a usable frequency is left where it is.
    driver.radio_set_frequency(std::nullopt, 145'900'000, 0);
    EXPECT_EQ(rig.ask("f", 1), std::vector<std::string>{"435807268"});
    EXPECT_EQ(rig.ask("i", 1), std::vector<std::string>{"145900000"});
    driver.radio_close();
    driver.rotor_close(0);
    fs::remove_all(dir);
}

TEST(HamlibDriver, DaemonNotRunningFailsAtOnce)
{
    HamlibConfig c;
    c.rotator_device = "127.0.0.1:" + std::to_string(free_loopback_port());
    c.radio_device = "127.0.0.1:" + std::to_string(free_loopback_port());
    HamlibDriver driver(c);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(driver_ok(driver.rotor_open()));
    EXPECT_FALSE(driver_ok(driver.radio_open(0)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_FALSE(driver.last_error().empty());
    EXPECT_FALSE(driver.rotor_get_position());
    driver.rotor_set_position(1, 1, 0); // closed: nothing happens
}

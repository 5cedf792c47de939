#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "common/settings/keys.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "station/modem/dsp_control.h"
#include "station/tests/rig_peers.h"

using namespace orva;
using namespace orva::station;
using namespace orva::station::testing;
namespace fs = std::filesystem;

namespace {
struct DspFixture : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("orva-dspc-" + std::to_string(::getpid()));
    std::optional<platform::Store> store;
    platform::ManualClock clock;
    PtyPeer peer;
    std::string port_path;
    std::vector<std::pair<std::string, std::string>> warnings;
    std::string key = std::string(settings::keys::satellites) + "\\AO-16";

    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok());
        store.emplace(std::move(*s));
        port_path = peer.path();
        ASSERT_TRUE(store->write_string(key, "Name", "AO-16").ok());
        ASSERT_TRUE(store->write_integer(key, "Port", 1).ok());
        ASSERT_TRUE(store->write_integer(key, "Speed", 9600).ok());
    }
    void TearDown() override { fs::remove_all(dir); }
    std::unique_ptr<DspModemControl> make()
    {
        DspHooks h;
        h.warn = [this](const std::string& t, const std::string& c) { warnings.emplace_back(t, c); };
        h.open_port = [this](std::uint32_t, std::uint32_t speed) {
            platform::SerialSettings s;
            s.speed = speed;
            return platform::open_serial_port(port_path, s);
        };
        return std::make_unique<DspModemControl>(clock.timers(), *store, h);
    }
};
} // namespace

TEST_F(DspFixture, Dsp2232GetsOneCommandLine)
{
    ASSERT_TRUE(store->write_integer(key, "TNC Type", 4).ok());
    ASSERT_TRUE(store->write_string_bytes(key, "DSP Mode", "9600").ok());
    auto modem = make();
    modem->configure("ao-16");
    EXPECT_FALSE(modem->ready());
    ASSERT_TRUE(peer.wait_for("\rMODEM 9600\r"));
    clock.advance(std::chrono::milliseconds(599));
    EXPECT_FALSE(modem->ready());
    clock.advance(std::chrono::milliseconds(1));
    EXPECT_TRUE(modem->ready());
    EXPECT_EQ(peer.received(), "\rMODEM 9600\r");
}

TEST_F(DspFixture, OneCharacterModeNeedsNothing)
{
    ASSERT_TRUE(store->write_integer(key, "TNC Type", 4).ok());
    ASSERT_TRUE(store->write_string_bytes(key, "DSP Mode", "9").ok());
    auto modem = make();
    modem->configure("AO-16");
    EXPECT_TRUE(modem->ready());
    modem->configure("NOT-THERE");
    EXPECT_TRUE(modem->ready());
}

TEST_F(DspFixture, Dsp12MenuWithPromptAtOnceNeverGetsTheWakeBytes)
{
    ASSERT_TRUE(store->write_integer(key, "TNC Type", 3).ok());
    ASSERT_TRUE(store->write_string_bytes(key, "DSP Mode", "K9").ok());
    auto modem = make();
    modem->configure("AO-16");
    ASSERT_TRUE(peer.wait_for("\x03\x03\x03"));
    peer.mark();
    peer.write("cmd:");
    ASSERT_TRUE(peer.wait_for("Q\r"));
    clock.advance(std::chrono::milliseconds(3000)); // past the wake timer
    peer.mark();
    peer.write("Main Menu\r");
    ASSERT_TRUE(peer.wait_for("K9\r"));
    EXPECT_FALSE(modem->ready());
    clock.advance(std::chrono::milliseconds(800));
    EXPECT_TRUE(modem->ready());
    EXPECT_EQ(peer.received(), "\x03\x03\x03Q\rK9\r");
    EXPECT_TRUE(warnings.empty());
}

TEST_F(DspFixture, Dsp12SilentTimesOutAndThePassGoesOn)
{
    ASSERT_TRUE(store->write_integer(key, "TNC Type", 3).ok());
    ASSERT_TRUE(store->write_string_bytes(key, "DSP Mode", "K9").ok());
    auto modem = make();
    modem->configure("AO-16");
    clock.advance(std::chrono::milliseconds(2500));
    ASSERT_TRUE(peer.wait_for("q\r"));
    clock.advance(std::chrono::milliseconds(7499));
    EXPECT_FALSE(modem->ready());
    clock.advance(std::chrono::milliseconds(1));
    EXPECT_TRUE(modem->ready());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].first, "The DSP port has timed out.");
    EXPECT_EQ(warnings[0].second, "DSP Access Problem");
}

TEST_F(DspFixture, PortThatCannotBeOpened)
{
    ASSERT_TRUE(store->write_integer(key, "TNC Type", 4).ok());
    ASSERT_TRUE(store->write_string_bytes(key, "DSP Mode", "9600").ok());
    port_path = "/nonexistent/tty";
    auto modem = make();
    modem->configure("AO-16");
    EXPECT_TRUE(modem->ready());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].first, "Unable to initialise DSP communications.  Error opening COM port.");
    EXPECT_EQ(warnings[0].second, "DSP Error");
}

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "common/settings/keys.h"
#include "platform/store/store.h"
#include "station/radio/doppler.h"
#include "station/radio/pass_frequencies.h"
#include "station/radio/transverters.h"

using namespace orva;
using namespace orva::station;
namespace fs = std::filesystem;

namespace {
struct StoreFixture : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("orva-radio-" + std::to_string(::getpid()));
    std::optional<platform::Store> store;
    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok());
        store.emplace(std::move(*s));
    }
    void TearDown() override { fs::remove_all(dir); }
    void write_double(const std::string& key, const std::string& name, double v)
    {
        std::uint8_t b[8];
        std::memcpy(b, &v, 8);
        ASSERT_TRUE(store->write_binary(key, name, b).ok());
    }
    void converter(const std::string& name, double start, double finish, double tx_lo, bool tx, double rx_lo, bool rx)
    {
        std::string key = std::string(settings::keys::transverters) + "\\" + name;
        ASSERT_TRUE(store->write_string(key, "Name", name).ok());
        write_double(key, "Start Freq", start);
        write_double(key, "Finish Freq", finish);
        write_double(key, "TX IF", tx_lo);
        write_double(key, "RX IF", rx_lo);
        ASSERT_TRUE(store->write_integer(key, "TX", tx).ok());
        ASSERT_TRUE(store->write_integer(key, "RX", rx).ok());
    }
};
} // namespace

using Transverters = StoreFixture;

TEST_F(Transverters, ReceiveConverterTunesTheRadioToItsIf)
{
    EXPECT_EQ(transverter_offset(*store, 2401.5, Direction::Receive), 0); // no key at all
    converter("S-band", 2400, 2450, 0, false, 2256, true);
    double offset = transverter_offset(*store, 2401.5, Direction::Receive);
    EXPECT_EQ(offset, 2256e6);
    auto radio = downlink_radio_hz(2401.5e6, 0, 0, offset);
    EXPECT_NEAR(*radio, 145.5e6, 1e-3);
    EXPECT_EQ(transverter_offset(*store, 2401.5, Direction::Transmit), 0); // TX box off
    // Both ends are covered.
    EXPECT_EQ(transverter_offset(*store, 2400, Direction::Receive), 2256e6);
    EXPECT_EQ(transverter_offset(*store, 2450, Direction::Receive), 2256e6);
    EXPECT_EQ(transverter_offset(*store, 2450.000001, Direction::Receive), 0);
}

TEST_F(Transverters, RxBoxOffGivesNoOffset)
{
    converter("S-band", 2400, 2450, 0, false, 2256, false);
    EXPECT_EQ(transverter_offset(*store, 2401.5, Direction::Receive), 0);
}

TEST_F(Transverters, FirstCoveringConverterInCreationOrderDecides)
{
    converter("Zeta", 430, 440, 300, false, 0, false); // created first, TX off
    converter("Alpha", 430, 440, 400, true, 0, false);
    EXPECT_EQ(transverter_offset(*store, 435, Direction::Transmit), 0);
    // A key without "Start Freq" is skipped, not taken as covering.
    ASSERT_TRUE(store->create_key(std::string(settings::keys::transverters) + "\\Broken").ok());
    converter("Beta", 140, 150, 116, true, 0, false);
    EXPECT_EQ(transverter_offset(*store, 145.9, Direction::Transmit), 116e6);
}

using Frequencies = StoreFixture;

TEST_F(Frequencies, DefaultsSelectionAndMissingValues)
{
    std::string key = std::string(settings::keys::satellites) + "\\AO-16";
    write_double(key, "Uplink 1", 145.9);
    write_double(key, "Uplink 2", 145.92);
    write_double(key, "Downlink 1", 437.025);
    ASSERT_TRUE(store->write_integer(key, "Default Downlink", 3).ok()); // "Downlink 3" missing
    ASSERT_TRUE(store->write_integer(key, "Uplink Mode", 0).ok());
    auto f = load_pass_frequencies(*store, key);
    EXPECT_EQ(f.uplink_hz, 145.9e6);
    EXPECT_EQ(f.downlink_hz, 0);
    EXPECT_EQ(f.uplink_mode, 0);
    EXPECT_EQ(f.downlink_mode, 2); // missing reads as 2
    EXPECT_FALSE(downlink_radio_hz(f.downlink_hz, 1, 0, 0)); // not 0 Hz on the radio

    EXPECT_TRUE(select_downlink(*store, key, '1', f));
    EXPECT_EQ(f.downlink_hz, 437.025e6);
    EXPECT_TRUE(select_uplink(*store, key, '2', f));
    EXPECT_NEAR(f.uplink_hz, 145.92e6, 1e-6);
    EXPECT_FALSE(select_uplink(*store, key, '5', f));
    EXPECT_FALSE(select_uplink(*store, key, 0, f));
    EXPECT_NEAR(f.uplink_hz, 145.92e6, 1e-6);
}

TEST(RadioCodes, ModeCodesAndBandMask)
{
    const std::uint32_t codes[] = {1, 1, 4097, 2, 4, 8, 4104};
    for (std::uint16_t i = 0; i < 7; ++i)
        EXPECT_EQ(radio_mode_code(i), codes[i]);
    EXPECT_EQ(band_mask(0, 0), 0x0101u); // no converters: both "below 160 MHz"
    EXPECT_EQ(band_mask(116e6, 2256e6), 0x0108u);
    EXPECT_EQ(band_mask(400e6, 1300e6), 0x0204u);
    EXPECT_EQ(band_mask(2450e6, 459.999e6), 0x0002u);
}

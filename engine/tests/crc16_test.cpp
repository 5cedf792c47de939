#include "engine/link/crc16.h"

#include <gtest/gtest.h>

#include <string_view>

namespace orva::engine {
namespace {

std::span<const std::uint8_t> bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Check values of the published catalogue of CRC-16 parameter sets.
TEST(Crc16, CheckValuesOfTheStandardTestString) {
    EXPECT_EQ(crc16_arc(bytes("123456789")), 0xBB3D);
    EXPECT_EQ(crc16_xmodem(bytes("123456789")), 0x31C3);
    EXPECT_EQ(crc16_arc({}), 0);
    EXPECT_EQ(crc16_xmodem({}), 0);
}

TEST(Crc16, ABlockFollowedByItsCrcSumsToZero) {
    std::vector<std::uint8_t> b(bytes("123456789").begin(), bytes("123456789").end());
    auto x = b;
    x.push_back(0x31); // XMODEM: high byte first
    x.push_back(0xC3);
    EXPECT_EQ(crc16_xmodem(x), 0);
    auto a = b;
    a.push_back(0x3D); // ARC: low byte first
    a.push_back(0xBB);
    EXPECT_EQ(crc16_arc(a), 0);
    // Chaining gives the same as one pass.
    EXPECT_EQ(crc16_arc(std::span(b).subspan(4), crc16_arc(std::span(b).first(4))), 0xBB3D);
}

} // namespace
} // namespace orva::engine

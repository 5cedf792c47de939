#include "engine/link/crc16.h"

#include <array>

namespace orva::engine {
namespace {

constexpr std::array<std::uint16_t, 256> make_arc_table() {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t c = std::uint16_t(i);
        for (int k = 0; k < 8; ++k) c = (c & 1) ? std::uint16_t((c >> 1) ^ 0xA001) : std::uint16_t(c >> 1);
        t[i] = c;
    }
    return t;
}

constexpr std::array<std::uint16_t, 256> make_xmodem_table() {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t c = std::uint16_t(i << 8);
        for (int k = 0; k < 8; ++k) c = (c & 0x8000) ? std::uint16_t((c << 1) ^ 0x1021) : std::uint16_t(c << 1);
        t[i] = c;
    }
    return t;
}

constexpr auto kArc = make_arc_table();
constexpr auto kXmodem = make_xmodem_table();

} // namespace

std::uint16_t crc16_arc(std::span<const std::uint8_t> bytes, std::uint16_t crc) {
    for (auto b : bytes) crc = std::uint16_t((crc >> 8) ^ kArc[(crc ^ b) & 0xFF]);
    return crc;
}

std::uint16_t crc16_xmodem(std::span<const std::uint8_t> bytes, std::uint16_t crc) {
    for (auto b : bytes) crc = std::uint16_t((crc << 8) ^ kXmodem[((crc >> 8) ^ b) & 0xFF]);
    return crc;
}

} // namespace orva::engine

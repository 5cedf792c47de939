// The two CRC-16s of the link: SMACK's (CRC-16/ARC, reflected 0x8005) over a KISS frame, and the
// PACSAT broadcast CRC (CRC-16/XMODEM, 0x1021 MSB first) over an information field. Both start
// at 0 with no final XOR, so a block followed by its own CRC sums to 0.
#pragma once

#include <cstdint>
#include <span>

namespace orva::engine {

std::uint16_t crc16_arc(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);
std::uint16_t crc16_xmodem(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);

} // namespace orva::engine

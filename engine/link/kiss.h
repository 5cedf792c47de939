// KISS framing constants and the fixed byte strings the TNC is sent.
#pragma once

#include <array>
#include <cstdint>

namespace orva::engine::kiss {

inline constexpr std::uint8_t kFend = 0xC0;
inline constexpr std::uint8_t kFesc = 0xDB;
inline constexpr std::uint8_t kTfend = 0xDC;
inline constexpr std::uint8_t kTfesc = 0xDD;

inline constexpr std::uint8_t kData = 0;
inline constexpr std::uint8_t kTxDelay = 1;
inline constexpr std::uint8_t kTxTail = 4;
inline constexpr std::uint8_t kFullDuplex = 5;
inline constexpr std::uint8_t kReturn = 0xFF;
inline constexpr std::uint8_t kSmackFlag = 0x80;

// Largest frame the receiver reassembles (command byte included).
inline constexpr std::size_t kMaxFrame = 2043;

// Leaves KISS mode: FEND, "return", FEND, carriage return.
inline constexpr std::array<std::uint8_t, 4> kExitFrame = {0xC0, 0xFF, 0xC0, 0x0D};
// Full duplex on, port 0: sent when the first frame of a session is heard.
inline constexpr std::array<std::uint8_t, 4> kFullDuplexOn = {0xC0, 0x05, 0x01, 0xC0};

} // namespace orva::engine::kiss

// SHA-256 (FIPS 180-4), for checking that a file arrived byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace orva::tools {

std::array<std::uint8_t, 32> sha256(std::span<const std::uint8_t> bytes);
// Lower-case hexadecimal, 64 characters.
std::string sha256_hex(std::span<const std::uint8_t> bytes);

} // namespace orva::tools

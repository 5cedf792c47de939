// The hole-list file "%lX.HOL": a flag block, the file length, the count and the holes. Anything
// that cannot be read from it counts as still missing, never as received.
#pragma once

#include "engine/files/hole_list.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orva::engine {

inline constexpr std::uint32_t kMaxFileHoles = 5000;

struct HoleFile {
    bool length_from_header = false;
    std::uint32_t length = 0; // 0: unknown
    HoleList holes;
};

struct HoleFileLoad {
    HoleFile file;
    // "Error reading %lX.HOL": fewer holes than the count; what follows the last hole read is
    // missing again.
    bool short_file = false;
    // Count outside 1..5000, or nothing usable: the file starts again from one open hole.
    bool ignored = false;
};

HoleFileLoad decode_hole_file(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> encode_hole_file(const HoleFile& file);

} // namespace orva::engine

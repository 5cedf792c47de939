// Chooses which holes of a file go into one fill request: the walking order, long holes cut to
// what one request may ask for, the byte budget and the hole limit.
#pragma once

#include "engine/frames/request_frames.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orva::engine {

// [start, end) in bytes; the open-ended last hole ends at kOpenEnd.
struct FileHole {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
};
inline constexpr std::uint32_t kOpenEnd = 0x7FFFFFFF;

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Uniform in 0 .. n-1.
    virtual std::uint32_t below(std::uint32_t n) = 0;
};

struct FillOptions {
    std::size_t max_holes = 10;            // "Max Holes"
    bool zero_start = false;               // "Zero Start"
    bool length_known = false;
    std::optional<std::uint32_t> byte_budget{}; // set by the tail message
};

// Only the initial hole that covers everything: ask for the whole file instead.
bool wants_whole_file(std::span<const FileHole> holes);

// At most min("Max Holes", what fits in one frame) holes; none when "Max Holes" is 0.
std::vector<FileHoleRequest> plan_file_fill(std::span<const FileHole> holes, const FillOptions& options,
                                            RandomSource& random);

} // namespace orva::engine

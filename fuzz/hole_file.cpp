// The ".HOL" loader: whatever the bytes, the list is sorted, never overlapping, and a file that
// cannot be read whole never claims more than it read.
#include "engine/files/hole_file.h"

#include <cstdlib>

using namespace orva::engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto loaded = decode_hole_file(std::span(data, size));
    const auto holes = loaded.file.holes.holes();
    if (holes.empty())
        std::abort();
    for (std::size_t i = 0; i < holes.size(); ++i) {
        if (holes[i].start >= holes[i].end)
            std::abort();
        if (i > 0 && holes[i].start < holes[i - 1].end)
            std::abort();
    }
    if (loaded.file.length != 0 && holes.back().end > loaded.file.length)
        std::abort();
    if (loaded.file.length == 0 && holes.back().end != kOpenEnd && !loaded.ignored)
        std::abort();
    // What is written back reads back the same.
    const auto again = decode_hole_file(encode_hole_file(loaded.file));
    if (again.file.holes.count() != holes.size() || again.short_file)
        std::abort();
    return 0;
}

// The information field of a directory broadcast.
#include "engine/frames/broadcast_frames.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> field(data, size);
    for (bool checked : {false, true}) {
        const auto d = orva::engine::decode_directory_fragment(field, checked);
        if (!d.ok()) continue;
        const auto& f = d.fragment;
        if (f.data.data() != data + 17 || f.data.size() + 19 != size) std::abort();
    }
    return 0;
}

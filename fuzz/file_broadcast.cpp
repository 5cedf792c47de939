// The information field of a file broadcast: the data handed on must lie inside the field and
// within "Bdcst Frame".
#include "engine/frames/broadcast_frames.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> field(data, size);
    for (bool checked : {false, true}) {
        const auto d = orva::engine::decode_file_fragment(field, 244, checked);
        if (!d.ok()) continue;
        const auto& f = d.fragment;
        if (f.data.size() > 244) std::abort();
        if (f.data.data() < data + 9 || f.data.data() + f.data.size() > data + size - 2) std::abort();
        if (f.offset > 0xFFFFFF) std::abort();
    }
    return 0;
}

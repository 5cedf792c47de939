// KISS/SMACK receive path: any byte stream, fed whole and in pieces, must give the same frames
// and never overrun the reassembly buffer.
#include "engine/link/kiss_decoder.h"

#include <cstdlib>
#include <vector>

namespace {

struct Collect : orva::engine::KissSink {
    std::vector<std::vector<std::uint8_t>> frames;
    void on_kiss_frame(std::uint8_t, std::span<const std::uint8_t> f) override { frames.emplace_back(f.begin(), f.end()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool smack = data[0] & 1;
    const std::size_t piece = 1 + (data[0] >> 1);
    std::span<const std::uint8_t> bytes(data + 1, size - 1);

    orva::engine::KissDecoder whole(smack);
    Collect a;
    whole.feed(bytes, a);

    orva::engine::KissDecoder split(smack);
    Collect b;
    for (std::size_t i = 0; i < bytes.size(); i += piece) split.feed(bytes.subspan(i, std::min(piece, bytes.size() - i)), b);

    if (a.frames != b.frames) std::abort();
    for (const auto& f : a.frames)
        if (f.size() >= orva::engine::kiss::kMaxFrame) std::abort();
    return 0;
}

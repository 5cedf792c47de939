// Server answers of the FTL0 upload protocol, as they arrive in I frames.
#include "engine/upload/ftl0_packet.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orva::engine::ftl0;
    const auto a = parse_server_answer(std::span(data, size));
    using K = ServerAnswer::Kind;
    if (a.kind != K::Invalid) {
        const std::size_t length = std::size_t(data[0]) | (std::size_t(data[1] & 0xE0) << 3);
        if (length + 2 != size) std::abort();
        if (a.kind == K::Go && size < 10) std::abort();
        if (a.kind == K::Login && size < 7) std::abort();
        if ((a.kind == K::Error || a.kind == K::Nak) && size < 3) std::abort();
    }
    // What we build reads back as itself.
    if (size <= kMaxData) {
        const auto p = encode_packet(kUploadAck, std::span(data, size));
        if (parse_server_answer(p).kind == K::Invalid) std::abort();
    }
    return 0;
}

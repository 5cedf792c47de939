#include "engine/upload/ftl0_packet.h"

#include <algorithm>

namespace orva::engine::ftl0 {
namespace {
std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
} // namespace

std::vector<std::uint8_t> encode_packet(std::uint8_t type, std::span<const std::uint8_t> data) {
    const std::size_t n = std::min(data.size(), kMaxData);
    std::vector<std::uint8_t> out;
    out.reserve(2 + n);
    out.push_back(std::uint8_t(n & 0xFF));
    out.push_back(std::uint8_t((type & 0x1F) | ((n >> 3) & 0xE0)));
    out.insert(out.end(), data.begin(), data.begin() + std::ptrdiff_t(n));
    return out;
}

std::vector<std::uint8_t> upload_command(std::uint32_t file_number, std::uint32_t file_length) {
    std::vector<std::uint8_t> data;
    put32(data, file_number);
    put32(data, file_length);
    return encode_packet(kUploadCommand, data);
}

ServerAnswer parse_server_answer(std::span<const std::uint8_t> p) {
    ServerAnswer a;
    if (p.size() < 2) return a;
    const std::size_t length = std::size_t(p[0]) | (std::size_t(p[1] & 0xE0) << 3);
    if (length != p.size() - 2) return a;
    a.type = p[1] & 0x1F;
    const auto d = p.subspan(2);
    switch (a.type) {
    case kLoginResponse:
        if (d.size() < 5) return a;
        a.login_time = le32(d, 0);
        a.flags = d[4];
        a.kind = ServerAnswer::Kind::Login;
        break;
    case kUploadGo:
        if (d.size() < 8) return a;
        a.file_number = le32(d, 0);
        a.offset = le32(d, 4);
        a.kind = ServerAnswer::Kind::Go;
        break;
    case kUploadError:
    case kUploadNak:
        if (d.size() < 1) return a;
        a.code = d[0];
        a.kind = a.type == kUploadError ? ServerAnswer::Kind::Error : ServerAnswer::Kind::Nak;
        break;
    case kUploadAck: a.kind = ServerAnswer::Kind::Ack; break;
    default: a.kind = ServerAnswer::Kind::Other; break;
    }
    return a;
}

} // namespace orva::engine::ftl0

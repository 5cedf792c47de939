#include "engine/frames/request_frames.h"

#include <algorithm>

namespace orva::engine {
namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v & 0xFF));
    out.push_back(std::uint8_t((v >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}

} // namespace

std::vector<std::uint8_t> file_request_whole(std::uint32_t file_number, std::uint16_t block_size) {
    std::vector<std::uint8_t> out{kRequestWholeFile};
    put32(out, file_number);
    put16(out, block_size);
    return out;
}

std::vector<std::uint8_t> file_request_holes(std::uint32_t file_number, std::uint16_t block_size,
                                             std::span<const FileHoleRequest> holes) {
    std::vector<std::uint8_t> out{kRequestHoles};
    put32(out, file_number);
    put16(out, block_size);
    for (const auto& h : holes.first(std::min(holes.size(), kMaxFileHolesPerRequest))) {
        put16(out, h.offset);
        out.push_back(std::uint8_t((h.offset >> 16) & 0xFF));
        put16(out, h.length);
    }
    return out;
}

std::vector<std::uint8_t> directory_request(std::uint16_t block_size, std::span<const DirectoryHoleRequest> holes) {
    if (holes.empty()) return {};
    std::vector<std::uint8_t> out{kRequestDirectory};
    put16(out, block_size);
    for (const auto& h : holes.first(std::min(holes.size(), kMaxDirectoryHolesPerRequest))) {
        put32(out, h.start);
        put32(out, h.end);
    }
    return out;
}

std::vector<std::uint8_t> receive_ack(std::uint32_t file_number, std::string_view callsign) {
    std::vector<std::uint8_t> out{kReceiveAck, 0, 0};
    put32(out, file_number);
    const auto call = callsign.substr(0, 6);
    out.insert(out.end(), call.begin(), call.end());
    return out;
}

} // namespace orva::engine

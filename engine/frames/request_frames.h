// The information fields of what Brek sends to the broadcast server: file and directory fill
// requests and the receive acknowledgement. Each UI frame stays within 350 bytes in all.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace orva::engine {

struct FileHoleRequest {
    std::uint32_t offset = 0; // 24 bits on the air
    std::uint16_t length = 0;
};

struct DirectoryHoleRequest {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
};

inline constexpr std::uint8_t kRequestWholeFile = 0x10;
inline constexpr std::uint8_t kRequestHoles = 0x12;
inline constexpr std::uint8_t kRequestDirectory = 0x10;
inline constexpr std::uint8_t kReceiveAck = 0x11;

// Addresses (14), control and PID leave 334 bytes: 7 of request header and 5 per hole.
inline constexpr std::size_t kMaxFileHolesPerRequest = 65;
inline constexpr std::size_t kMaxDirectoryHolesPerRequest = 10;

std::vector<std::uint8_t> file_request_whole(std::uint32_t file_number, std::uint16_t block_size);
// At most kMaxFileHolesPerRequest holes are written; the rest are left for the next request.
std::vector<std::uint8_t> file_request_holes(std::uint32_t file_number, std::uint16_t block_size,
                                             std::span<const FileHoleRequest> holes);
// At most ten holes; none gives an empty field (nothing to send).
std::vector<std::uint8_t> directory_request(std::uint16_t block_size, std::span<const DirectoryHoleRequest> holes);
// 0x11, two zero bytes, the file number and up to six characters of the callsign.
std::vector<std::uint8_t> receive_ack(std::uint32_t file_number, std::string_view callsign);

} // namespace orva::engine

// FTL0 packets, one per I frame: byte 0 the data length (low 8 bits), byte 1 the type in bits
// 0-4 and length bits 8-10 in bits 5-7, then the data. Server answers are read strictly: a length
// that disagrees with the frame, or data shorter than the answer's layout, is not an answer.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace orva::engine::ftl0 {

enum Type : std::uint8_t {
    kData = 0,
    kDataEnd = 1,
    kLoginResponse = 2,
    kUploadCommand = 3,
    kUploadGo = 4,
    kUploadError = 5,
    kUploadAck = 6,
    kUploadNak = 7,
};

inline constexpr std::size_t kMaxData = 2047;

std::vector<std::uint8_t> encode_packet(std::uint8_t type, std::span<const std::uint8_t> data);
std::vector<std::uint8_t> upload_command(std::uint32_t file_number, std::uint32_t file_length);

struct ServerAnswer {
    enum class Kind : std::uint8_t { Invalid, Login, Go, Error, Ack, Nak, Other };
    Kind kind = Kind::Invalid;
    std::uint8_t type = 0xFF;
    std::uint32_t login_time = 0;
    std::uint8_t flags = 0;
    std::uint32_t file_number = 0;
    std::uint32_t offset = 0;
    std::uint8_t code = 0;
};

ServerAnswer parse_server_answer(std::span<const std::uint8_t> packet);

} // namespace orva::engine::ftl0

#include "engine/frames/broadcast_frames.h"

#include "engine/link/crc16.h"

namespace orva::engine {
namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// Bounds first: a tiny field would otherwise pass the CRC (which is 0 over nothing).
BroadcastFault check_field(std::span<const std::uint8_t> field, std::size_t header, bool crc_checked) {
    if (field.size() >= kMaxBroadcastField) return BroadcastFault::TooLong;
    if (field.size() < header + kCrcBytes) return BroadcastFault::TooShort;
    if (!crc_checked && !broadcast_crc_ok(field)) return BroadcastFault::BadCrc;
    return BroadcastFault::None;
}

} // namespace

bool broadcast_crc_ok(std::span<const std::uint8_t> field) {
    return field.size() >= kCrcBytes && crc16_xmodem(field) == 0;
}

void append_broadcast_crc(std::span<const std::uint8_t> body, std::uint8_t out[2]) {
    const std::uint16_t crc = crc16_xmodem(body);
    out[0] = std::uint8_t(crc >> 8);
    out[1] = std::uint8_t(crc & 0xFF);
}

Decoded<FileFragment> decode_file_fragment(std::span<const std::uint8_t> field, std::uint32_t max_data,
                                           bool crc_checked) {
    Decoded<FileFragment> d;
    d.fault = check_field(field, kFileHeader, crc_checked);
    if (!d.ok()) return d;
    FileFragment& f = d.fragment;
    const std::uint8_t* p = field.data();
    f.flags = p[0];
    f.file_number = le32(p + 1);
    f.file_type = p[5];
    f.offset = std::uint32_t(p[6]) | std::uint32_t(p[7]) << 8 | std::uint32_t(p[8]) << 16;
    // Flags bit 1 is not looked at: servers in service leave it clear on every data frame.
    const std::size_t room = field.size() - kFileHeader - kCrcBytes;
    std::size_t start = kFileHeader;
    std::size_t n = room;
    if (f.has_length_field()) {
        // The length field takes two bytes of the room and must describe data that fits in the rest.
        if (room < 2) {
            d.fault = BroadcastFault::BadLength;
            return d;
        }
        n = std::size_t(p[9] | p[10] << 8) >> 3;
        start = kFileHeader + 2;
        if (n > room - 2) {
            d.fault = BroadcastFault::BadLength;
            return d;
        }
    }
    if (n > max_data) {
        d.fault = BroadcastFault::BadLength;
        return d;
    }
    f.data = field.subspan(start, n);
    return d;
}

Decoded<DirectoryFragment> decode_directory_fragment(std::span<const std::uint8_t> field, bool crc_checked) {
    Decoded<DirectoryFragment> d;
    d.fault = check_field(field, kDirHeader, crc_checked);
    if (!d.ok()) return d;
    DirectoryFragment& f = d.fragment;
    const std::uint8_t* p = field.data();
    f.flags = p[0];
    f.file_number = le32(p + 1);
    f.offset = le32(p + 5);
    f.t_old = le32(p + 9);
    f.t_new = le32(p + 13);
    f.data = field.subspan(kDirHeader, field.size() - kDirHeader - kCrcBytes);
    return d;
}

} // namespace orva::engine

// The information fields of PACSAT broadcasts (file and directory fragments), checked before any
// arithmetic: length bounds first, then the CRC, then the fragment's own length field.
#pragma once

#include <cstdint>
#include <span>

namespace orva::engine {

enum class BroadcastFault : std::uint8_t {
    None,
    TooShort,  // shorter than the fixed header and CRC
    TooLong,   // 512 bytes or more
    BadCrc,
    NotData,   // no longer given: servers send data frames with flags bit 1 clear
    BadLength, // the length field does not fit the field, or exceeds "Bdcst Frame"
};

inline constexpr std::size_t kMaxBroadcastField = 512; // this long or longer: dropped
inline constexpr std::size_t kFileHeader = 9;
inline constexpr std::size_t kDirHeader = 17;
inline constexpr std::size_t kCrcBytes = 2;
// Servers answer fills in chunks of their own size (191 bytes is common) whatever block size the
// request asked for: data up to this long is taken even above "Bdcst Frame".
inline constexpr std::uint32_t kServerChunkAllowance = 256;

struct FileFragment {
    std::uint8_t flags = 0;
    std::uint32_t file_number = 0;
    std::uint8_t file_type = 0;
    std::uint32_t offset = 0; // 24 bits
    std::span<const std::uint8_t> data;

    bool has_length_field() const { return flags & 0x01; }
    bool ends_file() const { return flags & 0x20; }
};

struct DirectoryFragment {
    std::uint8_t flags = 0;
    std::uint32_t file_number = 0;
    std::uint32_t offset = 0;
    std::uint32_t t_old = 0;
    std::uint32_t t_new = 0;
    std::span<const std::uint8_t> data; // a piece of the file's PACSAT header

    bool type_error() const { return flags & 0x03; } // "DIR Processing - type error"
    bool ends_header() const { return flags & 0x20; }
    bool newest() const { return flags & 0x40; }
};

template <class T>
struct Decoded {
    BroadcastFault fault = BroadcastFault::None;
    T fragment{};
    bool ok() const { return fault == BroadcastFault::None; }
};

// True when the field, its CRC bytes (high byte first) included, checks to 0.
bool broadcast_crc_ok(std::span<const std::uint8_t> field);

// `max_data`: no fragment may carry more (the receive path passes the larger of "Bdcst Frame"
// and kServerChunkAllowance).
// With `crc_checked` the caller has already checked the CRC of this field.
Decoded<FileFragment> decode_file_fragment(std::span<const std::uint8_t> field, std::uint32_t max_data,
                                           bool crc_checked = false);
Decoded<DirectoryFragment> decode_directory_fragment(std::span<const std::uint8_t> field, bool crc_checked = false);

// Appends the broadcast CRC, high byte first (for our test satellite and the tests).
void append_broadcast_crc(std::span<const std::uint8_t> body, std::uint8_t out[2]);

} // namespace orva::engine

// The PACSAT header at the front of a completed download, read the way the mail processor reads
// it: item by item until the terminating item or the end of the bytes, a wrong header checksum
// only noted. Every byte is from the air: nothing here trusts a length or a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace orva::mailproc {

struct DownloadHeader {
    bool magic_ok = false;
    bool terminated = false;         // the id 0, length 0 item was reached
    std::size_t length = 0;          // bytes walked, magic included: what the header copy holds
    std::uint16_t computed_checksum = 0;

    std::optional<std::uint32_t> file_number;
    std::optional<std::string> name;      // item 2, at most 8 characters
    std::optional<std::string> extension; // item 3, at most 3 characters
    std::optional<std::uint32_t> file_size;
    std::optional<std::uint8_t> file_type;
    std::optional<std::uint16_t> body_checksum;
    std::optional<std::uint16_t> header_checksum;
    std::optional<std::uint16_t> body_offset;
    std::optional<std::uint8_t> compression;
    std::string source, destination; // upper-cased
    std::string title, keywords;
    std::optional<std::string> user_file_name; // item 38, at most 150 characters

    // A missing item 10 counts as 0, as in a header that never set it.
    bool checksum_ok() const { return header_checksum.value_or(0) == computed_checksum; }
    // Item 11, or the walked length when the header has none.
    std::size_t body_start() const { return body_offset ? *body_offset : length; }
};

// Longest header worth walking: the body offset is 16 bits, so a longer one is never valid.
inline constexpr std::size_t max_header_bytes = 65536 + 258;

DownloadHeader read_download_header(std::span<const std::uint8_t> bytes);

} // namespace orva::mailproc

// PACSAT file header: the item-coded header that starts every file on the satellite. Shared by the
// engine (directory entries, file-size sniffing), the directory viewer and the mail processor.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orva::pfh {

// Item ids the suite reads or writes. Only the low byte of an id on the air is significant.
enum ItemId : std::uint8_t {
    kEnd = 0,
    kFileNumber = 1,
    kFileName = 2,
    kFileExt = 3,
    kFileSize = 4,
    kCreateTime = 5,
    kLastModifiedTime = 6,
    kSeuFlag = 7,
    kFileType = 8,
    kBodyChecksum = 9,
    kHeaderChecksum = 10,
    kBodyOffset = 11,
    kSource = 16,
    kAx25Uploader = 17,
    kUploadTime = 18,
    kDownloadCount = 19,
    kDestination = 20,
    kAx25Downloader = 21,
    kDownloadTime = 22,
    kExpireTime = 23,
    kPriority = 24,
    kCompression = 25,
    kTitle = 34,
    kKeywords = 35,
    kUserFileName = 38,
    kGatewayHoles = 40,
};

inline constexpr std::uint8_t kMagic0 = 0xAA;
inline constexpr std::uint8_t kMagic1 = 0x55;

// An item the suite does not interpret, kept so that a header can be rebuilt byte for byte.
struct RawItem {
    std::uint16_t id = 0;
    std::vector<std::uint8_t> value;
};

// One entry of item 40: a blank-padded callsign and the body offset of that station's part.
struct GatewayEntry {
    std::string callsign; // 6 characters as on the air, blanks kept
    std::uint32_t offset = 0;
};

struct PfhHeader {
    std::uint32_t file_number = 0;
    std::optional<std::string> file_name; // item 2, 8 characters, blank padded
    std::optional<std::string> file_ext;  // item 3
    std::optional<std::uint32_t> file_size;
    std::optional<std::uint32_t> create_time;
    std::optional<std::uint8_t> file_type;
    std::optional<std::uint16_t> body_checksum;
    std::optional<std::uint16_t> header_checksum;
    std::optional<std::uint16_t> body_offset;
    std::optional<std::string> source;
    std::optional<std::string> ax25_uploader;
    std::optional<std::uint32_t> upload_time;
    std::optional<std::uint8_t> download_count;
    std::optional<std::string> destination;
    std::optional<std::uint32_t> expire_time;
    std::optional<std::uint8_t> compression_type;
    std::optional<std::string> title;
    std::optional<std::string> keywords;
    std::optional<std::string> user_file_name;
    std::optional<std::vector<GatewayEntry>> gateway_holes;
    std::vector<RawItem> other_items; // in the order read

    // Bytes from the first magic byte up to and including the terminating item.
    std::size_t header_length = 0;

    // Item 38 when present (shown whole by the engine), else item 2.
    std::string display_name() const;
};

struct ParseOptions {
    // The viewer skips the check for entries handed over by the engine; the mail processor
    // only logs a mismatch and reads on.
    bool check_header_checksum = true;
    // A file waiting for upload carries file number 0 until the server gives it one.
    bool allow_zero_file_number = false;
};

// Parses a header from the start of `bytes` (a directory entry, or a whole file). Bad magic,
// an item running past the data, a missing terminator, a zero or absent file number, a
// numeric item of the wrong size, a repeated item or a checksum mismatch all fail.
Result<PfhHeader> parse_pfh(std::span<const std::uint8_t> bytes, ParseOptions options = {});

// The sum item 10 must hold, over a header that ends with its terminating item. Fails on the
// same structural faults as parse_pfh.
Result<std::uint16_t> compute_header_checksum(std::span<const std::uint8_t> header);

// 16-bit sum of the body bytes (item 9).
std::uint16_t body_checksum(std::span<const std::uint8_t> body);

} // namespace orva::pfh

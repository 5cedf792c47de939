// The one layout an upload's PACSAT header may have: the mandatory items 1 to 11, all of them, then
// the uploaded message's items 0x10 to 0x18, each in this order and at these lengths, then any
// optional items. A server in service does not parse an upload when it files it: it writes the
// file number, the upload time and the header checksum at the byte offsets of this layout. A header
// laid out any other way is filed with those bytes over other items and its checksum broken.
//
// Everything the suite puts in an upload queue file is built here, and the engine checks a queued
// file here before it offers it to the server.
#pragma once

#include "common/pfh/pfh.h"
#include "platform/result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orva::pfh {

// One item of the fixed part; `length` 0 is a text of 1 to kMaxAddressText bytes.
struct LayoutItem {
    std::uint8_t id;
    std::uint8_t length;
    const char* name;
};

inline constexpr std::size_t kMaxAddressText = 32; // source and destination
inline constexpr std::size_t kItemHead = 3;        // id (2) and length (1) before each value

inline constexpr std::array<LayoutItem, 20> kUploadLayout{{
    {kFileNumber, 4, "file number"},
    {kFileName, 8, "file name"},
    {kFileExt, 3, "file extension"},
    {kFileSize, 4, "file size"},
    {kCreateTime, 4, "create time"},
    {kLastModifiedTime, 4, "last modified time"},
    {kSeuFlag, 1, "SEU flag"},
    {kFileType, 1, "file type"},
    {kBodyChecksum, 2, "body checksum"},
    {kHeaderChecksum, 2, "header checksum"},
    {kBodyOffset, 2, "body offset"},
    {kSource, 0, "source"},
    {kAx25Uploader, 6, "AX.25 uploader"},
    {kUploadTime, 4, "upload time"},
    {kDownloadCount, 1, "download count"},
    {kDestination, 0, "destination"},
    {kAx25Downloader, 6, "AX.25 downloader"},
    {kDownloadTime, 4, "download time"},
    {kExpireTime, 4, "expire time"},
    {kPriority, 1, "priority"},
}};

// Where item `id` of the fixed part starts (its id bytes), given the lengths of the source and
// destination texts. Items after the source move with its length, those after the destination
// with both.
constexpr std::size_t upload_item_at(std::uint8_t id, std::size_t source_length, std::size_t destination_length = 0)
{
    std::size_t at = 2; // after 0xAA 0x55
    for (const LayoutItem& item : kUploadLayout) {
        if (item.id == id)
            return at;
        const std::size_t length =
            item.length ? item.length : (item.id == kSource ? source_length : destination_length);
        at += kItemHead + length;
    }
    return 0;
}

// The offsets a server writes at.
inline constexpr std::size_t kFileNumberItemAt = upload_item_at(kFileNumber, 0);
inline constexpr std::size_t kHeaderChecksumItemAt = upload_item_at(kHeaderChecksum, 0);
inline constexpr std::size_t kBodyOffsetItemAt = upload_item_at(kBodyOffset, 0);
inline constexpr std::size_t kSourceItemAt = upload_item_at(kSource, 0);
constexpr std::size_t upload_time_item_at(std::size_t source_length) { return upload_item_at(kUploadTime, source_length); }
static_assert(kFileNumberItemAt == 2 && kHeaderChecksumItemAt == 60 && kBodyOffsetItemAt == 65 && kSourceItemAt == 70);
static_assert(upload_time_item_at(0) == 82);

// An uploaded message's header. The file number and the upload time go up as 0 (the server
// gives both); file size, body checksum, header checksum and body offset are computed.
struct UploadHeaderFields {
    std::string file_name;        // up to 8 characters, blank padded
    std::string file_ext;         // up to 3 characters, blank padded
    std::uint32_t create_time = 0;
    std::uint32_t last_modified_time = 0;
    std::uint8_t seu_flag = 0;
    std::uint8_t file_type = 0;
    std::string source;           // 1 to 32 characters
    std::string ax25_uploader;    // up to 6 characters, blank padded
    std::uint8_t download_count = 0;
    std::string destination;      // 1 to 32 characters
    std::string ax25_downloader;  // up to 6 characters, blank padded (blanks until downloaded)
    std::uint32_t download_time = 0;
    std::uint32_t expire_time = 0;
    std::uint8_t priority = 0;
    // Optional items, after the fixed part in this order.
    std::optional<std::uint8_t> compression_type;
    std::optional<std::string> title;
    std::optional<std::string> keywords;
    std::optional<std::string> user_file_name;
};

// The whole upload file: header in the layout above, then the body. Refuses, with the reason,
// anything that does not fit the layout (a name or text too long, an empty source or
// destination, a header or file too large for its size items).
Result<std::vector<std::uint8_t>> build_upload_file(const UploadHeaderFields& fields, std::span<const std::uint8_t> body);

// Where the server's writes land in a header that fits.
struct UploadLayout {
    std::size_t header_length = 0;
    std::size_t source_length = 0;
    std::size_t upload_time_item_at = 0;
};

// Checks the header at the start of `bytes` (at least the whole header): the fixed part item by
// item, optional items after it with none of the fixed ids again, the terminator, the header
// checksum, the body offset equal to the header length and, when `file_length` is given, the
// file size equal to it. The error says which item is wrong and where.
Result<UploadLayout> check_upload_layout(std::span<const std::uint8_t> bytes,
                                         std::optional<std::uint64_t> file_length = std::nullopt);

} // namespace orva::pfh

// One row of the directory viewer: the fields of a PACSAT file header that Tessel shows, tests
// and files by, plus what it learns locally (percent received, message flag).
#pragma once

#include "common/pfh/pfh.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orva::dirview {

struct DirectoryEntry {
    std::uint32_t file_number = 0;
    // Texts exactly as they came from the air (source and destination upper-cased); absent when
    // the header lacks the item. Shown through the column formatters, never interpreted.
    std::optional<std::string> source, destination, title, keywords;
    // At most 13 characters, upper-cased: the last component of item 38 (cut at "\" and "/"),
    // else item 2 "." item 3. Empty when the header gives no usable name (".." or ".").
    std::string file_name;
    // The name the mail processor files it under (header_disk_name); found without regard to case.
    std::string disk_name;
    std::string uploader; // item 17, at most 6 characters
    std::int32_t file_size = 0;
    std::uint8_t file_type = 0;
    std::uint8_t compression = 0;
    std::uint32_t upload_time = 0;
    std::uint32_t expire_time = 0;
    std::uint8_t download_count = 0;
    std::uint8_t percent = 0; // 0..100 from the hole list; 0 until known
    bool message = false;     // the mail processor filed it as a message
};

// The entry a parsed header gives.
DirectoryEntry entry_from_header(const pfh::PfhHeader& header);

// The file-name part of an item-38 path or of item 2/3, as Tessel keeps it; empty when the
// result would be "." or "..".
std::string entry_file_name(const pfh::PfhHeader& header);

// "Uncompressed", "PKPAK", "PKZIP", "LHArc", else "Unknown".
std::string_view compression_name(std::uint8_t compression);
// The description of a file type ("ASCII Text message", ...); empty for other types.
std::string_view file_type_description(std::uint8_t file_type);

} // namespace orva::dirview

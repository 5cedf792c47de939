// Reads the directory files "Brek%04d.PFH": headers back to back, as the engine appended them.
// A header with a bad sum is dropped and reading goes on after it; a header torn by the end of
// the file is dropped; bytes that are not a header are skipped up to the next header whose sum
// holds, so every good header before and after damage is kept.
#pragma once

#include "common/pfh/pfh.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orva::dirview {

struct ReadReport {
    std::size_t headers = 0;     // good headers handed on
    std::size_t bad_sums = 0;    // dropped: checksum mismatch or unreadable items
    std::size_t skipped_bytes = 0; // not part of any header
    bool torn_tail = false;      // the file ends inside a header
};

// Calls `sink` with each good header, in file order. `sink` returns false to stop reading.
ReadReport read_directory_bytes(std::span<const std::uint8_t> bytes,
                                const std::function<bool(pfh::PfhHeader&&)>& sink);

// "Brek0012.PFH" -> 12 (any case); none for other names.
std::optional<int> directory_file_number(std::string_view name);
std::string directory_file_name(int number); // "Brek%04d.PFH"

struct DirectoryFileRef {
    int number = 0;
    std::filesystem::path path; // the name as spelled on disk
};
// The directory files in `folder` (at most 10000 names), ascending by number.
std::vector<DirectoryFileRef> list_directory_files(const std::filesystem::path& folder);

} // namespace orva::dirview

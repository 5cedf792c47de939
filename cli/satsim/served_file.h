// The files the simulated satellite holds: each a whole PACSAT file (header and body) with its
// directory entry's upload-time range.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace orva::satsim {

struct ServedFile {
    std::uint32_t file_number = 0;
    std::uint8_t file_type = 0;
    std::uint32_t upload_time = 0;
    std::vector<std::uint8_t> bytes; // the whole file as stored on the satellite
    std::size_t header_length = 0;   // its PACSAT header is bytes[0, header_length)
    // Range of upload times this entry answers for: no other file was uploaded within it.
    std::uint32_t t_old = 0;
    std::uint32_t t_new = 0;
};

// Every regular file of the folder, in name order. A file that already starts with a valid
// PACSAT header whose size item matches is served as it is; any other file gets a header made
// for it (file numbers from `first_number`, upload times ten minutes apart ending before `now`).
Result<std::vector<ServedFile>> load_folder(const std::filesystem::path& folder, std::uint32_t now,
                                            std::uint32_t first_number = 0x100);

// Sorts by upload time and sets each entry's range from the previous upload to its own.
void assign_ranges(std::vector<ServedFile>& files);

// The number the next upload gets: `first`, or past every file already held (uploads of an
// earlier run are in the folder, and a new one must not be filed over one of them).
std::uint32_t next_free_number(const std::vector<ServedFile>& files, std::uint32_t first);

} // namespace orva::satsim

// Whole-file rewrites that a crash or a second writer can never leave half written: the new
// bytes go to a temporary file in the same folder, are synced, and replace the old file by rename.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace orva {

Status write_file_atomic(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);
Status write_file_atomic(const std::filesystem::path& file, std::string_view text);

// Reads a whole file; a missing or unreadable file is an error naming it.
Result<std::vector<std::uint8_t>> read_file(const std::filesystem::path& file);

} // namespace orva

// Where the boxes find a file's header when they show its To, From and Title: the directory
// files of the satellite folder (newest entry first) and the start of a file being received.
#pragma once

#include "common/pfh/pfh.h"
#include "engine/files/hole_list.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace orva::engine {

// The newest directory entry for `file_number` in the "Brek%04d.PFH" files of `folder`.
std::optional<pfh::PfhHeader> find_directory_header(const std::filesystem::path& folder, std::uint32_t file_number);

// The header at the start of a partial file open as `fd`, when its first bytes have arrived.
std::optional<pfh::PfhHeader> read_partial_header(int fd, const HoleList& holes, std::uint32_t file_number);

} // namespace orva::engine

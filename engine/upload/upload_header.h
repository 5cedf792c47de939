// The header a queued upload goes out with. A server in service files an upload by writing its
// file number, upload time and header checksum at the fixed offsets of the standard upload layout
// (common/pfh/upload_layout.h), so a queue file is offered only when its header has that layout;
// the number the go answer gave is written in (with the header checksum made right) on the copy
// sent. The queue file itself is never changed.
#pragma once

#include "common/pfh/upload_layout.h"
#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace orva::engine {

// Reads the start of a queue file of `length` bytes and checks its header against the layout.
Result<pfh::UploadLayout> check_upload_file(const std::filesystem::path& path, std::uint64_t length);

// `start` is the beginning of the file (at least its whole header). Returns the header, from the
// magic bytes through the terminating item, with item 1 set to `file_number` and item 10 holding
// the checksum of the result. Fails on a header that does not have the upload layout.
Result<std::vector<std::uint8_t>> stamp_upload_header(std::span<const std::uint8_t> start, std::uint32_t file_number);

} // namespace orva::engine

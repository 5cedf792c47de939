// The header a queued upload goes out with: the server files an upload under the number in its
// header, so the number its go answer gave is written in (with the header checksum made right)
// on the copy sent. The queue file itself is never changed.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <span>
#include <vector>

namespace orva::engine {

// `start` is the beginning of the file (at least its whole header). Returns the header, from the
// magic bytes through the terminating item, with item 1 set to `file_number` and item 10, when
// present, holding the checksum of the result.
Result<std::vector<std::uint8_t>> stamp_upload_header(std::span<const std::uint8_t> start, std::uint32_t file_number);

} // namespace orva::engine

// Reads a ".KSS" capture back as the byte stream it was, for the same receive path a live pass
// takes, at full speed.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

namespace orva::engine {

// Calls `feed` with successive chunks of the file; returns the bytes read.
Result<std::uint64_t> replay_kiss_capture(const std::filesystem::path& file,
                                          const std::function<void(std::span<const std::uint8_t>)>& feed,
                                          std::size_t chunk = 4096);

} // namespace orva::engine

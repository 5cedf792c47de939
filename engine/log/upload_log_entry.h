// One upload as the session log records it.
#pragma once

#include <chrono>
#include <cstdint>

namespace orva::engine {

enum class UploadReason : int {
    Unknown = 0,
    Complete = 1,
    BadHeader = 2,
    CorruptBody = 3,
    ServerOutOfMemory = 4,
    UnexpectedPacket = 5,
    Disconnected = 6,
};

struct UploadLogEntry {
    std::uint32_t file_number = 0;
    std::chrono::sys_seconds start{};
    std::int64_t seconds = 0;
    std::int64_t bytes = 0;
    std::int64_t rate = 0; // bytes per second
    int reason = 0;
    bool operator==(const UploadLogEntry&) const = default;
};

} // namespace orva::engine

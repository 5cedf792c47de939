// "Brek.LOG": one block per pass in which anything was heard, appended at the end of the pass.
#pragma once

#include "engine/log/upload_log_entry.h"
#include "platform/result.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orva::engine {

struct SessionFigures {
    std::optional<std::chrono::sys_seconds> session_start; // none: nothing heard
    std::chrono::sys_seconds last_heard{};
    std::uint64_t total_bytes = 0;       // "T:"
    std::optional<unsigned> efficiency;  // none: not known
    std::vector<UploadLogEntry> uploads; // in the order they ended
};

const char* upload_reason_text(int reason);

// The block as written, CR LF line ends; empty when nothing was heard.
std::string format_session_block(const SessionFigures& figures);

// Appends the block to "Brek.LOG" in `folder`. Nothing heard: nothing written.
Status append_session_log(const std::filesystem::path& folder, const SessionFigures& figures);

} // namespace orva::engine

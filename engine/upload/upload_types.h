// Small records the upload client hands to its host and to the session log.
#pragma once

#include "engine/link/status_line.h"
#include "engine/log/status_post.h"
#include "engine/log/upload_log_entry.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace orva::engine {

// Time of the connected-mode link and the upload client: milliseconds since 1970.
using LinkTime = std::chrono::milliseconds;


// The Upload Status box.
struct UploadProgress {
    std::string file;
    int percent = 0;
    std::int64_t uploaded = 0;  // offset reached in the file
    std::int64_t to_upload = 0; // bytes still to send
    std::int64_t cps = 0;       // average this session
    std::optional<std::int64_t> seconds_left; // none while the rate is 0
    bool operator==(const UploadProgress&) const = default;
};

} // namespace orva::engine

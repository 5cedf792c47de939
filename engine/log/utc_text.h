// Times as the engine writes them in its log and status lines: UTC, English month names.
#pragma once

#include <chrono>
#include <string>

namespace orva::engine {

// "%H:%M:%S %d %b %Y", e.g. "01:46:40 09 Sep 2001".
std::string utc_text(std::chrono::sys_seconds t);

} // namespace orva::engine

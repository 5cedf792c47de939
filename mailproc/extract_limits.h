// Limits on the archive extractors, kept beside the other mail-processor options in
// "SOFTWARE\Orva\Dispo":
//   "Extract Time Limit"  integer, seconds one extractor may run (default 300; 0 reads as the
//                         default; at most 86400). A run that is still going is stopped.
//   "Extract Size Limit"  integer, megabytes that one download may unpack to (default 200;
//                         0 reads as the default; at most 65536). Past it the run is stopped.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/store/store.h"

namespace orva::mailproc {

struct ExtractLimits {
    std::chrono::milliseconds time_limit{300000};
    std::uint64_t size_limit_bytes = 200ull << 20;
};

ExtractLimits read_extract_limits(const platform::Store& store);

} // namespace orva::mailproc

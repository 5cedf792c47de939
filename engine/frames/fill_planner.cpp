#include "engine/frames/fill_planner.h"

#include <algorithm>

namespace orva::engine {
namespace {

constexpr std::uint32_t kMaxRequestLength = 0xFFFF;
constexpr std::uint32_t kLargestOffset = 4096000;
constexpr std::uint32_t kTailWindowEnd = 16384000;
constexpr std::uint32_t kOffsetLimit = 0xFFFFFF; // 24 bits on the air

} // namespace

bool wants_whole_file(std::span<const FileHole> holes) {
    return holes.size() == 1 && holes[0].start == 0 && holes[0].end == kOpenEnd;
}

std::vector<FileHoleRequest> plan_file_fill(std::span<const FileHole> holes, const FillOptions& options,
                                            RandomSource& random) {
    std::vector<FileHoleRequest> out;
    const std::size_t limit = std::min(options.max_holes, kMaxFileHolesPerRequest);
    if (holes.empty() || limit == 0) return out;

    bool forward = true;
    std::size_t first = 0;
    if (holes.size() > options.max_holes && !options.zero_start && options.length_known) {
        forward = random.below(3) == 0;
        first = forward ? 0 : holes.size() - 1;
        if (random.below(4) == 0) {
            std::size_t best = holes.size();
            std::uint32_t best_len = 0;
            for (std::size_t i = 0; i < holes.size(); ++i) {
                const auto& h = holes[i];
                if (h.end < kLargestOffset && h.end > h.start && h.end - h.start > best_len) {
                    best = i;
                    best_len = h.end - h.start;
                }
            }
            if (best < holes.size() && best_len > 4095) first = best;
        }
    }

    std::uint64_t total = 0;
    for (std::size_t k = 0; out.size() < limit; ++k) {
        if (forward ? first + k >= holes.size() : k > first) break;
        const FileHole& h = holes[forward ? first + k : first - k];
        if (h.end <= h.start || h.start > kOffsetLimit) continue;
        const std::uint32_t span_len = h.end - h.start;
        FileHoleRequest r{h.start, std::uint16_t(std::min(span_len, kMaxRequestLength))};
        if (span_len > kMaxRequestLength && h.end <= kTailWindowEnd && random.below(3) == 0)
            r.offset = h.end - kMaxRequestLength;
        if (options.byte_budget) {
            const std::uint64_t budget = *options.byte_budget;
            if (total + r.length > budget) {
                r.length = std::uint16_t(budget - total);
                if (r.length > 0) out.push_back(r);
                break;
            }
        }
        total += r.length;
        out.push_back(r);
    }
    return out;
}

} // namespace orva::engine

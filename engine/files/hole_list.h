// The byte ranges of a file still missing, sorted by start, end exclusive; the open-ended last
// hole ends at kOpenEnd until the file length is known.
#pragma once

#include "engine/frames/fill_planner.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orva::engine {

class HoleList {
public:
    HoleList() = default;
    // [0, open): nothing received.
    static HoleList whole();
    static HoleList from(std::vector<FileHole> holes) { HoleList h; h.holes_ = std::move(holes); return h; }

    bool empty() const { return holes_.empty(); }
    std::size_t count() const { return holes_.size(); }
    std::span<const FileHole> holes() const { return holes_; }

    // True when some of [offset, end) is still missing.
    bool overlaps(std::uint32_t offset, std::uint32_t end) const;
    // [offset, end) has been received; every hole it touches is trimmed, split or removed.
    void receive(std::uint32_t offset, std::uint32_t end);
    // The file ends at `length`: nothing at or after it is missing.
    void cut_at(std::uint32_t length);
    // Everything from `from` up to `limit` counts as missing again (bytes not on disk).
    void mark_missing(std::uint32_t from, std::uint32_t limit);
    // Bytes between the holes, plus those after the last one when the length is known.
    std::uint64_t received_bytes(std::uint32_t length) const;
    // Last hole's end; kOpenEnd while the length is unknown.
    std::uint32_t last_end() const { return holes_.empty() ? 0 : holes_.back().end; }

    std::vector<FileHole>& raw() { return holes_; }

private:
    std::vector<FileHole> holes_;
};

} // namespace orva::engine

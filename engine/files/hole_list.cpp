#include "engine/files/hole_list.h"

#include <algorithm>

namespace orva::engine {

HoleList HoleList::whole()
{
    HoleList h;
    h.holes_.push_back({0, kOpenEnd});
    return h;
}

bool HoleList::overlaps(std::uint32_t offset, std::uint32_t end) const
{
    // First hole that ends after offset.
    auto it = std::upper_bound(holes_.begin(), holes_.end(), offset,
                               [](std::uint32_t o, const FileHole& h) { return o < h.end; });
    return it != holes_.end() && it->start < end;
}

void HoleList::receive(std::uint32_t offset, std::uint32_t end)
{
    if (end <= offset)
        return;
    auto it = std::upper_bound(holes_.begin(), holes_.end(), offset,
                               [](std::uint32_t o, const FileHole& h) { return o < h.end; });
    while (it != holes_.end() && it->start < end) {
        if (it->start >= offset) {
            if (end >= it->end) {
                it = holes_.erase(it);
                continue;
            }
            it->start = end;
            break;
        }
        if (end < it->end) {
            const FileHole tail{end, it->end};
            it->end = offset;
            holes_.insert(it + 1, tail);
            break;
        }
        it->end = offset;
        ++it;
    }
}

void HoleList::cut_at(std::uint32_t length)
{
    while (!holes_.empty() && holes_.back().start >= length)
        holes_.pop_back();
    if (!holes_.empty() && holes_.back().end > length)
        holes_.back().end = length;
}

void HoleList::mark_missing(std::uint32_t from, std::uint32_t limit)
{
    if (from >= limit)
        return;
    auto at = std::lower_bound(holes_.begin(), holes_.end(), from,
                               [](const FileHole& h, std::uint32_t v) { return h.start < v; });
    at = holes_.insert(at, FileHole{from, limit});
    // Merge with the neighbours it now touches.
    std::vector<FileHole> out;
    out.reserve(holes_.size());
    for (const FileHole& h : holes_) {
        if (!out.empty() && h.start <= out.back().end)
            out.back().end = std::max(out.back().end, h.end);
        else
            out.push_back(h);
    }
    holes_ = std::move(out);
}

std::uint64_t HoleList::received_bytes(std::uint32_t length) const
{
    std::uint64_t got = 0;
    std::uint32_t pos = 0;
    for (const FileHole& h : holes_) {
        if (h.start > pos)
            got += h.start - pos;
        pos = std::max(pos, h.end);
    }
    if (length > pos)
        got += length - pos;
    return got;
}

} // namespace orva::engine

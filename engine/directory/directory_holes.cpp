#include "engine/directory/directory_holes.h"

#include <algorithm>

namespace orva::engine {
namespace {

std::uint32_t get32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}
std::uint32_t clamp32(std::uint64_t v) { return v > UINT32_MAX ? UINT32_MAX : std::uint32_t(v); }

} // namespace

DirectoryHoles DirectoryHoles::fresh(std::uint64_t now)
{
    DirectoryHoles d;
    d.holes_.push_back({now > kDirectoryResetAge ? now - kDirectoryResetAge : 0, kOpenTime});
    return d;
}

DirectoryHoles::Loaded DirectoryHoles::load(std::span<const std::uint8_t> bytes, std::uint64_t now)
{
    Loaded out{fresh(now), std::nullopt, true};
    if (bytes.size() < 4) {
        out.error = "Error in directory hole file.";
        return out;
    }
    const std::uint32_t count = get32(bytes.data());
    if (count == 0 || count > kMaxDirectoryHoles) {
        out.error = "Error in directory hole file.";
        return out;
    }
    const std::size_t readable = std::min<std::size_t>(count, (bytes.size() - 4) / 8);
    std::vector<TimeHole> holes;
    bool damaged = false;
    for (std::size_t i = 0; i < readable && !damaged; ++i) {
        const std::uint8_t* p = bytes.data() + 4 + 8 * i;
        TimeHole h{get32(p), get32(p + 4)};
        if (i + 1 == readable)
            h.end = kOpenTime; // the last hole is open whatever is stored
        if (h.end <= h.start || (!holes.empty() && h.start < holes.back().start)) {
            // Not an ascending list of ranges: nothing in it can be trusted.
            damaged = true;
        } else if (!holes.empty() && h.start <= holes.back().end) {
            holes.back().end = std::max(holes.back().end, h.end);
        } else {
            holes.push_back(h);
        }
    }
    if (damaged)
        holes.clear();
    if (holes.empty()) {
        out.error = "Error in directory hole file.";
        return out;
    }
    holes.back().end = kOpenTime;
    out.holes.holes_ = std::move(holes);
    out.reset = false;
    return out;
}

std::vector<std::uint8_t> DirectoryHoles::encode() const
{
    std::vector<std::uint8_t> out;
    out.reserve(4 + 8 * holes_.size());
    put32(out, std::uint32_t(holes_.size()));
    for (const TimeHole& h : holes_) {
        put32(out, clamp32(h.start));
        put32(out, h.end == kOpenTime ? kDiskOpenTime : clamp32(h.end));
    }
    return out;
}

std::optional<std::size_t> DirectoryHoles::first_overlap(std::uint64_t t_old, std::uint64_t t_end) const
{
    for (std::size_t i = 0; i < holes_.size(); ++i)
        if (holes_[i].start < t_end && t_old < holes_[i].end)
            return i;
    return std::nullopt;
}

void DirectoryHoles::fill(std::size_t index, std::uint64_t t_old, std::uint64_t t_end)
{
    if (index >= holes_.size())
        return;
    TimeHole& h = holes_[index];
    const bool covers_start = h.start >= t_old;
    const bool covers_end = t_end >= h.end;
    if (covers_start && covers_end) {
        if (h.end == kOpenTime) {
            // The open end always remains: everything newer than t_end is still unheard.
            h.start = t_end;
            return;
        }
        holes_.erase(holes_.begin() + std::ptrdiff_t(index));
    } else if (covers_start) {
        h.start = t_end;
    } else if (covers_end) {
        h.end = t_old;
    } else {
        const TimeHole tail{t_end, h.end};
        h.end = t_old;
        holes_.insert(holes_.begin() + std::ptrdiff_t(index) + 1, tail);
    }
}

std::vector<DirectoryHoleRequest> DirectoryHoles::request_holes(std::size_t max) const
{
    std::vector<DirectoryHoleRequest> out;
    for (const TimeHole& h : holes_) {
        if (out.size() >= max)
            break;
        // The open end goes out as the file writes it, unless the hole starts later than that.
        std::uint32_t end = h.end == kOpenTime ? kDiskOpenTime : clamp32(h.end);
        if (end <= clamp32(h.start))
            end = UINT32_MAX;
        out.push_back({clamp32(h.start), end});
    }
    return out;
}

} // namespace orva::engine

#include "engine/files/hole_file.h"

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

} // namespace

HoleFileLoad decode_hole_file(std::span<const std::uint8_t> bytes)
{
    HoleFileLoad out;
    out.file.holes = HoleList::whole();
    if (bytes.size() < 12) {
        out.short_file = !bytes.empty();
        out.ignored = true;
        return out;
    }
    const bool flag = bytes[0] == 1;
    const std::uint32_t length = get32(bytes.data() + 4);
    const std::uint32_t count = get32(bytes.data() + 8);
    if (count == 0 || count > kMaxFileHoles) {
        out.ignored = true;
        return out;
    }
    const std::size_t readable = std::min<std::size_t>(count, (bytes.size() - 12) / 8);
    out.short_file = readable < count;
    std::vector<FileHole> holes;
    holes.reserve(readable + 1);
    for (std::size_t i = 0; i < readable; ++i) {
        const std::uint8_t* p = bytes.data() + 12 + 8 * i;
        FileHole h{get32(p), std::min(get32(p + 4), kOpenEnd)};
        if (h.start >= h.end) {
            // Not a range: nothing from here on can be trusted.
            out.short_file = true;
            if (holes.empty())
                holes.push_back({0, kOpenEnd});
            break;
        }
        if (!holes.empty() && h.start < holes.back().start) {
            // Out of order: the list cannot be trusted at all.
            out.ignored = true;
            out.short_file = true;
            return out;
        }
        if (!holes.empty() && h.start < holes.back().end) {
            holes.back().end = std::max(holes.back().end, h.end);
            continue;
        }
        holes.push_back(h);
    }
    if (holes.empty()) {
        out.ignored = true;
        return out;
    }
    // The holes not read may lie anywhere after the last one read: all of that is missing.
    // So is everything after the last one read, and, while the length is unknown, everything
    // after the last hole: a list without its open end would let the file complete short.
    if (out.short_file || length == 0)
        holes.back().end = kOpenEnd;
    HoleList list = HoleList::from(std::move(holes));
    if (length != 0)
        list.cut_at(length);
    if (list.empty()) {
        out.ignored = true;
        return out;
    }
    out.file.length_from_header = flag && length != 0;
    out.file.length = length;
    out.file.holes = std::move(list);
    return out;
}

std::vector<std::uint8_t> encode_hole_file(const HoleFile& file)
{
    std::vector<std::uint8_t> out;
    out.reserve(12 + 8 * file.holes.count());
    out.push_back(file.length_from_header ? 1 : 0);
    out.push_back(0);
    out.push_back(0);
    out.push_back(0);
    put32(out, file.length);
    put32(out, std::uint32_t(file.holes.count()));
    for (const FileHole& h : file.holes.holes()) {
        put32(out, h.start);
        put32(out, h.end);
    }
    return out;
}

} // namespace orva::engine

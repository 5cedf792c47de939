#include "dirview/app/window_rules.h"

#include <algorithm>
#include <cstdio>

namespace orva::dirview {

std::optional<WindowPlacement> tessel_placement(const settings::TesselSettings& s, int screen_width,
                                                int screen_height)
{
    // The store keeps them as 32-bit values; a negative position reads back as a huge one.
    const auto x = std::int64_t(std::int32_t(s.x_left)), y = std::int64_t(std::int32_t(s.y_top));
    const auto w = std::int64_t(std::int32_t(s.cx_width)), h = std::int64_t(std::int32_t(s.cy_height));
    if (x < 0 || y < 0 || w < 50 || h < 50)
        return std::nullopt;
    if (x > screen_width - 10 || w > screen_width || y > screen_height - 10 || h > screen_height)
        return std::nullopt;
    return WindowPlacement{int(x), int(y), int(w), int(h)};
}

const std::array<MarkCommand, 8>& mark_commands()
{
    static const std::array<MarkCommand, 8> table{{
        {"Priority", 'P', 10, "Mark file for Priority download"},
        {"Auto", 'A', 9, "Mark file for Auto download"},
        {"Auto1", '1', 8, "Mark file priority as Auto1"},
        {"Auto2", '2', 7, "Mark file priority as Auto2"},
        {"Auto3", '3', 5, "Mark File priority as Auto3"},
        {"Incremental", 'I', 6, "Mark File priority for Incremental download"},
        {"Grab", 'G', 4, "Mark file to Grab only"},
        {"Never", 'N', 1, "Mark file priority to Never download"},
    }};
    return table;
}

std::optional<std::size_t> checked_button(std::uint8_t status_byte)
{
    const int code = status_byte & kCodeMask;
    if (code == 11) // MINE shows as Priority
        return 0;
    const auto& table = mark_commands();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].code == code)
            return i;
    return std::nullopt;
}

namespace {

std::string share(std::uint32_t part, std::uint32_t whole)
{
    char buf[32];
    const unsigned percent = whole ? unsigned(std::uint64_t(part) * 100 / whole) : 0;
    std::snprintf(buf, sizeof buf, "%4u   %3u%%", part, percent);
    return buf;
}

std::string number(std::uint64_t n) { return std::to_string(n); }

} // namespace

std::vector<std::pair<std::string, std::string>> statistics_lines(const DirectoryCounters& c, std::size_t displayed)
{
    return {
        {"Number of files loaded", number(c.loaded)},
        {"USER files", share(c.user, c.loaded)},
        {"BBS files", share(c.bbs, c.loaded)},
        {"LOG files", share(c.log, c.loaded)},
        {"Number of compressed files", number(c.compressed)},
        {"PKPAK", share(c.pkpak, c.compressed)},
        {"PKZIP", share(c.pkzip, c.compressed)},
        {"LHA", share(c.lharc, c.compressed)},
        {"Other compression types", share(c.other_compression, c.compressed)},
        // Grab takes one off: a count that would go below 0 shows 0, not a wrapped number.
        {"Files marked for download", number(std::uint32_t(std::max(0, c.marked)))},
        {"Files currently displayed", number(displayed)},
    };
}

} // namespace orva::dirview

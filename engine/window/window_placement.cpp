#include "engine/window/window_placement.h"

namespace orva::engine {

namespace {

// Stored values are DWORDs; a negative coordinate comes back as a large number.
int as_int(std::uint32_t v) { return static_cast<int>(static_cast<std::int32_t>(v)); }

bool on_some_screen(int x, int y, std::span<const ScreenRect> screens)
{
    for (const auto& s : screens)
        if (s.contains(x, y))
            return true;
    return false;
}

} // namespace

std::optional<Placement> main_window_placement(const settings::BrekSettings& s, std::span<const ScreenRect> screens)
{
    const Placement p{as_int(s.x_left), as_int(s.y_top), as_int(s.cx_width), as_int(s.cy_height)};
    if (p.width < 50 || p.height < 50 || !on_some_screen(p.x, p.y, screens))
        return std::nullopt;
    return p;
}

BoxPosition box_position(std::uint32_t x, std::uint32_t y, std::span<const ScreenRect> screens)
{
    const BoxPosition p{as_int(x), as_int(y)};
    if (!on_some_screen(p.x, p.y, screens))
        return {};
    return p;
}

BoxPosition box_position(const settings::BrekSettings& s, BrekBox box, std::span<const ScreenRect> screens)
{
    switch (box) {
    case BrekBox::Upload: return box_position(s.upload_x_left, s.upload_y_top, screens);
    case BrekBox::Fill: return box_position(s.fill_x_left, s.fill_y_top, screens);
    case BrekBox::Info: return box_position(s.info_x_left, s.info_y_top, screens);
    case BrekBox::Freq: return box_position(s.freq_x_left, s.freq_y_top, screens);
    }
    return {};
}

void store_box_position(settings::BrekSettings& s, BrekBox box, BoxPosition p)
{
    const auto x = static_cast<std::uint32_t>(p.x), y = static_cast<std::uint32_t>(p.y);
    switch (box) {
    case BrekBox::Upload: s.upload_x_left = x, s.upload_y_top = y; break;
    case BrekBox::Fill: s.fill_x_left = x, s.fill_y_top = y; break;
    case BrekBox::Info: s.info_x_left = x, s.info_y_top = y; break;
    case BrekBox::Freq: s.freq_x_left = x, s.freq_y_top = y; break;
    }
}

void store_main_window(settings::BrekSettings& s, const Placement& normal, bool maximised)
{
    s.x_left = static_cast<std::uint32_t>(normal.x);
    s.y_top = static_cast<std::uint32_t>(normal.y);
    s.cx_width = static_cast<std::uint32_t>(normal.width);
    s.cy_height = static_cast<std::uint32_t>(normal.height);
    s.reopen = maximised ? 1 : 0;
}

} // namespace orva::engine

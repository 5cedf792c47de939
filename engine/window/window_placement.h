// Where Brek's main window and its boxes go, from the positions kept in Brek's settings, and the
// values written back when the window goes. No toolkit here: the screens come in as rectangles.
#pragma once

#include "common/settings/suite_settings.h"

#include <optional>
#include <span>

namespace orva::engine {

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

struct Placement {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Placement&) const = default;
};

struct BoxPosition {
    int x = 0, y = 0;
    bool operator==(const BoxPosition&) const = default;
};

// None: let the window system place it (a corner off every screen, or a side under 50).
std::optional<Placement> main_window_placement(const settings::BrekSettings& s, std::span<const ScreenRect> screens);
// A box whose corner is off every screen goes to 0,0.
BoxPosition box_position(std::uint32_t x, std::uint32_t y, std::span<const ScreenRect> screens);

enum class BrekBox { Upload, Fill, Info, Freq };
BoxPosition box_position(const settings::BrekSettings& s, BrekBox box, std::span<const ScreenRect> screens);
void store_box_position(settings::BrekSettings& s, BrekBox box, BoxPosition p);

// The geometry written back: maximised windows keep their normal geometry and set "Reopen".
void store_main_window(settings::BrekSettings& s, const Placement& normal, bool maximised);

} // namespace orva::engine

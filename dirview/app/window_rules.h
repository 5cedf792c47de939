// The parts of Tessel's window that are rules rather than drawing: where the window goes, the
// marking commands and their check buttons, and the lines of the statistics box.
#pragma once

#include "common/settings/suite_settings.h"
#include "dirview/directory_model.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orva::dirview {

struct WindowPlacement {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const WindowPlacement&) const = default;
};

// None: the system's default placement (a corner off the screen, a side under 50, or larger
// than the screen).
std::optional<WindowPlacement> tessel_placement(const settings::TesselSettings& s, int screen_width,
                                                int screen_height);

struct MarkCommand {
    const char* name;    // "Priority"
    char key;            // 'P', acts without modifiers
    int code;            // the status code it sets
    const char* tooltip; // from the string table
};

// In toolbar order.
const std::array<MarkCommand, 8>& mark_commands();

// Index into mark_commands() of the check button a status byte shows, none for other codes.
std::optional<std::size_t> checked_button(std::uint8_t status_byte);

// "Directory Statistics": label and value, in the box's order.
std::vector<std::pair<std::string, std::string>> statistics_lines(const DirectoryCounters& counters,
                                                                  std::size_t displayed);

// Window messages Tessel takes.
inline constexpr std::uint32_t kMsgClose = 16;
inline constexpr std::uint32_t kMsgConnectTimer = 2027; // its own timer: connect to the engine
inline constexpr std::uint32_t kMsgMessageFiled = 2028;
inline constexpr std::uint32_t kMsgConnectNow = 2029;
inline constexpr std::uint32_t kMsgFileInformation = 2030;
inline constexpr std::uint32_t kMsgMessageCleared = 2033;

} // namespace orva::dirview

// The main window's texts and rules that need no window: the schedule rows with their colours,
// the stored placement check, the title while minimised. The window draws what these return.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "station/schedule/pass_entry.h"

namespace orva::station {

enum class RowColour { Black, Grey, Red, DarkRed };

struct ScheduleRow {
    std::string text;
    RowColour colour = RowColour::Black;
    std::string name; // empty for an event row
    std::int64_t aos = 0;
};

// "dd/mm/yy hh:mm:ss" of station time `t` shifted to local time when !utc.
std::string schedule_time_text(std::int64_t t, bool utc, std::int64_t local_offset);

// The rows of the entries whose LOS has not passed, in schedule order.
std::vector<ScheduleRow> schedule_rows(const std::vector<PassEntry>& entries, std::int64_t now, bool utc,
                                       std::int64_t local_offset);

// Edit Schedule's six fields of a time: hour, minute, second, day, month and two-digit year, each "%02d".
using TimeFields = std::array<std::string, 6>;
TimeFields time_fields(std::int64_t t, bool utc, std::int64_t local_offset);
// The station time the fields name (typed in local time when !utc); none when a field is not a
// number or out of its range (a two-digit year 70-99 is 19xx, else 20xx).
std::optional<std::int64_t> fields_time(const TimeFields& fields, bool utc, std::int64_t local_offset);
// "Visible from": "%02d:%02d:%02d %d/%d/%d" (time, then day, month, two-digit year).
std::string visible_time_text(std::int64_t t, bool utc, std::int64_t local_offset);
inline constexpr const char* kBadAosFields = "The AOS time or date of this pass is not valid.";
inline constexpr const char* kBadLosFields = "The LOS time or date of this pass is not valid.";

struct Placement {
    int x = 0, y = 0, width = 580, height = 270;
};

// The stored placement, or none (the system chooses) when x or y is negative, width or height
// below 50, or the window would start more than 10 pixels beyond the right or bottom screen edge
// or be larger than the screen.
std::optional<Placement> checked_placement(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                                           int screen_width, int screen_height);

// The caption: "Helmo %02d:%02d:%02d" to the next event while minimised with scheduling on and a
// next time known, else "Helmo".
std::string window_title(bool minimised, bool scheduling, std::optional<std::int64_t> seconds_to_next);

} // namespace orva::station

#include "station/app/window/view_texts.h"

#include <chrono>
#include <cstdio>

namespace orva::station {

std::string schedule_time_text(std::int64_t t, bool utc, std::int64_t local_offset)
{
    if (!utc)
        t -= local_offset;
    std::int64_t days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
    std::int64_t s = t - days * 86400;
    using namespace std::chrono;
    year_month_day ymd{sys_days(std::chrono::days(days))};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u/%02u/%02d %02d:%02d:%02d", unsigned(ymd.day()), unsigned(ymd.month()),
                  int(ymd.year()) % 100, int(s / 3600), int(s / 60 % 60), int(s % 60));
    return buf;
}

std::vector<ScheduleRow> schedule_rows(const std::vector<PassEntry>& entries, std::int64_t now, bool utc,
                                       std::int64_t local_offset)
{
    std::vector<ScheduleRow> rows;
    for (const PassEntry& e : entries) {
        if (e.los < now)
            continue;
        std::string prio = e.dont_run ? "" : e.priority == 0 ? "M" : std::to_string(e.priority);
        char buf[160];
        std::snprintf(buf, sizeof buf, "%-12s %2s %2d %s  %s", e.name.c_str(), prio.c_str(), int(e.max_elevation),
                      schedule_time_text(e.aos, utc, local_offset).c_str(),
                      schedule_time_text(e.los, utc, local_offset).c_str());
        bool grey = e.dont_run || !(e.run_regardless || e.elevation_ok);
        bool started = now >= e.aos;
        RowColour c = started ? (grey ? RowColour::DarkRed : RowColour::Red) : (grey ? RowColour::Grey : RowColour::Black);
        rows.push_back({buf, c, e.name, e.aos});
    }
    return rows;
}

std::optional<Placement> checked_placement(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                                           int screen_width, int screen_height)
{
    if (x < 0 || y < 0 || width < 50 || height < 50)
        return std::nullopt;
    if (x + width > screen_width + 10 || y + height > screen_height + 10)
        return std::nullopt;
    if (width > screen_width || height > screen_height)
        return std::nullopt;
    return Placement{int(x), int(y), int(width), int(height)};
}

std::string window_title(bool minimised, bool scheduling, std::optional<std::int64_t> seconds_to_next)
{
    if (!minimised || !scheduling || !seconds_to_next)
        return "Helmo";
    std::int64_t s = std::max<std::int64_t>(*seconds_to_next, 0);
    char buf[40];
    std::snprintf(buf, sizeof buf, "Helmo %02d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60));
    return buf;
}

} // namespace orva::station

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

namespace {
struct Civil {
    int hour, minute, second;
    unsigned day, month;
    int year;
};

Civil civil(std::int64_t t, bool utc, std::int64_t local_offset)
{
    if (!utc)
        t -= local_offset;
    std::int64_t days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
    std::int64_t s = t - days * 86400;
    using namespace std::chrono;
    year_month_day ymd{sys_days(std::chrono::days(days))};
    return {int(s / 3600), int(s / 60 % 60), int(s % 60), unsigned(ymd.day()), unsigned(ymd.month()), int(ymd.year())};
}

std::optional<int> field_number(const std::string& text, int low, int high)
{
    std::size_t a = text.find_first_not_of(' ');
    std::size_t b = text.find_last_not_of(' ');
    if (a == std::string::npos || b - a + 1 > 4)
        return std::nullopt;
    int v = 0;
    for (std::size_t i = a; i <= b; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        v = v * 10 + (text[i] - '0');
    }
    if (v < low || v > high)
        return std::nullopt;
    return v;
}
} // namespace

TimeFields time_fields(std::int64_t t, bool utc, std::int64_t local_offset)
{
    Civil c = civil(t, utc, local_offset);
    TimeFields f;
    int values[6] = {c.hour, c.minute, c.second, int(c.day), int(c.month), c.year % 100};
    for (int i = 0; i < 6; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d", values[i]);
        f[std::size_t(i)] = buf;
    }
    return f;
}

std::optional<std::int64_t> fields_time(const TimeFields& f, bool utc, std::int64_t local_offset)
{
    auto h = field_number(f[0], 0, 23), mi = field_number(f[1], 0, 59), s = field_number(f[2], 0, 59);
    auto d = field_number(f[3], 1, 31), mo = field_number(f[4], 1, 12), y = field_number(f[5], 0, 99);
    if (!h || !mi || !s || !d || !mo || !y)
        return std::nullopt;
    using namespace std::chrono;
    year_month_day ymd{year(*y >= 70 ? 1900 + *y : 2000 + *y), month(unsigned(*mo)), day(unsigned(*d))};
    if (!ymd.ok())
        return std::nullopt; // 31 April, 29 February of a common year
    std::int64_t t = std::int64_t(sys_days(ymd).time_since_epoch().count()) * 86400 + *h * 3600 + *mi * 60 + *s;
    return utc ? t : t + local_offset;
}

std::string visible_time_text(std::int64_t t, bool utc, std::int64_t local_offset)
{
    Civil c = civil(t, utc, local_offset);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %u/%u/%d", c.hour, c.minute, c.second, c.day, c.month, c.year % 100);
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

#include "common/station_time.h"

#include <cstdio>

namespace orva {

using namespace std::chrono;

std::string format_iso8601(StationTime t)
{
    auto day = floor<days>(t);
    year_month_day ymd{day};
    hh_mm_ss hms{t - day};
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02ld:%02ld:%02ldZ", static_cast<int>(ymd.year()),
        static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), static_cast<long>(hms.hours().count()),
        static_cast<long>(hms.minutes().count()), static_cast<long>(hms.seconds().count()));
    return buf;
}

std::optional<StationTime> parse_iso8601(const std::string& text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep = 0;
    int consumed = 0;
    int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &y, &mo, &d, &sep, &h, &mi, &consumed);
    if (n < 6 || (sep != 'T' && sep != ' ' && sep != 't'))
        return std::nullopt;
    std::string rest = text.substr(static_cast<std::size_t>(consumed));
    if (!rest.empty() && rest[0] == ':') {
        int more = 0;
        if (std::sscanf(rest.c_str(), ":%2d%n", &s, &more) != 1)
            return std::nullopt;
        rest = rest.substr(static_cast<std::size_t>(more));
    }
    if (!(rest.empty() || rest == "Z" || rest == "z" || rest == "+00:00"))
        return std::nullopt;
    year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok() || h > 23 || mi > 59 || s > 60 || h < 0 || mi < 0 || s < 0)
        return std::nullopt;
    return StationTime(sys_days{ymd}) + hours{h} + minutes{mi} + seconds{s};
}

} // namespace orva

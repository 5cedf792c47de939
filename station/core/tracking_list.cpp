#include "station/core/tracking_list.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "station/schedule/pass_search.h"

namespace orva::station {

namespace {
constexpr double kRadToDeg = 57.29577951308232;

std::string format(const char* f, auto... args)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, f, args...);
    return buf;
}
} // namespace

NextEvent find_next_event(const SatTrack& track, const SiteFrame& site, std::int64_t from, std::int64_t look_ahead)
{
    std::int64_t t = from + 10;
    std::int64_t end = t + look_ahead;
    double el = look_at(track, site, t).elevation;
    bool up = el > 0;
    double prev = el;
    while (t < end) {
        std::int64_t step;
        if (up)
            step = 60;
        else if (el < prev && el < -0.5)
            step = 2100;
        else if (el >= -0.2)
            step = 60;
        else if (el >= -0.5)
            step = 180;
        else if (el >= -1.0)
            step = 660;
        else
            step = 1440;
        prev = el;
        std::int64_t next = t + step;
        double el_next = look_at(track, site, next).elevation;
        if ((el_next > 0) != up) {
            // Walk back to the crossing: the first second on the new side.
            std::int64_t s = next;
            while (s > t && (look_at(track, site, s - 1).elevation > 0) != up)
                --s;
            return {s, !up};
        }
        t = next;
        el = el_next;
    }
    return {};
}

void sort_tracking_list(std::vector<TrackedSatellite>& list)
{
    std::stable_sort(list.begin(), list.end(), [](const TrackedSatellite& a, const TrackedSatellite& b) {
        return a.next_event_time < b.next_event_time;
    });
}

std::string countdown_text(std::int64_t s)
{
    if (s < 0)
        return "";
    std::int64_t days = s / 86400;
    std::int64_t h = (s / 3600) % 24, m = (s / 60) % 60, sec = s % 60;
    if (days < 4)
        h += days * 24;
    return format("%02d:%02d:%02d", int(h), int(m), int(sec));
}

std::string tracking_row(const SatTrack& t, std::int64_t now, std::int64_t next_event_time)
{
    std::string doppler = t.beacon_hz != 0 ? format("% 6.0f", t.doppler_hz) : "";
    std::string countdown = next_event_time > 1 ? countdown_text(next_event_time - now) : "";
    std::string mode = mode_for_ma(t.modes, t.ma);
    return format("%-12s %3.0f % 3.0f  %5.0f %6s  %3.0f  %8s  %s", t.name.c_str(), t.azimuth * kRadToDeg,
                  t.elevation * kRadToDeg, t.range_km, doppler.c_str(), t.ma, countdown.c_str(), mode.c_str());
}

TrackingValues tracking_values(const SatTrack& t, std::int64_t now, std::int64_t next_event_time, bool next_is_aos)
{
    TrackingValues v;
    v.name = t.name;
    v.azimuth_deg = t.azimuth * kRadToDeg;
    v.elevation_deg = t.elevation * kRadToDeg;
    v.range_km = t.range_km;
    if (t.beacon_hz != 0)
        v.doppler_hz = t.doppler_hz;
    v.ma = t.ma;
    if (next_event_time > 1) {
        v.countdown = countdown_text(next_event_time - now);
        v.next_event_time = next_event_time;
    }
    v.next_is_aos = next_is_aos;
    v.mode = mode_for_ma(t.modes, t.ma);
    v.sub_latitude_deg = t.sub_latitude * kRadToDeg;
    v.sub_longitude_west_deg = t.sub_longitude_west * kRadToDeg;
    v.height_km = t.height_km;
    return v;
}

std::string clock_text(std::int64_t now, bool utc, std::int64_t local_offset)
{
    std::int64_t t = utc ? now : now - local_offset;
    std::int64_t s = ((t % 86400) + 86400) % 86400;
    return format("%02d:%02d:%02d %s", int(s / 3600), int(s / 60 % 60), int(s % 60), utc ? "UTC" : "LOC");
}

std::string date_text(std::int64_t now, bool utc, std::int64_t local_offset)
{
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::int64_t t = utc ? now : now - local_offset;
    using namespace std::chrono;
    year_month_day ymd{floor<days>(sys_seconds(seconds(t)))};
    return format("%2d %s %4d", int(unsigned(ymd.day())), months[unsigned(ymd.month()) - 1], int(ymd.year()));
}

std::string status_text(const std::string& name, std::int64_t until, bool is_los)
{
    std::int64_t s = std::max<std::int64_t>(until, 0);
    return name + " " + format("%02d:%02d:%02d ", int(s / 3600), int(s / 60 % 60), int(s % 60)) + (is_los ? "LOS" : "AOS");
}

} // namespace orva::station

#include "station/map/map_text.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace orva::station::map {

namespace {

constexpr const char* kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

template <class... A>
std::string format(const char* fmt, A... args)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

} // namespace

std::string title_line(const std::string& name, StationSeconds map_time)
{
    const std::time_t t = std::time_t(map_time);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return format("%-15s", name.c_str())
           + format("%02d:%02d:%02d %2d %s %d", tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_mday, kMonths[tm.tm_mon],
                    tm.tm_year + 1900);
}

std::string position_line(double latitude_deg, double longitude_west_deg, double height_km, double ma,
                          const std::string& mode)
{
    return format("Lat:%6.3f%c Lon:%7.3f%c  Hght:%9.3fkm  MA:%5.1f  Mode:%s", std::fabs(latitude_deg),
                  latitude_deg >= 0 ? 'N' : 'S', std::fabs(longitude_west_deg), longitude_west_deg >= 0 ? 'W' : 'E',
                  height_km, ma, mode.c_str());
}

std::string motion_line(const MapView& view)
{
    std::string line = view.mode() == MapMode::Fast
                           ? format("Fast  step %d s  %s", view.step(),
                                    view.direction() == MapDirection::Forward ? "forward" : "backward")
                           : std::string("Normal");
    if (view.paused())
        line += "  (paused)";
    return line;
}

std::string observer_line(const ObserverView& v)
{
    const std::string doppler = v.doppler_hz ? format("% 6.0fHz", *v.doppler_hz) : std::string();
    const std::string ofp = v.ofp ? format("%3d", *v.ofp) : std::string();
    return format("%-25s  %3.0f  %3.0f  %5.0f %9s  %s", v.name.c_str(), v.azimuth_deg, v.elevation_deg, v.range_km,
                  doppler.c_str(), ofp.c_str());
}

std::vector<std::string> panel_lines(const MapView& view)
{
    std::vector<std::string> lines;
    if (!view.has_subject()) {
        lines.push_back("No satellite selected");
        lines.push_back("");
        lines.push_back("");
    } else {
        lines.push_back(title_line(view.subject_name(), view.map_time()));
        const MapPosition p = view.subject_position();
        lines.push_back(position_line(p.latitude_deg, p.longitude_west_deg, view.height_km(), view.ma(),
                                      view.transponder_mode()));
        lines.push_back(motion_line(view));
    }
    lines.push_back(kObserverHeader);
    if (view.has_subject()) {
        for (const auto& v : view.views())
            lines.push_back(observer_line(v));
    } else {
        for (const auto& site : view.observers())
            lines.push_back(site.name);
    }
    return lines;
}

} // namespace orva::station::map

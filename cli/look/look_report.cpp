#include "cli/look/look_report.h"

#include <cmath>
#include <cstdio>

#include "common/station_time.h"
#include "station/orbit/geodesy.h"
#include "station/orbit/sun.h"

namespace orva::tools {

namespace {
constexpr double kDeg = 57.29577951308232;

std::string json_string(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string iso(station::StationSeconds t)
{
    return format_iso8601(StationTime(std::chrono::seconds(t)));
}
} // namespace

Result<LookReport> look_at(const elements::KepRecord& record, const elements::ObserverSite& site,
                           station::StationSeconds time)
{
    station::SatTrack track;
    if (auto st = station::init_track(record, track, time); !st)
        return st.error();
    station::SiteFrame frame = station::SiteFrame::from(site);
    if (auto st = station::compute_position(track, frame); !st)
        return st.error();
    LookReport r;
    r.satellite = record.name;
    r.time = time;
    r.azimuth_deg = track.azimuth * kDeg;
    r.elevation_deg = track.elevation * kDeg;
    r.range_km = track.range_km;
    r.range_rate_km_s = station::range_rate(track);
    r.latitude_deg = track.sub_latitude * kDeg;
    r.longitude_east_deg = -track.sub_longitude_west * kDeg;
    r.height_km = track.height_km;
    if (track.beacon_hz != 0)
        r.doppler_hz = station::doppler_hz(track);
    station::SunPosition sun = station::sun_position(double(time));
    station::LookAngles s = station::look_angles(frame, sun.direction * sun.distance_m);
    r.sun_azimuth_deg = s.azimuth * kDeg;
    r.sun_elevation_deg = s.elevation * kDeg;
    r.mode = station::current_mode(track);
    r.ma = track.ma;
    return r;
}

std::string format_json(const LookReport& r)
{
    char buf[768];
    std::string doppler = "null";
    if (r.doppler_hz) {
        char d[32];
        std::snprintf(d, sizeof d, "%.1f", *r.doppler_hz);
        doppler = d;
    }
    std::snprintf(buf, sizeof buf,
                  "{\"satellite\": %s, \"time\": \"%s\", \"azimuth_deg\": %.4f, \"elevation_deg\": %.4f, "
                  "\"range_km\": %.3f, \"range_rate_km_s\": %.5f, \"latitude_deg\": %.4f, "
                  "\"longitude_east_deg\": %.4f, \"height_km\": %.3f, \"doppler_hz\": %s, "
                  "\"sun_azimuth_deg\": %.4f, \"sun_elevation_deg\": %.4f}\n",
                  json_string(r.satellite).c_str(), iso(r.time).c_str(), r.azimuth_deg, r.elevation_deg,
                  r.range_km, r.range_rate_km_s, r.latitude_deg, r.longitude_east_deg, r.height_km,
                  doppler.c_str(), r.sun_azimuth_deg, r.sun_elevation_deg);
    return buf;
}

std::string format_text(const LookReport& r)
{
    char buf[1024];
    std::string doppler = "-";
    if (r.doppler_hz) {
        char d[32];
        std::snprintf(d, sizeof d, "% 6.0f Hz", *r.doppler_hz);
        doppler = d;
    }
    std::snprintf(buf, sizeof buf,
                  "%s at %s\n"
                  "  azimuth     %8.2f deg\n"
                  "  elevation   %8.2f deg%s\n"
                  "  range       %8.1f km\n"
                  "  range rate  %8.3f km/s\n"
                  "  doppler     %s\n"
                  "  sub-point   %.3f %s  %.3f %s, height %.1f km\n"
                  "  MA          %6.1f  mode \"%s\"\n"
                  "  Sun         azimuth %.2f deg, elevation %.2f deg\n",
                  r.satellite.c_str(), iso(r.time).c_str(), r.azimuth_deg, r.elevation_deg,
                  r.elevation_deg > 0 ? "  (above the horizon)" : "", r.range_km, r.range_rate_km_s,
                  doppler.c_str(), std::fabs(r.latitude_deg), r.latitude_deg >= 0 ? "N" : "S",
                  std::fabs(r.longitude_east_deg), r.longitude_east_deg >= 0 ? "E" : "W", r.height_km, r.ma,
                  r.mode.c_str(), r.sun_azimuth_deg, r.sun_elevation_deg);
    return buf;
}

} // namespace orva::tools

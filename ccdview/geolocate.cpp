#include "ccdview/geolocate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "common/elements/file_io.h"

namespace orva::ccdview {

namespace {

constexpr double kEquatorialRadius = 6378.14;
constexpr double kGm = 398600.0;
constexpr double kJ2x15 = 0.001623945;
constexpr double kEarthTurnPerDay = 6.300388098527922;
// Greenwich hour angle of Aries at 1999-12-31 0h UT (day 0 of 2000), 98.9821 degrees by the IAU
// 1982 sidereal time. The value 1.7349148723 rad (99.4033 degrees) long used here put every image
// 0.42 degrees of longitude (up to 47 km) east of where it was taken.
constexpr double kAriesAtRefEpoch = 1.7275643715253162;
constexpr double kTwoPi = 6.283185307178;
constexpr double kPi = 3.141592653589;
constexpr double kDegToRad = 0.01745329251993889;
constexpr double kRadToDeg = 57.29577951309679;

bool contains_nocase(std::string_view text, std::string_view part)
{
    auto up = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [&](char a, char b) { return up(a) == up(b); }) != text.end();
}

struct Prepared {
    double in, ra, wp, ma, mm, ec, a0, b0, qd, wd, dc, te, ghae;
    long de;
};

Prepared prepare(const elements::KepRecord& k)
{
    Prepared p{};
    // The database's century rule: an epoch year below 50 is in the 2000s.
    int year = elements::full_epoch_year(k.epoch_year);
    double te = k.epoch_day;
    p.de = day_number(year, 1, 0) + long(std::floor(te));
    p.te = te - std::floor(te);
    p.in = k.inclination * kDegToRad;
    p.ra = k.raan * kDegToRad;
    p.wp = k.arg_perigee * kDegToRad;
    p.ma = k.mean_anomaly * kDegToRad;
    p.mm = k.mean_motion * kTwoPi;
    double m2 = k.decay * kTwoPi;
    p.ec = k.eccentricity;
    double n0 = p.mm / 86400.0;
    p.a0 = std::cbrt(kGm / (n0 * n0));
    p.b0 = p.a0 * std::sqrt(1 - p.ec * p.ec);
    double pc = kEquatorialRadius * p.a0 / (p.b0 * p.b0);
    pc = kJ2x15 * pc * pc * p.mm;
    double ci = std::cos(p.in);
    p.qd = -pc * ci;
    p.wd = pc * (5 * ci * ci - 1) / 2;
    p.dc = -2 * m2 / (3 * p.mm);
    double teg = double(p.de - day_number(2000, 1, 0)) + p.te;
    p.ghae = kAriesAtRefEpoch + teg * kEarthTurnPerDay;
    return p;
}

} // namespace

std::uint32_t capture_time(std::span<const std::uint8_t> h)
{
    if (h.size() < 8)
        return 0;
    return std::uint32_t(h[4]) | std::uint32_t(h[5]) << 8 | std::uint32_t(h[6]) << 16 | std::uint32_t(h[7]) << 24;
}

std::string spacecraft_for_name(std::string_view file_name)
{
    std::string name;
    if (contains_nocase(file_name, "U5"))
        name = "UO-22";
    if (contains_nocase(file_name, "KA"))
        name = "KO-23";
    if (contains_nocase(file_name, "KB"))
        name = "KO-25";
    return name;
}

std::optional<elements::KepRecord> find_element_set(std::span<const std::uint8_t> kep_file, std::string_view spacecraft)
{
    for (std::size_t off = 0; off + elements::kKepRecordSize <= kep_file.size(); off += elements::kKepRecordSize) {
        auto rec = elements::decode_kep_record(kep_file.subspan(off).first<elements::kKepRecordSize>());
        if (contains_nocase(rec.name, spacecraft))
            return rec;
    }
    return std::nullopt;
}

long day_number(int year, int month, int day)
{
    if (month <= 2) {
        year -= 1;
        month += 12;
    }
    return long(std::floor(year * 365.25)) + long(std::floor((month + 1) * 30.6)) + day - 428;
}

long epoch_day_number(const elements::KepRecord& k) { return prepare(k).de; }

GroundPoint sub_satellite_point(const elements::KepRecord& k, std::uint32_t unix_time)
{
    const Prepared p = prepare(k);
    std::time_t t = std::time_t(unix_time);
    std::tm tm{};
    gmtime_r(&t, &tm);
    long dn = day_number(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    double tn = (tm.tm_hour + tm.tm_min / 60.0 + tm.tm_sec / 3600.0) / 24.0;

    double T = double(dn - p.de) + (tn - p.te);
    double dt = p.dc * T / 2;
    double kd = 1 + 4 * dt, kdp = 1 - 7 * dt;
    double m = p.ma + p.mm * T * (1 - 3 * dt);
    m -= kTwoPi * std::floor(m / kTwoPi);
    double e = m;
    for (int i = 0; i < 100; ++i) {
        double d = (e - p.ec * std::sin(e) - m) / (1 - p.ec * std::cos(e));
        e -= d;
        if (std::fabs(d) < 0.00001)
            break;
    }
    double a = p.a0 * kd, b = p.b0 * kd;
    double x = a * (std::cos(e) - p.ec), y = b * std::sin(e);
    double rs = a * (1 - p.ec * std::cos(e));
    double ap = p.wp + p.wd * T * kdp;
    double raan = p.ra + p.qd * T * kdp;
    double cw = std::cos(ap), sw = std::sin(ap), cq = std::cos(raan), sq = std::sin(raan);
    double ci = std::cos(p.in), si = std::sin(p.in);
    double cx = x * (cw * cq - sw * ci * sq) + y * (-sw * cq - cw * ci * sq);
    double cy = x * (cw * sq + sw * ci * cq) + y * (-sw * sq + cw * ci * cq);
    double cz = x * (sw * si) + y * (cw * si);
    double g = p.ghae + T * kEarthTurnPerDay;
    double X = cx * std::cos(g) + cy * std::sin(g);
    double Y = -cx * std::sin(g) + cy * std::cos(g);

    double lon;
    if (X == 0)
        lon = Y >= 0 ? 90 : -90;
    else
        lon = std::atan(Y / X) * kRadToDeg;
    if (X < 0)
        lon += 180;
    if (lon < 0)
        lon += 360;
    if (lon > 180)
        lon -= 360;
    double lat = std::asin(std::clamp(cz / rs, -1.0, 1.0)) * kRadToDeg;
    return {lat, lon};
}

std::string compass_word(double b, bool east)
{
    if (b > 157.5)
        return "South";
    if (b > 112.5)
        return east ? "SouthEast" : "SouthWest";
    if (b > 67.5)
        return east ? "East" : "West";
    if (b > 22.5)
        return east ? "NorthEast" : "NorthWest";
    return "North";
}

NearestPlace nearest_place(const GroundPoint& point, std::span<const elements::ObserverRecord> places)
{
    NearestPlace best;
    double best_d = 10;
    const double f1 = point.latitude_deg * kDegToRad, l1 = point.longitude_deg * kDegToRad;
    for (std::size_t i = 0; i < places.size(); ++i) {
        double f2 = places[i].latitude * kDegToRad, l2 = places[i].longitude * kDegToRad;
        double cd = std::sin(f1) * std::sin(f2) + std::cos(f1) * std::cos(f2) * std::cos(l2 - l1);
        // Rounding can carry the cosine just past 1 at the point itself.
        double d = std::acos(std::clamp(cd, -1.0, 1.0));
        if (i == 0 || d < best_d) {
            best_d = d;
            best.index = i;
            double denom = std::cos(f2) * std::sin(d);
            double bearing = 0;
            if (std::fabs(denom) > 1e-12)
                bearing = std::acos(std::clamp((std::sin(f1) - std::sin(f2) * std::cos(d)) / denom, -1.0, 1.0)) *
                          kRadToDeg;
            best.bearing_deg = bearing;
            // East or west of the nearest place itself, across the date line too.
            double dl = std::remainder(point.longitude_deg - places[i].longitude, 360.0);
            best.compass = compass_word(bearing, dl >= 0);
        }
    }
    best.distance_km = best_d * 20016 / kPi;
    return best;
}

std::string info_box_text(std::string_view spacecraft, std::uint32_t unix_time, const GroundPoint& point,
                          const NearestPlace& place, std::string_view place_name, bool stale_elements)
{
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t t = std::time_t(unix_time);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char when[64];
    std::snprintf(when, sizeof when, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", kDays[tm.tm_wday % 7], kMonths[tm.tm_mon % 12],
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);

    std::string craft(spacecraft), where(place_name);
    char buf[512];
    std::string out;
    std::snprintf(buf, sizeof buf, "%28s Image\nRecorded on %s", craft.c_str(), when);
    out += buf;
    std::snprintf(buf, sizeof buf, "%15.1f Degrees %s Latitude\n%14.1f Degrees %s Longitude\n",
                  std::fabs(point.latitude_deg), point.latitude_deg >= 0 ? "North" : "South",
                  std::fabs(point.longitude_deg), point.longitude_deg >= 0 ? "East" : "West");
    out += buf;
    std::snprintf(buf, sizeof buf, "  %4.0f Deg %s and %.0f kilometres\n        from %s", place.bearing_deg,
                  place.compass.c_str(), place.distance_km, where.c_str());
    out += buf;
    if (stale_elements) {
        out += "\n WARNING !!! This image was captured\n";
        out += "90 days prior to existing kep element set.\n";
        out += "Position info may not be totally accurate.";
    }
    return out;
}

Result<std::optional<std::string>> locate_image(std::string_view file_name, std::span<const std::uint8_t> header_block,
                                                const std::filesystem::path& kep_file,
                                                const std::filesystem::path& obs_file)
{
    std::uint32_t when = capture_time(header_block);
    if (when == 0)
        return std::optional<std::string>{};
    std::string craft = spacecraft_for_name(file_name);

    auto keps = elements::read_whole_file(kep_file);
    if (!keps || !*keps)
        return make_error("Cannot open file " + kep_file.string());
    auto set = find_element_set(**keps, craft);
    if (!set)
        return make_error("Cannot find the Element Set for " + craft);

    auto obs = elements::read_whole_file(obs_file);
    if (!obs || !*obs)
        return make_error("Cannot open file " + obs_file.string());
    auto places = elements::decode_observer_file(**obs);
    if (!places)
        return make_error("Cannot read file " + obs_file.string() + ": " + places.error().message);
    if (places->empty())
        return make_error("There are no places in " + obs_file.string());

    GroundPoint point = sub_satellite_point(*set, when);
    NearestPlace place = nearest_place(point, *places);
    std::time_t t = std::time_t(when);
    std::tm tm{};
    gmtime_r(&t, &tm);
    long capture_day = day_number(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    bool stale = epoch_day_number(*set) - capture_day > 90;
    return std::optional<std::string>{
        info_box_text(craft, when, point, place, (*places)[place.index].name, stale)};
}

} // namespace orva::ccdview

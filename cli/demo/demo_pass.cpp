#include "cli/demo/demo_pass.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "station/core/tracking_list.h"
#include "station/orbit/sat_track.h"

namespace orva::tools {

namespace {
// The Earth's turn relative to the stars, degrees per second.
constexpr double kEarthDegPerSecond = 360.98564736629 / 86400.0;

struct Crossing {
    std::int64_t aos = 0, los = 0;
};

// The passes of the track between `from` and `until`, in order.
std::vector<Crossing> passes_of(const station::SatTrack& track, const station::SiteFrame& site, std::int64_t from,
                                std::int64_t until)
{
    std::vector<Crossing> out;
    std::int64_t t = from;
    while (t < until) {
        station::NextEvent rise = station::find_next_event(track, site, t, until - t);
        if (rise.time == station::kNoEvent)
            break;
        if (!rise.is_aos) { // begun above the horizon: skip to its end
            t = rise.time;
            continue;
        }
        station::NextEvent set = station::find_next_event(track, site, rise.time - 9, until - t);
        if (set.time == station::kNoEvent || set.is_aos)
            break;
        out.push_back({rise.time, set.time});
        t = set.time;
    }
    return out;
}
} // namespace

elements::KepRecord shifted_orbit(const elements::KepRecord& base, double shift_s)
{
    elements::KepRecord r = base;
    double epoch = station::epoch_unix_seconds(base.epoch_year, base.epoch_day) + shift_s;
    using namespace std::chrono;
    double whole_days = std::floor(epoch / 86400.0);
    year_month_day ymd{sys_days(days(std::int64_t(whole_days)))};
    sys_days jan1 = sys_days(ymd.year() / January / 1);
    double day_of_year = whole_days - double(jan1.time_since_epoch().count()) + 1.0;
    r.epoch_year = std::int16_t(int(ymd.year()) % 100);
    r.epoch_day = day_of_year + (epoch - whole_days * 86400.0) / 86400.0;
    r.raan = std::fmod(base.raan + kEarthDegPerSecond * shift_s, 360.0);
    if (r.raan < 0)
        r.raan += 360.0;
    return r;
}

Result<DemoPass> element_set_for_pass(const elements::KepRecord& base, const elements::ObserverSite& site,
                                      const PassWanted& wanted)
{
    station::SatTrack track;
    if (Status s = station::init_track(base, track, wanted.aos); !s)
        return s.error();
    station::SiteFrame frame = station::SiteFrame::from(site);
    std::int64_t from = track.epoch_time;
    std::vector<Crossing> all = passes_of(track, frame, from, from + wanted.search_days * 86400);
    const Crossing* best = nullptr;
    const std::int64_t middle = (wanted.shortest_s + wanted.longest_s) / 2;
    for (const Crossing& c : all) {
        std::int64_t len = c.los - c.aos;
        if (len < wanted.shortest_s || len > wanted.longest_s)
            continue;
        if (!best || std::llabs(len - middle) < std::llabs(best->los - best->aos - middle))
            best = &c;
    }
    if (!best)
        return make_error("the orbit of " + base.name + " has no pass of " + std::to_string(wanted.shortest_s) + " to " +
                          std::to_string(wanted.longest_s) + " s at the station within " +
                          std::to_string(wanted.search_days) + " days");
    DemoPass out;
    out.record = shifted_orbit(base, double(wanted.aos - best->aos));
    // Found again with the moved orbit, as the station will find it.
    station::SatTrack moved;
    if (Status s = station::init_track(out.record, moved, wanted.aos); !s)
        return s.error();
    std::vector<Crossing> again = passes_of(moved, frame, wanted.aos - 600, wanted.aos + 600);
    for (const Crossing& c : again)
        if (std::llabs(c.aos - wanted.aos) <= 5) {
            out.aos = c.aos;
            out.los = c.los;
            return out;
        }
    return make_error("the moved orbit of " + base.name + " does not rise when expected");
}

elements::KepRecord demo_orbit_ao16()
{
    elements::KepRecord r;
    r.name = "AO-16";
    r.catalogue = 20439;
    r.element_set = 999;
    r.epoch_rev = 90000;
    r.epoch_year = 26;
    r.epoch_day = 340.5;
    r.inclination = 98.0400;
    r.raan = 46.1850;
    r.eccentricity = 0.0011200;
    r.arg_perigee = 21.3200;
    r.mean_anomaly = 338.8400;
    r.mean_motion = 14.33152000;
    r.beacon_mhz = 437.026;
    return r;
}

elements::KepRecord demo_orbit_uo22()
{
    elements::KepRecord r;
    r.name = "UO-22";
    r.catalogue = 21575;
    r.element_set = 999;
    r.epoch_rev = 85000;
    r.epoch_year = 26;
    r.epoch_day = 340.5;
    r.inclination = 98.1100;
    r.raan = 201.7300;
    r.eccentricity = 0.0007600;
    r.arg_perigee = 95.4100;
    r.mean_anomaly = 264.7900;
    r.mean_motion = 14.38301000;
    r.beacon_mhz = 435.120;
    return r;
}

} // namespace orva::tools

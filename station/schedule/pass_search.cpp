#include "station/schedule/pass_search.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "station/orbit/earth_frames.h"

namespace orva::station {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kRadToDeg = 57.29577951308232;

double period_s(const SatTrack& t)
{
    return t.mean_motion_rev_day > 0 ? 86400.0 / t.mean_motion_rev_day : 86400.0;
}

// Highest elevation in [lo, hi] of a unimodal stretch, by golden-section search.
std::pair<double, double> refine_peak(const SatTrack& track, const SiteFrame& site, double lo, double hi)
{
    const double g = 0.6180339887498949;
    auto el = [&](double t) { return look_at(track, site, t).elevation; };
    double x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
    double f1 = el(x1), f2 = el(x2);
    while (hi - lo > 0.05) {
        if (f1 < f2) {
            lo = x1;
            x1 = x2;
            f1 = f2;
            x2 = lo + g * (hi - lo);
            f2 = el(x2);
        } else {
            hi = x2;
            x2 = x1;
            f2 = f1;
            x1 = hi - g * (hi - lo);
            f1 = el(x1);
        }
    }
    double t = (lo + hi) / 2;
    return {t, el(t)};
}

PassEntry make_entry(const ScheduledSatellite& s, const SiteFrame& site, const SearchRules& rules)
{
    PassEntry e;
    e.name = s.track.name;
    e.aos = s.aos;
    e.los = s.los;
    e.start_lead = s.start_lead;
    e.priority = s.priority;
    e.flip = s.flip;
    e.min_pass_time = s.min_pass_time;
    e.dont_run = s.sat_state;
    double peak = s.peak_elevation;
    e.tca = s.peak_low + 5;
    if (s.peak_bracketed) {
        auto [t, el] = refine_peak(s.track, site, double(s.peak_low), double(s.peak_low + 10));
        e.tca = std::int64_t(std::llround(t));
        peak = std::max(peak, el);
    }
    e.max_elevation_deg = peak * kRadToDeg;
    e.max_elevation = std::int32_t(s.peak_elevation * kRadToDeg);
    e.aos_azimuth_deg = s.aos_azimuth * kRadToDeg;
    e.los_azimuth_deg = s.los_azimuth * kRadToDeg;
    e.run_start = s.aos;
    e.run_end = s.los;
    bool horizon_found = rules.use_horizon && s.horizon_aos != 0;
    if (horizon_found) {
        e.run_start = s.horizon_aos;
        e.run_end = s.horizon_los;
        if (rules.display_horizon) {
            e.aos = s.horizon_aos;
            e.los = s.horizon_los;
        }
    }
    e.radio_horizon_missed = rules.use_horizon && !horizon_found;
    if (rules.use_horizon && !horizon_found) {
        e.elevation_ok = 0;
    } else {
        e.elevation_ok = e.max_elevation >= s.min_elevation ? 1 : 0;
        if (e.run_end - e.run_start < s.min_pass_time)
            e.elevation_ok = 0;
    }
    return e;
}
} // namespace

LookPoint look_at(const SatTrack& track, const SiteFrame& site, std::int64_t t)
{
    return look_at(track, site, double(t));
}

LookPoint look_at(const SatTrack& track, const SiteFrame& site, double t)
{
    if (!track.model)
        return {0, -kPi / 2};
    double since_s = (t - double(track.epoch_time)) - track.epoch_offset_s;
    Sgp4Result p = track.model->propagate(since_s / 60.0);
    if (p.error != Sgp4Error::None)
        return {0, -kPi / 2};
    Vec3 r = teme_to_earth_fixed(t) * (p.position_km * 1000.0);
    LookAngles a = look_angles(site, r);
    return {a.azimuth, a.elevation};
}

void reset_search(ScheduledSatellite& s, std::int64_t t)
{
    s.search_state = SearchState::Start;
    s.search_time = t;
    s.aos = -1;
    s.span_start = t;
    s.last_los = std::numeric_limits<std::int64_t>::min() / 2;
}

bool flip_needed(double a, double m, double l, bool stop_at_south)
{
    bool a_east = a < kPi, l_east = l < kPi;
    if (a_east == l_east)
        return false;
    if (!stop_at_south) {
        if (a_east)
            return m < a || m > l;
        return m > a || m < l;
    }
    if (a_east)
        return a < m && m < l;
    return l < m && m < a;
}

SearchStep search_step(ScheduledSatellite& s, const SiteFrame& site, const SearchRules& rules, std::int64_t horizon_end)
{
    SearchStep out;
    LookPoint p = look_at(s.track, site, s.search_time);
    double el = p.elevation;
    auto horizon_ok = [&] { return above_radio_horizon(p.azimuth * kRadToDeg, el * kRadToDeg, rules.horizon); };
    auto begin_back_to_aos = [&] {
        s.search_state = SearchState::BackToAos;
        std::int64_t period = std::int64_t(period_s(s.track));
        s.back_limit = std::max(s.search_time - period, s.last_los + 1);
    };
    auto complete = [&] {
        s.last_los = s.los;
        out.pass = make_entry(s, site, rules);
        if (s.aos > horizon_end)
            out.leave = true;
    };

    switch (s.search_state) {
    case SearchState::Start:
        s.prev_elevation = el;
        s.max_azimuth = kAzimuthNotFound;
        s.horizon_aos = s.horizon_los = 0;
        s.peak_elevation = -kPi / 2;
        s.peak_bracketed = false;
        s.search_time += 60;
        if (el > 0) {
            begin_back_to_aos();
        } else {
            s.search_state = SearchState::Below;
        }
        break;
    case SearchState::Below:
        if (el > 0) {
            begin_back_to_aos();
            s.search_time -= 1;
            break;
        }
        if (s.search_time > horizon_end) { // never rose within the span
            out.leave = true;
            break;
        }
        // The long step while falling is kept for a satellite well below the horizon: taken
        // nearer to it, it jumps over low passes that follow a short dip.
        if (el < s.prev_elevation && el < -0.5)
            s.search_time += 2100;
        else if (el >= -0.2)
            s.search_time += 60;
        else if (el >= -0.5)
            s.search_time += 180;
        else if (el >= -1.0)
            s.search_time += 660;
        else
            s.search_time += 1440;
        s.prev_elevation = el;
        break;
    case SearchState::BackToAos:
        if (el >= 0 && s.search_time > s.back_limit) {
            s.search_time -= 1;
            break;
        }
        s.aos_azimuth = p.azimuth;
        s.aos = s.search_time;
        if (el >= 0) // up for a whole orbit: the pass is taken from where the search began
            s.aos = std::max(s.span_start, s.last_los + 1);
        s.prev_elevation = el;
        s.peak_elevation = el;
        if (rules.use_horizon) {
            s.search_time = s.aos + 2;
            s.search_state = SearchState::HorizonAos;
        } else {
            s.search_time = s.aos + 181;
            s.search_state = SearchState::ToMax;
        }
        break;
    case SearchState::ToMax:
        if (el >= s.prev_elevation) {
            s.search_time += 60;
        } else {
            s.search_state = SearchState::BackToMax;
            s.search_time -= 5;
        }
        s.prev_elevation = el;
        s.peak_elevation = std::max(s.peak_elevation, el);
        break;
    case SearchState::BackToMax:
        if (el >= s.prev_elevation && s.search_time >= s.aos) {
            s.search_time -= 5;
            s.prev_elevation = el;
            break;
        }
        s.max_azimuth = p.azimuth;
        s.peak_elevation = s.prev_elevation;
        s.peak_low = s.search_time;
        s.peak_bracketed = s.search_time >= s.aos;
        s.search_state = SearchState::ToLos;
        s.search_time += 180;
        break;
    case SearchState::ToLos:
        // A pass never outlasts an orbit; one that would is closed there.
        if (el >= 0 && s.search_time < s.aos + std::int64_t(period_s(s.track))) {
            s.search_time += 60;
            break;
        }
        s.search_state = SearchState::BackToLos;
        if (el >= 0) { // never set: end the pass here
            s.los = s.search_time;
            s.los_azimuth = p.azimuth;
            s.search_time = s.los + 61;
            s.search_state = SearchState::Start;
            s.flip = rules.flip ? flip_needed(s.aos_azimuth, s.max_azimuth, p.azimuth, rules.stop_at_south) : 0;
            complete();
            break;
        }
        s.search_time -= 1;
        break;
    case SearchState::BackToLos:
        if (el <= 0 && s.search_time > s.aos) {
            s.search_time -= 1;
            break;
        }
        s.los = s.search_time;
        s.los_azimuth = p.azimuth;
        s.search_time = s.los + 61;
        s.search_state = SearchState::Start;
        s.flip = rules.flip ? flip_needed(s.aos_azimuth, s.max_azimuth == kAzimuthNotFound ? p.azimuth : s.max_azimuth,
                                          p.azimuth, rules.stop_at_south)
                            : 0;
        if (rules.use_horizon && s.horizon_aos != 0) {
            s.search_state = SearchState::HorizonLos;
            s.search_time -= 1;
            break;
        }
        complete();
        break;
    case SearchState::HorizonAos:
        if (el > s.prev_elevation) {
            s.prev_elevation = el;
            s.peak_elevation = std::max(s.peak_elevation, el);
        } else if (s.max_azimuth == kAzimuthNotFound) {
            s.max_azimuth = p.azimuth;
        }
        if (el >= 0) {
            if (horizon_ok()) {
                s.horizon_aos = s.search_time;
                s.search_time += 180;
                s.search_state = s.max_azimuth != kAzimuthNotFound ? SearchState::ToLos : SearchState::ToMax;
            } else {
                s.search_time += 1;
            }
        } else {
            s.search_state = SearchState::BackToLos;
            s.search_time -= 1;
        }
        break;
    case SearchState::HorizonLos:
        if (!horizon_ok() && s.search_time > s.horizon_aos) {
            s.search_time -= 1;
            break;
        }
        s.horizon_los = s.search_time;
        s.search_time = s.los + 1;
        s.search_state = SearchState::Start;
        complete();
        break;
    }
    return out;
}

} // namespace orva::station

#include "station/map/map_view.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "station/orbit/sun.h"

namespace orva::station::map {

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr int kFullRedrawEvery = 30;
constexpr StationSeconds kTerminatorAge = 250;

} // namespace

int fast_step(double mean_motion_rev_day, int speed)
{
    if (speed <= 0)
        speed = 100;
    if (!(mean_motion_rev_day > 0))
        return kMaxStep;
    const double step = 86400.0 / mean_motion_rev_day / speed;
    return int(std::clamp(step, 1.0, double(kMaxStep)));
}

int step_up(int step) { return std::min(step + step / 5 + 1, kMaxStep); }
int step_down(int step) { return std::max(step - step / 5 - 1, 1); }

MapOptions map_options(const settings::HelmoSettings& s)
{
    MapOptions o;
    o.normal = {s.map_terminator_norm != 0, s.map_groundtrack_norm != 0, s.map_circle_norm != 0, s.map_scroll_norm != 0};
    o.fast = {s.map_terminator_fast != 0, s.map_groundtrack_fast != 0, s.map_circle_fast != 0, s.map_scroll_fast != 0};
    o.origin = s.map_origin <= 2 ? int(s.map_origin) : 0;
    o.speed = (std::int32_t(s.map_speed) <= 0 || s.map_speed > 10000) ? 100 : int(s.map_speed);
    return o;
}

void store_map_options(settings::HelmoSettings& s, const MapOptions& o)
{
    s.map_terminator_norm = o.normal.terminator;
    s.map_groundtrack_norm = o.normal.ground_track;
    s.map_circle_norm = o.normal.circle;
    s.map_scroll_norm = o.normal.scroll;
    s.map_terminator_fast = o.fast.terminator;
    s.map_groundtrack_fast = o.fast.ground_track;
    s.map_circle_fast = o.fast.circle;
    s.map_scroll_fast = o.fast.scroll;
    s.map_origin = std::uint32_t(o.origin);
    s.map_speed = std::uint32_t(o.speed);
}

double angular_distance(double lat1, double lon1_west, double lat2, double lon2_west)
{
    const double p1 = lat1 * kDeg, p2 = lat2 * kDeg, dl = (lon2_west - lon1_west) * kDeg;
    const double a = std::sin((p2 - p1) / 2) * std::sin((p2 - p1) / 2)
                     + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    return 2 * std::asin(std::sqrt(std::clamp(a, 0.0, 1.0)));
}

MapView::MapView(MapOptions options, elements::ObserverSite home) : options_(options)
{
    observers_.push_back(std::move(home));
    frames_.push_back(SiteFrame::from(observers_.front()));
}

Status MapView::show_satellite(const elements::KepRecord& record, StationSeconds now)
{
    SatTrack track;
    if (auto s = init_track(record, track, now); !s)
        return s;
    track_ = std::move(track);
    kind_ = Kind::Satellite;
    name_ = track_.name;
    map_time_ = now;
    mode_ = MapMode::Normal;
    direction_ = MapDirection::Forward;
    track_points_ = {};
    refresh();
    return {};
}

void MapView::show_sun(StationSeconds now)
{
    kind_ = Kind::Sun;
    name_ = kSunName;
    track_ = {};
    map_time_ = now;
    mode_ = MapMode::Normal;
    direction_ = MapDirection::Forward;
    track_points_ = {};
    refresh();
}

void MapView::set_home(elements::ObserverSite home)
{
    frames_.front() = SiteFrame::from(home);
    observers_.front() = std::move(home);
    if (has_subject())
        compute();
}

void MapView::set_extra_observers(std::vector<elements::ObserverSite> extra)
{
    if (extra.size() > kMaxObservers - 1)
        extra.resize(kMaxObservers - 1);
    observers_.resize(1);
    frames_.resize(1);
    for (auto& site : extra) {
        frames_.push_back(SiteFrame::from(site));
        observers_.push_back(std::move(site));
    }
    if (has_subject())
        compute();
}

void MapView::set_options(const MapOptions& options)
{
    options_ = options;
    refresh();
}

double MapView::mean_motion() const
{
    // The Sun goes round the map once a day.
    return kind_ == Kind::Satellite ? track_.mean_motion_rev_day : 1.0;
}

double MapView::period_s() const { return 86400.0 / mean_motion(); }

bool MapView::press(MapKey key, StationSeconds now)
{
    switch (key) {
    case MapKey::Pause:
        paused_ = !paused_;
        return true;
    case MapKey::Fast:
        if (mode_ == MapMode::Normal) {
            mode_ = MapMode::Fast;
            step_ = fast_step(mean_motion(), options_.speed);
        } else {
            mode_ = MapMode::Normal;
            map_time_ = now;
            direction_ = MapDirection::Forward;
        }
        track_points_ = {};
        if (has_subject())
            refresh();
        return true;
    case MapKey::Direction:
        if (mode_ != MapMode::Fast)
            return false;
        direction_ = direction_ == MapDirection::Forward ? MapDirection::Backward : MapDirection::Forward;
        track_points_ = {};
        if (has_subject())
            refresh();
        return true;
    case MapKey::StepUp: {
        const int s = step_up(step_);
        const bool changed = s != step_;
        step_ = s;
        return changed;
    }
    case MapKey::StepDown: {
        const int s = step_down(step_);
        const bool changed = s != step_;
        step_ = s;
        return changed;
    }
    }
    return false;
}

bool MapView::track_stale() const
{
    if (track_points_.points.empty())
        return true;
    if (direction_ == MapDirection::Forward)
        return map_time_ > track_points_.end || map_time_ < track_points_.start;
    return map_time_ < track_points_.start || map_time_ > track_points_.end;
}

void MapView::compute_ground_track()
{
    track_points_ = {};
    if (kind_ != Kind::Satellite)
        return;
    const double period = period_s();
    const double spacing = period / kTrackPoints;
    const StationSeconds start = direction_ == MapDirection::Forward
                                     ? map_time_
                                     : map_time_ - StationSeconds(period) + 20;
    SatTrack t = track_;
    track_points_.start = start;
    for (int i = 0; i < kTrackPoints; ++i) {
        t.compute_time = start + StationSeconds(std::llround(i * spacing));
        if (!compute_position(t, frames_.front()))
            continue;
        track_points_.points.push_back({t.sub_latitude / kDeg, t.sub_longitude_west / kDeg});
    }
    track_points_.end = start + StationSeconds(std::llround((kTrackPoints - 1) * spacing));
}

void MapView::compute_terminator()
{
    const SunPosition sun = sun_position(double(map_time_));
    const double height_km = sun.distance_m / 1000.0 - kEarthRadiusKm;
    terminator_ = visibility_ring(sun.latitude / kDeg, -sun.longitude_east / kDeg, horizon_distance(height_km));
    terminator_time_ = map_time_;
    terminator_valid_ = true;
}

void MapView::refresh()
{
    full_pending_ = true;
    terminator_valid_ = false;
    if (has_subject())
        compute();
}

UpdateResult MapView::update(StationSeconds now)
{
    UpdateResult result;
    if (!has_subject() || paused_)
        return result;
    if (mode_ == MapMode::Normal) {
        map_time_ = now;
    } else {
        map_time_ += direction_ == MapDirection::Forward ? step_ : -step_;
    }
    const StationSeconds before = track_points_.start;
    const bool had_track = !track_points_.points.empty();
    compute();
    if (had_track && track_points_.start != before)
        full_pending_ = true;
    result.repaint = true;
    result.full_redraw = full_pending_;
    full_pending_ = false;
    return result;
}

void MapView::compute()
{
    const bool full_before = full_pending_;
    views_.clear();
    if (kind_ == Kind::Satellite) {
        track_.compute_time = map_time_;
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            if (!compute_position(track_, frames_[i]))
                continue;
            ObserverView v;
            v.name = observers_[i].name;
            v.azimuth_deg = track_.azimuth / kDeg;
            v.elevation_deg = track_.elevation / kDeg;
            v.range_km = track_.range_km;
            if (track_.beacon_hz != 0)
                v.doppler_hz = doppler_hz(track_);
            views_.push_back(std::move(v));
        }
        // The home station's computation last, so the track's state is the home station's view.
        (void)compute_position(track_, frames_.front());
        position_ = {track_.sub_latitude / kDeg, track_.sub_longitude_west / kDeg};
        height_km_ = track_.height_km;
        ma_ = track_.ma;
        const double d = horizon_distance(height_km_);
        for (std::size_t i = 0; i < views_.size() && i < observers_.size(); ++i) {
            // How deep inside the footprint the observer stands: 100 under the satellite, 0 on its
            // edge, negative outside.
            const double a = angular_distance(observers_[i].latitude_rad / kDeg, -observers_[i].longitude_east_rad / kDeg,
                                              position_.latitude_deg, position_.longitude_west_deg);
            views_[i].ofp = d > 0 ? int(std::lround(100.0 * (1.0 - a / d))) : 0;
        }
    } else {
        const SunPosition sun = sun_position(double(map_time_));
        position_ = {sun.latitude / kDeg, -sun.longitude_east / kDeg};
        height_km_ = sun.distance_m / 1000.0 - kEarthRadiusKm;
        ma_ = 0;
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            const LookAngles a = look_angles(frames_[i], sun.direction * sun.distance_m);
            views_.push_back({observers_[i].name, a.azimuth / kDeg, a.elevation / kDeg, a.range_m / 1000.0, {}, {}});
        }
    }
    circle_ = visibility_ring(position_.latitude_deg, position_.longitude_west_deg, horizon_distance(height_km_));

    if (switches().ground_track && kind_ == Kind::Satellite) {
        if (track_stale()) {
            compute_ground_track();
            full_pending_ = true;
        }
    } else {
        track_points_ = {};
    }

    const Pixel marker = map_pixel(position_.latitude_deg, position_.longitude_west_deg, options_.origin);
    if (!last_marker_ || !(*last_marker_ == marker)) {
        last_marker_ = marker;
        if (++moves_ % kFullRedrawEvery == 0)
            full_pending_ = true;
    }
    // The terminator moves slowly: it follows the map time only on a full redraw or after 250 s.
    if (full_pending_ || full_before || !terminator_valid_ || std::llabs(map_time_ - terminator_time_) > kTerminatorAge)
        compute_terminator();
}

std::string MapView::transponder_mode() const
{
    if (kind_ != Kind::Satellite)
        return "     ";
    return current_mode(track_);
}

MapShapes MapView::shapes() const
{
    MapShapes s;
    const int o = options_.origin;
    const MapSwitches& sw = switches();
    if (!has_subject())
        return s;
    if (sw.ground_track && !track_points_.points.empty())
        s.ground_track = cut_polyline(project(track_points_.points, o), false);
    if (sw.circle)
        s.circle = cut_polyline(project(circle_, o), true);
    if (sw.terminator && !terminator_.empty())
        s.terminator = cut_polyline(project(terminator_, o), true);
    s.marker = map_pixel(position_.latitude_deg, position_.longitude_west_deg, o);
    for (const auto& site : observers_)
        s.observers.push_back(map_pixel(site.latitude_rad / kDeg, -site.longitude_east_rad / kDeg, o));
    return s;
}

std::vector<elements::ObserverSite> resolve_observers(const std::vector<std::string>& chosen,
                                                      const std::vector<elements::ObserverRecord>& file)
{
    std::vector<elements::ObserverSite> out;
    for (const auto& name : chosen) {
        if (out.size() == kMaxObservers - 1)
            break;
        auto it = std::find_if(file.begin(), file.end(), [&](const auto& r) { return r.name == name; });
        if (it != file.end())
            out.push_back(elements::ObserverSite::from_record(*it));
    }
    return out;
}

std::optional<Pixel> map_window_position(std::uint32_t x_left, std::uint32_t y_top, int screen_width,
                                         int screen_height)
{
    const auto x = std::int32_t(x_left), y = std::int32_t(y_top);
    if (x < -420 || y < 0 || x >= screen_width - 40 || y >= screen_height - 40)
        return std::nullopt;
    return Pixel{x, y};
}

} // namespace orva::station::map

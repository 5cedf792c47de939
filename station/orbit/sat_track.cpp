#include "station/orbit/sat_track.h"

#include <cmath>

#include "station/orbit/earth_frames.h"

namespace orva::station {

namespace {
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRevPerDayToRadPerSec = 1.0 / 13750.98708314;
constexpr double kSpeedOfLightKmS = 299792.0;
} // namespace

double epoch_unix_seconds(int yy, double day)
{
    int y = yy < 50 ? yy + 99 : yy - 1;
    double whole = std::floor(day);
    double days = double((1461 * y) / 4 + 15385 - 40587) + whole - 1.0;
    return days * 86400.0 + (day - whole) * 86400.0;
}

StationSeconds epoch_station_time(int yy, double day)
{
    return StationSeconds(std::llround(epoch_unix_seconds(yy, day)));
}

Status init_track(const elements::KepRecord& r, SatTrack& t, StationSeconds now)
{
    Sgp4Elements el;
    el.mean_motion_rad_min = r.mean_motion * kRevPerDayToRadPerSec * 60.0;
    el.eccentricity = r.eccentricity;
    el.inclination = r.inclination * kDegToRad;
    el.raan = r.raan * kDegToRad;
    el.arg_perigee = r.arg_perigee * kDegToRad;
    el.mean_anomaly = r.mean_anomaly * kDegToRad;
    el.bstar = 0;
    if (!Sgp4::elements_usable(el) || !std::isfinite(r.epoch_day))
        return make_error("element set of " + r.name + " is unusable (mean motion " +
                          std::to_string(r.mean_motion) + ", eccentricity " +
                          std::to_string(r.eccentricity) + ")");
    t = SatTrack{};
    t.name = r.name;
    t.catalogue = r.catalogue;
    t.element_set = r.element_set;
    t.epoch_rev = r.epoch_rev;
    t.epoch_year = r.epoch_year;
    t.epoch_day = r.epoch_day;
    t.epoch_yyddd = r.epoch_year * 1000.0 + r.epoch_day;
    double exact = epoch_unix_seconds(r.epoch_year, r.epoch_day);
    t.epoch_time = epoch_station_time(r.epoch_year, r.epoch_day);
    t.epoch_offset_s = exact - double(t.epoch_time);
    t.mean_motion_rad_s = r.mean_motion * kRevPerDayToRadPerSec;
    t.mean_motion_rev_day = r.mean_motion;
    t.eccentricity = el.eccentricity;
    t.inclination = el.inclination;
    t.raan = el.raan;
    t.arg_perigee = el.arg_perigee;
    t.mean_anomaly = el.mean_anomaly;
    t.beacon_hz = r.beacon_mhz * 1e6;
    if (!(t.beacon_hz <= 5e10) || t.beacon_hz < 0)
        t.beacon_hz = 0;
    t.blon = r.blon / 57.29577951308232;
    t.blat = r.blat / 57.29577951308232;
    t.ma_base = r.epoch_rev + r.mean_anomaly / 360.0;
    t.modes = parse_mode_schedule(r.mode_schedule);
    t.compute_time = now;
    t.model.emplace(el);
    return {};
}

Status compute_position(SatTrack& t, const SiteFrame& site)
{
    if (!t.model)
        return make_error("satellite " + t.name + " has no element set");
    double since_s = double(t.compute_time - t.epoch_time) - t.epoch_offset_s;
    Sgp4Result p = t.model->propagate(since_s / 60.0);
    if (p.error != Sgp4Error::None)
        return make_error("orbit model failed for " + t.name, int(p.error));
    t.position_m = p.position_km * 1000.0;
    t.velocity_m_s = p.velocity_km_s * 1000.0;

    double now = double(t.compute_time);
    Mat3 rot = teme_to_earth_fixed(now);
    double w = gmst_rate_rad_s(now);
    Vec3 r = rot * t.position_m;
    Vec3 v = rot * t.velocity_m_s;
    v = v - Vec3{-w * r.y, w * r.x, 0}; // the frame turns with the Earth
    t.fixed_position_m = r;
    t.fixed_velocity_m_s = v;

    double phase = t.ma_base + since_s / (86400.0 / t.mean_motion_rev_day);
    double whole = std::floor(phase);
    t.orbit_number = std::int64_t(whole);
    t.ma = (phase - whole) * 256.0;

    Geodetic g;
    if (int err = geodetic_from_earth_fixed(r, g); err != 0)
        return make_error("no geodetic point for " + t.name, err);
    t.sub_latitude = g.latitude;
    t.sub_longitude_west = -g.longitude_east;
    t.height_km = g.height_m / 1000.0;

    LookAngles a = look_angles(site, r);
    t.azimuth = a.azimuth;
    t.elevation = a.elevation;
    t.range_km = a.range_m / 1000.0;
    Vec3 d = r - site.position;
    t.range_rate_km_s = a.range_m > 0 ? d.dot(v) / a.range_m / 1000.0 : 0.0;
    return {};
}

Status compute_position(SatTrack& t, const elements::ObserverSite& site)
{
    return compute_position(t, SiteFrame::from(site));
}

double range_rate(const SatTrack& t) { return t.range_rate_km_s; }

double doppler_hz(SatTrack& t)
{
    if (t.beacon_hz == 0)
        return 0;
    t.doppler_hz = t.range_rate_km_s / -kSpeedOfLightKmS * t.beacon_hz;
    return t.doppler_hz;
}

std::string current_mode(const SatTrack& t) { return mode_for_ma(t.modes, t.ma); }

bool above_radio_horizon(double azimuth_deg, double elevation_deg, const std::array<std::int32_t, 12>& horizon)
{
    double sector = std::floor(azimuth_deg / 30.0);
    std::size_t i = (sector >= 1 && sector <= 11) ? std::size_t(sector) : 0;
    return elevation_deg > horizon[i];
}

} // namespace orva::station

// A satellite's tracking state built from its KepRecord, and the position and look angles it
// gives for a time and a ground site.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "station/orbit/geodesy.h"
#include "station/orbit/mode_schedule.h"
#include "station/orbit/sgp4.h"
#include "station/orbit/vec3.h"

namespace orva::station {

using StationSeconds = std::int64_t; // seconds since 1970-01-01 00:00 UTC

// The element epoch of a two-digit year and day of year, exactly and as whole station seconds.
double epoch_unix_seconds(int two_digit_year, double epoch_day);
StationSeconds epoch_station_time(int two_digit_year, double epoch_day);

struct SatTrack {
    std::string name;
    std::uint16_t catalogue = 0;
    std::int32_t element_set = 0;
    std::int32_t epoch_rev = 0;
    int epoch_year = 0;
    double epoch_day = 0;
    double epoch_yyddd = 0;       // year * 1000 + day
    StationSeconds epoch_time = 0; // rounded to the second
    double epoch_offset_s = 0;     // exact epoch minus epoch_time, so rounding never shifts the orbit

    double mean_motion_rad_s = 0;
    double mean_motion_rev_day = 0;
    double eccentricity = 0, inclination = 0, raan = 0, arg_perigee = 0, mean_anomaly = 0;
    double bstar = 0; // the station's model ignores drag

    double beacon_hz = 0; // 0 = no beacon
    double doppler_hz = 0;
    double blon = 0, blat = 0; // radians; 9999 degrees kept as 9999 / 57.29...
    double ma_base = 0;
    std::vector<ModeEntry> modes;

    StationSeconds compute_time = 0;
    // Results of the last computation.
    Vec3 position_m, velocity_m_s;       // model frame (TEME)
    Vec3 fixed_position_m, fixed_velocity_m_s; // Earth-fixed
    double azimuth = 0, elevation = 0, range_km = 0, range_rate_km_s = 0;
    double sub_latitude = 0, sub_longitude_west = 0, height_km = 0;
    double ma = 0;
    std::int64_t orbit_number = 0;

    // Epoch-only terms of the model, built once by init_track.
    std::optional<Sgp4> model;
};

// Fills the track from the record. Fails for element sets the model cannot use
// (mean motion <= 0, eccentricity outside [0, 1)).
Status init_track(const elements::KepRecord& record, SatTrack& track, StationSeconds now);

// Propagates to track.compute_time and fills every result. On a failure the previous look angles
// stay as they were and the error says why.
Status compute_position(SatTrack& track, const SiteFrame& site);
Status compute_position(SatTrack& track, const elements::ObserverSite& site);

// Range rate in km/s of the last computation (positive when the distance grows), and the
// beacon's Doppler shift in Hz from it (positive while approaching); 0 without a beacon.
double range_rate(const SatTrack& track);
double doppler_hz(SatTrack& track);

std::string current_mode(const SatTrack& track);

// Radio horizon: 12 elevations in whole degrees per 30-degree sector from north.
bool above_radio_horizon(double azimuth_deg, double elevation_deg, const std::array<std::int32_t, 12>& horizon);

} // namespace orva::station

#include "station/rotator/tracking_tick.h"

#include <cmath>

#include "station/radio/doppler.h"

namespace orva::station {

TickResult TrackingTicker::tick(SatTrack& track, const elements::ObserverSite& site, const PassFrequencies& f,
                                LastSent& last, bool radio_open)
{
    TickResult r;
    if (!compute_position(track, site))
        return r;
    double rate = range_rate(track);
    bool below_horizon = track.elevation < 0;
    bool risen = was_below_ && !below_horizon;
    was_below_ = below_horizon;
    if (track.elevation < kLowestElevationRad)
        return r;

    Aim& a = r.aim;
    a.name = track.name.substr(0, 13);
    a.azimuth_deg = track.azimuth * kDegreesPerRadian;
    a.elevation_deg = track.elevation * kDegreesPerRadian;
    a.uplink_hz = uplink_radio_hz(f.uplink_hz, rate, f.uplink_offset_hz);
    a.downlink_hz = downlink_radio_hz(f.downlink_hz, rate, f.fine_offset_hz, f.downlink_offset_hz);
    a.uplink_mode = f.uplink_mode;
    a.downlink_mode = f.downlink_mode;
    a.mean_anomaly = track.ma;
    a.risen = risen;
    if (flip_)
        flip_aim(a.azimuth_deg, a.elevation_deg);

    if (!a.uplink_hz && !said_uplink_) {
        said_uplink_ = true;
        r.log.push_back("uplink of " + a.name + " has no usable frequency: uplink left untuned");
    }
    if (!a.downlink_hz && !said_downlink_) {
        said_downlink_ = true;
        r.log.push_back("downlink of " + a.name + " has no usable frequency: downlink left untuned");
    }

    r.commanded = true;
    r.report.name = a.name;
    r.report.azimuth_deg = a.azimuth_deg;
    r.report.elevation_deg = a.elevation_deg;
    r.report.uplink_hz = a.uplink_hz.value_or(0);
    r.report.downlink_hz = a.downlink_hz.value_or(0);
    r.report.doppler_factor = doppler_factor(rate);
    r.report.uplink_mode = a.uplink_mode;
    r.report.downlink_mode = a.downlink_mode;
    r.report.downlink_offset_hz = f.fine_offset_hz;
    r.report.mean_anomaly = std::int16_t(std::trunc(track.ma));

    if (model_.link == RotatorLink::Library) {
        r.rotor_position = std::pair{int(std::trunc(a.azimuth_deg)), int(std::trunc(a.elevation_deg))};
        if (radio_open) {
            if (a.uplink_hz)
                r.radio_uplink_hz = (long long)std::trunc(*a.uplink_hz);
            if (a.downlink_hz)
                r.radio_downlink_hz = (long long)std::trunc(*a.downlink_hz);
        }
    } else if (model_.link == RotatorLink::Serial) {
        r.serial = model_.tick(last, a);
    }
    return r;
}

} // namespace orva::station

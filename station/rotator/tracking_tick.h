// One tick of tracking, without I/O: from the satellite's position at `now` to the aim, the
// data server's record and the bytes or library calls the configured rotator type wants.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/elements/observer_file.h"
#include "station/core/track_data.h"
#include "station/orbit/sat_track.h"
#include "station/radio/pass_frequencies.h"
#include "station/rotator/aim.h"
#include "station/rotator/rotator_models.h"

namespace orva::station {

struct TickResult {
    bool commanded = false; // false: below -3 degrees, nothing sent
    Aim aim;
    TrackReport report;
    std::string serial; // bytes for a serial controller
    // Library calls: whole degrees, truncated; whole Hz, truncated.
    std::optional<std::pair<int, int>> rotor_position;
    std::optional<long long> radio_uplink_hz, radio_downlink_hz;
    std::vector<std::string> log; // lines to log (each said once per tracking)
};

class TrackingTicker {
public:
    TrackingTicker(const RotatorModel& model, bool flip_pass) : model_(model), flip_(flip_pass) {}

    // `track.compute_time` must already be set; the position is computed here.
    TickResult tick(SatTrack& track, const elements::ObserverSite& site, const PassFrequencies& f, LastSent& last,
                    bool radio_open);

private:
    const RotatorModel& model_;
    bool flip_;
    bool was_below_ = false;
    bool said_uplink_ = false, said_downlink_ = false;
};

} // namespace orva::station

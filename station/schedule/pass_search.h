// The pass search: a step machine per satellite that walks its track forward in coarse steps
// while it is below the horizon and by single seconds near AOS, the highest point and LOS.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "station/orbit/sat_track.h"
#include "station/schedule/pass_entry.h"

namespace orva::station {

inline constexpr double kAzimuthNotFound = 999.0;

enum class SearchState { Start, Below, BackToAos, ToMax, BackToMax, ToLos, BackToLos, HorizonAos, HorizonLos };

struct SearchRules {
    bool use_horizon = false, display_horizon = false;
    std::array<std::int32_t, 12> horizon{};
    bool flip = false;          // the rotator's "Flip"
    bool stop_at_south = true;  // "Stop Position" non-zero
};

// A satellite of the schedule list: its track, its settings and where its search stands.
struct ScheduledSatellite {
    SatTrack track;
    std::int32_t priority = 100, sat_state = 0, start_lead = 25, min_elevation = 0, min_pass_time = 0;

    SearchState search_state = SearchState::Start;
    std::int64_t search_time = 0;
    double prev_elevation = 0;
    std::int64_t aos = -1, los = 0, horizon_aos = 0, horizon_los = 0;
    double aos_azimuth = 0, max_azimuth = kAzimuthNotFound, los_azimuth = 0;
    std::int32_t flip = 0;

    // Bounds that make every search end.
    std::int64_t span_start = 0;   // where this search began
    std::int64_t back_limit = 0;   // the walk back to AOS stops here
    std::int64_t last_los = 0;
    double peak_elevation = 0;     // radians
    std::int64_t peak_low = 0;     // the highest point lies in [peak_low, peak_low + 10]
    bool peak_bracketed = false;
    bool in_search_list = false;
};

// Elevation and azimuth in radians at a time, without the rest of compute_position: what the
// search needs per step. A time the model cannot reach reads as far below the horizon.
struct LookPoint {
    double azimuth = 0, elevation = 0;
};
LookPoint look_at(const SatTrack& track, const SiteFrame& site, std::int64_t t);
LookPoint look_at(const SatTrack& track, const SiteFrame& site, double t);

// Starts the satellite's search afresh at `t`.
void reset_search(ScheduledSatellite& sat, std::int64_t t);

struct SearchStep {
    std::optional<PassEntry> pass; // a complete pass
    bool leave = false;            // the satellite's search has reached `horizon_end`
};

// One step of one satellite. `horizon_end` is the worker's start time plus the schedule days.
SearchStep search_step(ScheduledSatellite& sat, const SiteFrame& site, const SearchRules& rules,
                       std::int64_t horizon_end);

// Whether the rotator must work a pass in flip mode (azimuths in radians).
bool flip_needed(double aos_az, double max_az, double los_az, bool stop_at_south);

} // namespace orva::station

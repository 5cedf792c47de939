// The tracking list: the satellites of "Tracking" with their next AOS or LOS, kept sorted by it,
// and the texts of the live table, clock and status line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "station/orbit/sat_track.h"

namespace orva::station {

inline constexpr std::int64_t kNoEvent = -1; // no rise or set found within the look-ahead

struct TrackedSatellite {
    SatTrack track;
    std::int64_t next_event_time = 1; // 1: compute at once; 0: being computed
    bool next_is_aos = true;
    bool in_view = false;
    std::uint64_t generation = 0; // a next-event result is kept only for the track it was computed on
};

struct NextEvent {
    std::int64_t time = kNoEvent;
    bool is_aos = true;
};

// The next horizon crossing after `from` + 10 s: the first second above (AOS) or below (LOS).
NextEvent find_next_event(const SatTrack& track, const SiteFrame& site, std::int64_t from,
                          std::int64_t look_ahead = 7 * 86400);

// Stable by next_event_time (a satellite goes after those with an equal or earlier time).
void sort_tracking_list(std::vector<TrackedSatellite>& list);

// "%02d:%02d:%02d"; under four days the hours count the days, from four days only the hours of
// the day; empty for a negative span.
std::string countdown_text(std::int64_t seconds);

// One row of the live table as values (the web view draws its own table).
struct TrackingValues {
    std::string name;
    double azimuth_deg = 0, elevation_deg = 0, range_km = 0;
    std::optional<double> doppler_hz; // none without a beacon
    double ma = 0;
    std::string countdown;            // as in the row; empty without an event time
    std::int64_t next_event_time = 0; // 0: not known
    bool next_is_aos = true;
    std::string mode;
    double sub_latitude_deg = 0, sub_longitude_west_deg = 0, height_km = 0;
};
TrackingValues tracking_values(const SatTrack& track, std::int64_t now, std::int64_t next_event_time,
                               bool next_is_aos);

// One row of the live table.
std::string tracking_row(const SatTrack& track, std::int64_t now, std::int64_t next_event_time);
inline constexpr const char* kTrackingHeading = "Satellite    Azm  El  Range  Doplr   MA  CountDwn  Mode";
inline constexpr const char* kScheduleHeading = "Satellite     P El Start Time         Finish Time";

// "12:00:00 UTC", or local ("LOC") with the offset subtracted; the date "%2d %s %4d".
std::string clock_text(std::int64_t now, bool utc, std::int64_t local_offset);
std::string date_text(std::int64_t now, bool utc, std::int64_t local_offset);
// "AO-16 00:12:34 AOS" (the countdown is followed by a blank, then the marker).
std::string status_text(const std::string& name, std::int64_t until, bool is_los);

} // namespace orva::station

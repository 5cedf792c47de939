// The station's events in memory: the event list (pass events and the pass-start lead) and the
// timed list (Daily, Regularly, Week Days, Weekend Days) that the dispatcher runs.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/settings/subkey_records.h"
#include "station/schedule/dispatcher.h"

namespace orva::station {

enum class EventTiming : std::uint32_t {
    BeforePass = 0, AfterPass = 1, Daily = 2, Regularly = 3, WeekDays = 4, WeekendDays = 5,
    Startup = 6, Shutdown = 7, OnIdle = 8, OnEndIdle = 9,
};
enum class EventAssociate : std::uint32_t { NoSatellite = 0, SingleSatellite = 1, AllSatellites = 2, Housekeeping = 3 };

struct EventEntry {
    std::string key_path;
    std::string name;      // at most 25 characters
    std::string satellite; // at most 12
    EventTiming timing = EventTiming::BeforePass;
    EventAssociate associate = EventAssociate::NoSatellite;
    bool display = false;
    std::int64_t time = 0;
    std::int64_t next_run = 0;
};

// When a timed event runs next, computed at `now`.
std::int64_t next_run_time(const EventEntry& event, std::int64_t now);

class EventLists final : public DispatchEvents {
public:
    // Only active events; Startup and Shutdown are in neither list.
    void load(const std::vector<std::pair<std::string, settings::EventRecord>>& records, std::int64_t now);

    // DispatchEvents: the due timed events are queued for take_due() and rescheduled.
    std::int64_t run_due(std::int64_t now) override;
    std::int64_t before_pass_lead(const std::string& satellite) override;

    // The events that ran due since the last call, in order.
    std::vector<EventEntry> take_due();
    // "Before Pass" sorted by Time, largest first; "After Pass" smallest first.
    std::vector<EventEntry> pass_events(const std::string& satellite, EventTiming timing) const;
    std::vector<EventEntry> of_timing(EventTiming timing) const;
    const std::vector<EventEntry>& timed() const { return timed_; }
    const std::vector<EventEntry>& events() const { return events_; }

private:
    void insert_timed(EventEntry e);
    std::vector<EventEntry> events_;
    std::vector<EventEntry> timed_;
    std::vector<EventEntry> due_;
};

// What a finished event run writes back: its start, and for a success its end and result.
struct EventOutcome {
    bool success = false;
    std::uint32_t result = 0; // exit status, or 0xFFFFFFFF when the program could not start
    std::string message;
};

} // namespace orva::station

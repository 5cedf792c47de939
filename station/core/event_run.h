// One run of an event on its own thread: the program started and waited for, or the file
// housekeeping, and what the run writes back into the event's key. The outside world comes
// through EventRunner so the decisions are tested without processes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/result.h"
#include "platform/store/store.h"
#include "station/core/events.h"

namespace orva::station {

inline constexpr std::uint32_t kEventNotStarted = 0xFFFFFFFFu; // no program, or it could not start
inline constexpr std::uint32_t kEventKilled = 0xFFFFFFFEu;     // ended by a signal
inline constexpr int kRunKilled = -2; // the error code EventRunner::run gives for a signal

class EventRunner {
public:
    virtual ~EventRunner() = default;
    // "Program" and "Directory" of the event's key; an empty program when there is none.
    virtual std::string program(const EventEntry& event) = 0;
    virtual std::string directory(const EventEntry& event) = 0;
    // Runs it to its end: its exit code; nullopt when the station stopped first; an error when
    // it could not start or a signal ended it.
    virtual Result<std::optional<int>> run(const std::string& program, const std::string& directory) = 0;
    // Whether a window of class "Brek:MAIN", "Dispo" or "Tessel" exists.
    virtual bool suite_programs_open() = 0;
    // The file housekeeping: its result, or an error when it cannot run.
    virtual Result<std::uint32_t> housekeeping() = 0;
};

struct EventRun {
    bool finished = true;  // false: the station stopped while the program ran
    bool skipped = false;  // housekeeping while the engine, Dispo or Tessel runs
    EventOutcome outcome;
};

EventRun run_event_once(const EventEntry& event, EventRunner& runner);

// The event's key, found by its "Name" among the first keys under the events key; none when the
// event was deleted.
inline constexpr std::size_t kEventKeysSearched = 100;
std::optional<std::string> find_event_key(const platform::Store& store, const std::string& name);

// Written into the key found by the event's name (an error, and nothing written, when it is gone):
// "Last Run Time" when the run starts; at its end "Last Success Time" only for a success (a
// failure leaves the last success as it was) and "Last Return" for any finished run.
Status record_event_start(platform::Store& store, const EventEntry& event, std::uint32_t now);
Status record_event_end(platform::Store& store, const EventEntry& event, const EventRun& run, std::uint32_t now);

} // namespace orva::station

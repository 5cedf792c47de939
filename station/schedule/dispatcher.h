// The dispatcher: one walk through the schedule that picks the pass to run, starts and ends
// passes, gives pre-pass notices, and enters and leaves the idle state. It changes the schedule
// and its own state and returns what the host must do; it never waits.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "station/schedule/schedule.h"

namespace orva::station {

inline constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

// The timed events and pass leads, which the event lists provide.
class DispatchEvents {
public:
    virtual ~DispatchEvents() = default;
    // Runs the timed events due at `now`; returns the earliest future run time (kNever for none).
    virtual std::int64_t run_due(std::int64_t now) = 0;
    // Seconds the satellite's "Before Pass" events need before its pass.
    virtual std::int64_t before_pass_lead(const std::string& satellite) = 0;
};

struct RunningPass {
    bool running = false;
    std::string name;
    std::int64_t aos = 0; // identifies the entry with the name
    std::int32_t effective_priority = 0;
    std::int64_t run_start = 0, run_end = 0;
    bool end_requested = false;
};

struct DispatcherState {
    RunningPass running;
    std::int64_t next_wake = kNever;
    std::int64_t hold_off = 0;
    std::int64_t last_pass_end = 0;
    bool idle = true;
    bool scheduling_enabled = true;
    bool station_ended = false;
    // Status line: next AOS (or the running pass's LOS).
    std::string status_name;
    std::int64_t status_time = 0;
    bool status_is_los = false;
    bool busy = false;
};

enum class DispatchActionKind {
    PrePassNotice,      // sound, and with "Message Pop Ups" message 2044 for the entry
    ClosePrePassNotice, // the notice of the entry
    StartPass,          // hand the entry to a pass-execution thread
    EndPass,            // set the pass-end signal, ask the pass window to close
    BeginIdle,          // reset the idle signal, run the "On Idle" events
    EndIdle,            // set the idle signal, run the "On End Idle" events
    PassRemoved,        // an entry left the schedule (its satellite is searched again)
};

struct DispatchAction {
    DispatchActionKind kind;
    std::string name;
    std::int64_t aos = 0;
    bool show_notice = false; // PrePassNotice: with the 2044 message
    bool operator==(const DispatchAction&) const = default;
};

// Re-entrant calls return nothing at once.
std::vector<DispatchAction> dispatch(Schedule& schedule, DispatcherState& state, DispatchEvents* events,
                                     std::int64_t now);

const char* to_string(DispatchActionKind kind);

} // namespace orva::station

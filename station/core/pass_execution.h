// One pass from the dispatcher's start to its end: rotator and radio, "Before Pass" events,
// the modem, the satellite's program and its window, the engine messages, and afterwards the
// result, "After Pass" events and the release of the dispatcher. A step machine: poll() does
// what is due at `now` and says when to call again, so a thread or a test can drive it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"
#include "station/core/events.h"
#include "station/schedule/pass_entry.h"

namespace orva::station {

inline constexpr std::uint32_t kMsgListenOnly = 2041;
inline constexpr std::uint32_t kMsgPassEnd = 2042;

struct ProgramSettings {
    std::string program, directory;
    std::uint32_t run = 2;
};

// What the pass does outside itself. The hooks marked "locked" take the schedule lock.
class PassHooks {
public:
    virtual ~PassHooks() = default;
    virtual void track_satellite(const std::string& name) = 0; // rotator and radio; "" stops
    virtual void run_event(const EventEntry& event) = 0;
    virtual void start_modem_setup(const std::string& name) = 0;
    virtual bool modem_ready() = 0;
    virtual Result<ProgramSettings> read_program_settings(const std::string& name) = 0; // locked
    virtual Status start_program(const std::string& command, const ProgramSettings& settings) = 0;
    // A visible top-level window of the started program; true when found.
    virtual bool find_program_window() = 0;
    // Whether that window is the engine's ("Brek:MAIN", "Brek [name]").
    virtual bool program_window_is_engine(const std::string& name) = 0;
    virtual bool program_running() = 0;
    virtual void post_to_engine(std::uint32_t message, std::uint32_t word, std::int32_t value) = 0;
    virtual void forget_program() = 0;
    virtual void report(const std::string& text, const std::string& caption) = 0;
    virtual void play_error_sound() = 0;
    virtual bool pass_end_signalled() = 0;

    // Shared with the dispatcher (locked).
    virtual void set_hold_off(std::int64_t t) = 0;
    virtual void wake_dispatcher() = 0;
    virtual void clear_station_ended() = 0;
    virtual bool station_ended() = 0;
    virtual void mark_never_again() = 0; // the entry never runs again; the running pass is cleared
    virtual void finish_entry(std::int64_t last_run_end, bool ended_by_station, bool manual) = 0;
    virtual void clear_running() = 0;
};

inline constexpr const char* kProgramErrorText =
    "Error running program.  Helmo was unable to find the program associated with this satellite, or there was an "
    "error while running it.";
inline constexpr const char* kWindowErrorText =
    "Error running satellite program.  This may result in Helmo not being able to close the program at the end of "
    "the pass.  The Rotator will now be stopped.  If you want to start it again you should use the Enable Rotator "
    "menu option.";

class PassExecution {
public:
    // `before` and `after` are the pass's events, already sorted.
    PassExecution(const PassEntry& entry, std::vector<EventEntry> before, std::vector<EventEntry> after);

    // Does what is due at now_ms; returns when to be called next (ms), or none when finished.
    // `stopping` is the program-stop signal: the pass ends where it stands.
    std::optional<std::int64_t> poll(std::int64_t now_ms, PassHooks& hooks, bool stopping);
    bool finished() const { return state_ == State::Done; }
    const std::string& name() const { return name_; }
    std::int64_t aos() const { return aos_; }
    // A line for the log at each step.
    std::vector<std::string> take_log();

private:
    enum class State {
        Begin, BeforeEvents, BeforeTail, ModemWait, ModemGrace, Settings, WaitPassEnd, WindowFirstWait, WindowTry,
        Running, After, AfterEvents, Final, Done
    };
    std::int64_t seconds(std::int64_t ms) const { return ms / 1000; }
    void after_pass(std::int64_t now_ms, PassHooks& hooks);
    void log(std::string line) { log_.push_back(std::move(line)); }

    std::string name_;
    std::int64_t aos_, los_, run_end_;
    bool manual_, listen_only_;
    std::vector<EventEntry> before_, after_;
    State state_ = State::Begin;
    std::size_t index_ = 0;
    std::int64_t due_ms_ = 0;
    int tries_ = 0;
    std::vector<std::string> log_;
};

} // namespace orva::station

// Everything the station core asks of its host: the operator's messages, the pass's program,
// rotator and radio, modem, events and sounds. The headless program, the window and the tests
// each provide one.
#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"
#include "station/core/events.h"
#include "station/core/pass_execution.h"
#include "station/schedule/pass_entry.h"

namespace orva::station {

class StationIo {
public:
    virtual ~StationIo() = default;
    virtual void log(const std::string& line) = 0;
    // A failure the operator must see (a message box with that caption in the window).
    virtual void warn(const std::string& text, const std::string& caption) = 0;

    // Dispatcher requests.
    virtual void pre_pass_notice(const PassEntry& entry, bool show_window) = 0; // sound; 2044 when shown
    virtual void close_pre_pass_notice(const PassEntry& entry) = 0;
    virtual void pass_started(const PassEntry& entry) = 0; // a pass thread is to drive poll_pass
    virtual void run_event(const EventEntry& event) = 0;   // on a thread of its own

    // The pass's outside world.
    virtual void track_satellite(const std::string& name) = 0;
    virtual void start_modem_setup(const std::string& name) = 0;
    virtual bool modem_ready() = 0;
    virtual Result<ProgramSettings> read_program_settings(const std::string& name) = 0;
    virtual Status start_program(const std::string& command, const ProgramSettings& settings) = 0;
    virtual bool find_program_window() = 0;
    virtual bool program_window_is_engine(const std::string& name) = 0;
    virtual bool program_running() = 0;
    virtual void post_to_engine(std::uint32_t message, std::uint32_t word, std::int32_t value) = 0;
    virtual void close_program_window() = 0;
    virtual void forget_program() = 0;
    virtual void play_error_sound() = 0;
    // A tracked satellite has just risen above the horizon (the "Track AOS" sound).
    virtual void satellite_rose(const std::string& /*name*/) {}
};

} // namespace orva::station

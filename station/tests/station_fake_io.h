// A host for the station core in tests: records what the core asks for, and plays a program
// that opens its window at once and runs until it is asked to close.
#pragma once

#include <string>
#include <vector>

#include "station/core/station_io.h"

namespace orva::station::testing {

struct FakeIo : StationIo {
    std::vector<std::string> lines, warnings, calls;
    std::vector<std::string> events_run;
    std::vector<std::string> started;
    bool program_is_running = false;
    bool window_appears = true;
    bool closes_when_asked = true;
    bool settings_readable = true;
    std::string program = "BREK.EXE %S";
    int window_tries = 0;
    std::int64_t* clock = nullptr; // the test's station time, for stamps

    std::string stamp() const { return clock ? std::to_string(*clock) + " " : ""; }
    void log(const std::string& l) override { lines.push_back(l); }
    void warn(const std::string& text, const std::string& caption) override { warnings.push_back(caption + ": " + text); }
    void pre_pass_notice(const PassEntry& e, bool) override { calls.push_back(stamp() + "notice " + e.name); }
    void close_pre_pass_notice(const PassEntry& e) override { calls.push_back(stamp() + "close notice " + e.name); }
    void pass_started(const PassEntry& e) override { calls.push_back(stamp() + "pass " + e.name); }
    void run_event(const EventEntry& e) override
    {
        events_run.push_back(stamp() + e.name);
        calls.push_back(stamp() + "event " + e.name);
    }
    void track_satellite(const std::string& n) override { calls.push_back(stamp() + "track " + n); }
    void start_modem_setup(const std::string&) override {}
    bool modem_ready() override { return true; }
    Result<ProgramSettings> read_program_settings(const std::string& name) override
    {
        if (!settings_readable)
            return make_error("no satellite " + name);
        return ProgramSettings{program, "", 2};
    }
    Status start_program(const std::string& command, const ProgramSettings&) override
    {
        calls.push_back(stamp() + "start " + command);
        started.push_back(command);
        program_is_running = true;
        return {};
    }
    bool find_program_window() override
    {
        ++window_tries;
        return window_appears;
    }
    bool program_window_is_engine(const std::string&) override { return true; }
    bool program_running() override { return program_is_running; }
    void post_to_engine(std::uint32_t m, std::uint32_t w, std::int32_t v) override
    {
        calls.push_back(stamp() + "post " + std::to_string(m) + " " + std::to_string(w) + " " + std::to_string(v));
    }
    void close_program_window() override
    {
        calls.push_back(stamp() + "close window");
        if (closes_when_asked)
            program_is_running = false;
    }
    void forget_program() override {}
    void play_error_sound() override { calls.push_back(stamp() + "error sound"); }
};

} // namespace orva::station::testing

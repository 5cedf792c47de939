#include "station/core/pass_execution.h"

#include <algorithm>

#include "platform/command_line.h"

namespace orva::station {

namespace {
constexpr std::int64_t kMinEventGapMs = 250;
}

PassExecution::PassExecution(const PassEntry& e, std::vector<EventEntry> before, std::vector<EventEntry> after)
    : name_(e.name), aos_(e.aos), los_(e.los), run_end_(e.run_end), manual_(e.manual()), listen_only_(e.listen_only != 0),
      before_(std::move(before)), after_(std::move(after))
{
}

std::vector<std::string> PassExecution::take_log()
{
    std::vector<std::string> out;
    out.swap(log_);
    return out;
}

void PassExecution::after_pass(std::int64_t now_ms, PassHooks& hooks)
{
    std::int64_t now = seconds(now_ms);
    hooks.forget_program();
    hooks.finish_entry(now, hooks.station_ended(), manual_);
    hooks.set_hold_off(now + 10);
    hooks.track_satellite("");
    log("pass of " + name_ + " over");
    state_ = State::AfterEvents;
    index_ = 0;
    due_ms_ = now_ms + (after_.empty() ? 0 : after_.front().time * 1000);
    if (!after_.empty())
        hooks.set_hold_off(now + after_.back().time + 5);
}

std::optional<std::int64_t> PassExecution::poll(std::int64_t now_ms, PassHooks& hooks, bool stopping)
{
    if (stopping && state_ != State::Done) {
        // The program is stopping: nothing more is started or waited for.
        state_ = State::Done;
        log("pass of " + name_ + " abandoned: the station is stopping");
        return std::nullopt;
    }
    std::int64_t now = seconds(now_ms);
    for (;;) {
        switch (state_) {
        case State::Begin:
            hooks.track_satellite(name_);
            log("pass of " + name_ + " begins");
            state_ = State::BeforeEvents;
            index_ = 0;
            due_ms_ = now_ms;
            continue;
        case State::BeforeEvents:
            if (index_ >= before_.size()) {
                state_ = State::ModemWait;
                hooks.start_modem_setup(name_);
                due_ms_ = now_ms + 12500;
                continue;
            }
            if (now_ms < due_ms_)
                return due_ms_;
            hooks.run_event(before_[index_]);
            log("event " + before_[index_].name + " before the pass");
            if (index_ + 1 < before_.size()) {
                due_ms_ = now_ms + std::max(kMinEventGapMs, (before_[index_].time - before_[index_ + 1].time) * 1000);
                ++index_;
            } else {
                due_ms_ = now_ms + before_[index_].time * 1000;
                hooks.set_hold_off(now + before_[index_].time + 45);
                state_ = State::BeforeTail;
            }
            continue;
        case State::BeforeTail:
            if (now_ms < due_ms_)
                return due_ms_;
            state_ = State::ModemWait;
            hooks.start_modem_setup(name_);
            due_ms_ = now_ms + 12500;
            continue;
        case State::ModemWait:
            if (!hooks.modem_ready() && now_ms < due_ms_)
                return std::min(due_ms_, now_ms + 250);
            state_ = State::ModemGrace;
            due_ms_ = now_ms + 1500;
            continue;
        case State::ModemGrace:
            if (now_ms < due_ms_)
                return due_ms_;
            state_ = State::Settings;
            continue;
        case State::Settings: {
            Result<ProgramSettings> settings = hooks.read_program_settings(name_);
            if (!settings) {
                log("settings of " + name_ + " cannot be read (" + settings.error().message +
                    "): this pass will not run again");
                hooks.track_satellite("");
                hooks.mark_never_again();
                state_ = State::Done;
                return std::nullopt;
            }
            if (settings->program.empty()) {
                state_ = State::WaitPassEnd;
                continue;
            }
            Result<std::string> command = platform::substitute_satellite_name(settings->program, name_);
            Status started = command ? hooks.start_program(*command, *settings) : Status(command.error());
            if (!started) {
                log("cannot start \"" + settings->program + "\": " + started.error().message);
                hooks.report(kProgramErrorText, "Helmo");
                after_pass(now_ms, hooks);
                continue;
            }
            log("started " + *command);
            state_ = State::WindowFirstWait;
            due_ms_ = now_ms + 1000;
            tries_ = 0;
            continue;
        }
        case State::WaitPassEnd:
            if (!hooks.pass_end_signalled())
                return now_ms + 1000;
            after_pass(now_ms, hooks);
            continue;
        case State::WindowFirstWait:
            if (now_ms < due_ms_)
                return due_ms_;
            state_ = State::WindowTry;
            continue;
        case State::WindowTry:
            if (now_ms < due_ms_)
                return due_ms_;
            if (hooks.find_program_window()) {
                hooks.clear_station_ended();
                if (!manual_ && hooks.program_window_is_engine(name_)) {
                    if (listen_only_)
                        hooks.post_to_engine(kMsgListenOnly, 1, 0);
                    hooks.post_to_engine(kMsgPassEnd, 0, std::int32_t(run_end_));
                }
                hooks.set_hold_off(0);
                hooks.wake_dispatcher();
                log("program window of " + name_ + " found");
                state_ = State::Running;
                continue;
            }
            if (++tries_ >= 25) {
                hooks.play_error_sound();
                hooks.report(kWindowErrorText, "Helmo Error");
                log("no window of the program of " + name_ + " after 25 tries");
                after_pass(now_ms, hooks);
                continue;
            }
            due_ms_ = now_ms + 2000;
            return due_ms_;
        case State::Running:
            if (!hooks.program_running()) {
                log("program of " + name_ + " ended");
                after_pass(now_ms, hooks);
                continue;
            }
            if (now >= los_ + 60) {
                log("program of " + name_ + " still running 60 s after LOS: going on without it");
                after_pass(now_ms, hooks);
                continue;
            }
            // Checked often so the end is seen promptly; the limit is LOS + 60 s.
            return std::min(now_ms + 1000, (los_ + 60) * 1000);
        case State::After:
            after_pass(now_ms, hooks);
            continue;
        case State::AfterEvents:
            if (index_ >= after_.size()) {
                state_ = State::Final;
                due_ms_ = now_ms + 100;
                continue;
            }
            if (now_ms < due_ms_)
                return due_ms_;
            hooks.run_event(after_[index_]);
            log("event " + after_[index_].name + " after the pass");
            if (index_ + 1 < after_.size())
                due_ms_ = now_ms + std::max(kMinEventGapMs, (after_[index_ + 1].time - after_[index_].time) * 1000);
            ++index_;
            continue;
        case State::Final:
            if (now_ms < due_ms_)
                return due_ms_;
            // Cleared only now, so a new pass never starts while this one still holds hooks.
            hooks.clear_running();
            hooks.wake_dispatcher();
            state_ = State::Done;
            return std::nullopt;
        case State::Done:
            return std::nullopt;
        }
    }
}

} // namespace orva::station

// StationCore on the pass thread: poll_pass drives the running pass, and the pass's hooks reach
// the dispatcher state and the schedule entry here, each under the schedule lock.
#include "station/core/station_core.h"

namespace orva::station {

std::optional<std::int64_t> StationCore::poll_pass(std::int64_t now_ms, bool stopping)
{
    std::lock_guard drive(pass_mutex_);
    if (!pass_ || pass_->finished()) {
        std::lock_guard lock(mutex_);
        pass_ = std::move(pending_);
    }
    if (!pass_)
        return std::nullopt;
    std::optional<std::int64_t> next = pass_->poll(now_ms, *this, stopping);
    for (const std::string& line : pass_->take_log())
        io_.log(line);
    if (!next) {
        pass_.reset();
        std::lock_guard lock(mutex_);
        if (pending_)
            return now_ms; // a new pass is already waiting
    }
    return next;
}

bool StationCore::pass_active() const
{
    return pass_ != nullptr || pending_ != nullptr;
}

Result<ProgramSettings> StationCore::read_program_settings(const std::string& name)
{
    std::lock_guard lock(mutex_);
    return io_.read_program_settings(name);
}

void StationCore::set_hold_off(std::int64_t t)
{
    std::lock_guard lock(mutex_);
    state_.hold_off = t;
}

void StationCore::wake_dispatcher()
{
    std::lock_guard lock(mutex_);
    state_.next_wake = 0;
}

void StationCore::clear_station_ended()
{
    std::lock_guard lock(mutex_);
    state_.station_ended = false;
    if (PassEntry* e = schedule_.find_entry(state_.running.name, state_.running.aos))
        e->ended_by_station = 0;
}

bool StationCore::station_ended()
{
    std::lock_guard lock(mutex_);
    return state_.station_ended;
}

void StationCore::mark_never_again()
{
    std::lock_guard lock(mutex_);
    if (PassEntry* e = schedule_.find_entry(state_.running.name, state_.running.aos)) {
        e->last_run_end = kNeverRunsAgain;
        e->ended_by_station = 0;
        e->run_now = 0;
    }
    state_.running = RunningPass{};
    state_.next_wake = 0;
}

void StationCore::finish_entry(std::int64_t last_run_end, bool ended_by_station, bool manual)
{
    std::lock_guard lock(mutex_);
    // The entry may be gone (a redo, a removed satellite): found again by satellite and AOS.
    if (PassEntry* e = schedule_.find_entry(state_.running.name, state_.running.aos)) {
        e->last_run_end = last_run_end;
        if (manual)
            e->los = last_run_end;
        e->ended_by_station = ended_by_station ? 1 : 0;
        e->run_now = 0;
    }
}

void StationCore::clear_running()
{
    std::lock_guard lock(mutex_);
    state_.running = RunningPass{};
}

} // namespace orva::station

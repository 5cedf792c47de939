#include "station/core/pass_edit.h"

#include <algorithm>
#include <cstdlib>

#include "station/core/station_core.h"

namespace orva::station {

Status check_pass_edit(PassEdit& edit, std::int64_t now)
{
    if (edit.priority < 1 || edit.priority > 100) {
        if (!edit.dont_run)
            return make_error(kPriorityOutOfRange);
        edit.priority = 0;
    }
    if (edit.los <= edit.aos)
        return make_error(kLosBeforeAos);
    if (edit.los <= now)
        return make_error(kPassAlreadyOver);
    return {};
}

namespace {
// The edit's times and choices on an entry. A typed time that differs from the shown one becomes
// the usable pass's bound too, so the dispatcher works the pass the operator asked for; an
// unchanged one keeps the radio-horizon bound the search found.
void apply_edit(PassEntry& e, const PassEdit& edit, std::int64_t now)
{
    if (edit.aos != e.aos)
        e.run_start = edit.aos;
    if (edit.los != e.los)
        e.run_end = edit.los;
    e.run_start = std::clamp(e.run_start, edit.aos, edit.los);
    e.run_end = std::clamp(e.run_end, e.run_start, edit.los);
    if (edit.aos != e.aos)
        e.popup_done = edit.aos <= now + 10 ? 1 : 0;
    e.aos = edit.aos;
    e.los = edit.los;
    e.tca = std::clamp(e.tca, e.aos, e.los);
    e.priority = edit.priority;
    e.dont_run = edit.dont_run ? 1 : 0;
    if (edit.dont_run)
        e.run_now = 0;
    e.run_regardless = edit.run_regardless ? 1 : 0;
    e.ignore_pass_checking = edit.ignore_pass_checking ? 1 : 0;
}
} // namespace

Status StationCore::edit_pass(const std::string& name, std::int64_t aos, PassEdit edit, std::int64_t now)
{
    if (Status s = check_pass_edit(edit, now); !s)
        return s;
    std::lock_guard lock(mutex_);
    if (is_running(name, aos))
        return make_error(kPassIsRunning);
    std::optional<PassEntry> e = schedule_.take_entry(name, aos);
    if (!e)
        return make_error(kPassGone);
    apply_edit(*e, edit, now);
    io_.log("pass of " + name + " edited");
    schedule_.insert_edited(std::move(*e));
    dispatch_locked(now);
    return {};
}

Status StationCore::delete_pass(const std::string& name, std::int64_t aos, std::int64_t now)
{
    std::lock_guard lock(mutex_);
    if (is_running(name, aos))
        return make_error(kPassIsRunning);
    PassEntry* e = schedule_.find_entry(name, aos);
    if (!e)
        return make_error(kPassGone);
    e->dont_run = 1;
    e->run_now = 0;
    dispatch_locked(now);
    return {};
}

Status StationCore::add_pass(const std::string& name, PassEdit edit, std::int64_t now)
{
    if (Status s = check_pass_edit(edit, now); !s)
        return s;
    std::lock_guard lock(mutex_);
    for (const PassEntry& x : schedule_.entries())
        if (x.name == name && std::llabs(x.aos - edit.aos) < 60)
            return make_error("The schedule already has a pass of " + name + " within a minute of that AOS.");
    PassEntry e;
    e.name = name;
    e.aos = e.run_start = edit.aos;
    e.los = e.run_end = edit.los;
    e.tca = edit.aos + (edit.los - edit.aos) / 2;
    e.start_lead = 25;
    if (ScheduledSatellite* s = schedule_.find_satellite(name)) {
        e.start_lead = s->start_lead;
        e.min_pass_time = s->min_pass_time;
    }
    // The operator chose this window: it counts as long and high enough.
    e.elevation_ok = 1;
    apply_edit(e, edit, now);
    e.popup_done = e.aos <= now + 10 ? 1 : 0;
    io_.log("pass of " + name + " added");
    schedule_.insert_edited(std::move(e));
    dispatch_locked(now);
    return {};
}

} // namespace orva::station

#include "station/schedule/dispatcher.h"

#include <algorithm>

namespace orva::station {

const char* to_string(DispatchActionKind k)
{
    switch (k) {
    case DispatchActionKind::PrePassNotice: return "pre-pass notice";
    case DispatchActionKind::ClosePrePassNotice: return "close notice";
    case DispatchActionKind::StartPass: return "start pass";
    case DispatchActionKind::EndPass: return "end pass";
    case DispatchActionKind::BeginIdle: return "begin idle";
    case DispatchActionKind::EndIdle: return "end idle";
    case DispatchActionKind::PassRemoved: return "pass removed";
    }
    return "?";
}

std::vector<DispatchAction> dispatch(Schedule& schedule, DispatcherState& st, DispatchEvents* events, std::int64_t now)
{
    std::vector<DispatchAction> actions;
    if (st.busy)
        return actions;
    st.busy = true;
    const ScheduleConfig& cfg = schedule.config();
    std::int64_t wake = kNever;
    auto candidate = [&](std::int64_t t) {
        if (t > now)
            wake = std::min(wake, t);
    };

    // 1. Timed events.
    if (events)
        candidate(events->run_due(now));

    // 2. Effective priorities, notices, the best runnable entry.
    std::vector<PassEntry>& list = schedule.entries();
    std::vector<std::string> removed;
    for (std::size_t i = 0; i < list.size();) {
        if (list[i].los + 300 < now) {
            actions.push_back({DispatchActionKind::PassRemoved, list[i].name, list[i].aos});
            removed.push_back(list[i].name);
            list.erase(list.begin() + std::ptrdiff_t(i));
            continue;
        }
        ++i;
    }
    for (const std::string& name : removed)
        schedule.research_satellite(name, now);

    std::int64_t next_aos = kNever;
    std::string next_aos_name;
    PassEntry* best = nullptr;
    for (PassEntry& e : list) {
        if (e.los < now) {
            e.effective_priority = kCannotRun;
            continue;
        }
        std::int32_t eff = e.priority;
        if (e.last_run_end >= kNeverRunsAgain) { // even a "Run Now" cannot start it
            e.effective_priority = kCannotRun;
            continue;
        }
        if (e.run_now) {
            eff = 0;
        } else if (e.last_run_end != 0) {
            if (e.ended_by_station) {
                eff += 75;
            } else if (e.last_run_end + 3600 >= now) {
                e.effective_priority = kCannotRun;
                continue;
            } else {
                e.last_run_end = 0;
            }
        }
        candidate(e.los);
        candidate(e.aos);
        candidate(e.run_start);
        bool runnable = e.dont_run == 0 &&
                        (eff == 0 || ((e.run_regardless || e.elevation_ok) && e.los - e.min_pass_time >= now));
        if (!runnable) {
            e.effective_priority = kCannotRun;
            continue;
        }
        e.effective_priority = eff;
        if (!e.popup_done && e.run_start - cfg.pop_up_time < now && now < e.run_start - 21) {
            e.popup_done = 1;
            actions.push_back({DispatchActionKind::PrePassNotice, e.name, e.aos, cfg.message_pop_ups});
        } else {
            candidate(e.run_start - cfg.pop_up_time + 1); // the first second inside the window
        }
        if (e.popup_window != 0) {
            if (now >= e.run_start - 20) {
                actions.push_back({DispatchActionKind::ClosePrePassNotice, e.name, e.aos});
                e.popup_window = 0;
            } else {
                candidate(e.run_start - 20);
            }
        }
        if (e.aos > now && e.aos < next_aos) {
            next_aos = e.aos;
            next_aos_name = e.name;
        }
        if (!best || e.run_start < best->run_start)
            best = &e;
    }

    // 3. Status line.
    if (st.running.running && st.running.run_start <= now && now <= st.running.run_end) {
        st.status_name = st.running.name;
        st.status_time = st.running.run_end;
        st.status_is_los = true;
    } else if (next_aos != kNever) {
        st.status_name = next_aos_name;
        st.status_time = next_aos;
        st.status_is_los = false;
    } else {
        st.status_name.clear();
        st.status_time = 0;
    }

    // 4. Hold-off.
    std::int64_t next_start = kNever;
    if (now < st.hold_off) {
        wake = std::min(wake, st.hold_off);
    } else if (st.scheduling_enabled) {
        // 5. Conflicts.
        if (best) {
            PassEntry* comp = nullptr;
            for (PassEntry& e : list) {
                if (&e == best || e.effective_priority >= kCannotRun)
                    continue;
                if (e.run_start - e.start_lead - 15 >= best->run_end + cfg.pass_end_time)
                    continue;
                if (!comp || (e.effective_priority < comp->effective_priority && e.run_start < comp->run_start))
                    comp = &e;
            }
            if (comp) {
                std::int64_t ref = std::max(now, best->run_start);
                if (comp->effective_priority < best->effective_priority) {
                    std::int64_t c0 = comp->run_start - comp->start_lead;
                    if (c0 < best->run_end + cfg.pass_end_time) {
                        if (c0 <= now || c0 - ref < best->min_pass_time) {
                            best = comp;
                        } else {
                            candidate(c0);
                            candidate(c0 - best->min_pass_time + 1); // when it takes over
                        }
                    }
                } else if (best->run_end - ref < best->min_pass_time &&
                           !(st.running.running && best->name == st.running.name)) {
                    best = comp;
                }
            }
        }
        // 6. Start.
        if (!st.running.running && best) {
            if (best->run_end - now < best->min_pass_time) {
                next_start = best->run_end + 1;
            } else {
                std::int64_t lead = events ? events->before_pass_lead(best->name) : 0;
                next_start = best->run_start - best->start_lead - lead;
                if (now >= next_start) {
                    st.running = RunningPass{true, best->name, best->aos, best->effective_priority, best->run_start,
                                             best->run_end, false};
                    st.station_ended = false;
                    st.hold_off = now + 30;
                    actions.push_back({DispatchActionKind::StartPass, best->name, best->aos});
                    candidate(st.hold_off);
                }
            }
        }
        // 7. End.
        if (st.running.running) {
            std::int64_t end = st.running.run_end + cfg.pass_end_time;
            if (best && best->name != st.running.name && best->run_start - best->start_lead < end &&
                best->effective_priority < st.running.effective_priority)
                end = best->run_start - best->start_lead - 10;
            if (now >= end) {
                if (!st.running.end_requested) {
                    st.running.end_requested = true;
                    st.station_ended = true;
                    if (PassEntry* e = schedule.find_entry(st.running.name, st.running.aos))
                        e->ended_by_station = 1;
                    actions.push_back({DispatchActionKind::EndPass, st.running.name, st.running.aos});
                    st.last_pass_end = now;
                    st.hold_off = now + 15;
                    candidate(st.hold_off);
                }
            } else {
                candidate(end);
            }
        }
        // 8. Idle.
        if (st.idle) {
            if (next_start != kNever && next_start - now < 90) {
                st.idle = false;
                actions.push_back({DispatchActionKind::EndIdle, "", 0});
            } else if (next_start != kNever) {
                candidate(next_start - 89);
            }
        } else if (!st.running.running && (next_start == kNever || next_start - now > 300)) {
            if (now - st.last_pass_end > 60) {
                st.idle = true;
                actions.push_back({DispatchActionKind::BeginIdle, "", 0});
            } else {
                candidate(st.last_pass_end + 61);
            }
        }
    }

    // 9. Next wake-up.
    candidate(next_start);
    st.next_wake = wake;
    st.busy = false;
    return actions;
}

} // namespace orva::station

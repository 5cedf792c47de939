#include "station/schedule/schedule.h"

#include <algorithm>


namespace orva::station {

namespace {
bool same_name_nocase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = char(x - 32);
        if (y >= 'a' && y <= 'z')
            y = char(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

std::uint32_t utc_hour(std::int64_t t)
{
    std::int64_t s = ((t % 86400) + 86400) % 86400;
    return std::uint32_t(s / 3600);
}
} // namespace

bool hour_in_window(std::uint32_t hour, std::uint32_t start, std::uint32_t stop)
{
    if (stop >= start)
        return start <= hour && hour < stop;
    return hour >= start || hour < stop;
}

Schedule::Schedule(ScheduleConfig config, const elements::ObserverSite& home)
    : config_(config), site_(SiteFrame::from(home))
{
}

void Schedule::set_home(const elements::ObserverSite& home) { site_ = SiteFrame::from(home); }

ScheduledSatellite* Schedule::find_satellite(std::string_view name)
{
    for (auto& s : satellites_)
        if (same_name_nocase(s->track.name, name))
            return s.get();
    return nullptr;
}

ScheduledSatellite& Schedule::add_satellite(ScheduledSatellite sat)
{
    satellites_.push_back(std::make_unique<ScheduledSatellite>(std::move(sat)));
    satellites_.back()->in_search_list = false;
    return *satellites_.back();
}

void Schedule::remove_satellite(std::string_view name)
{
    ScheduledSatellite* s = find_satellite(name);
    if (!s)
        return;
    std::string exact = s->track.name;
    std::erase(search_list_, s);
    std::erase_if(entries_, [&](const PassEntry& e) { return same_name_nocase(e.name, exact); });
    std::erase_if(satellites_, [&](const auto& p) { return p.get() == s; });
}

std::size_t Schedule::search_list_size() const { return search_list_.size(); }

void Schedule::join_search_list(ScheduledSatellite& sat)
{
    if (sat.in_search_list)
        return;
    sat.in_search_list = true;
    search_list_.push_back(&sat);
}

void Schedule::leave_search_list(ScheduledSatellite& sat)
{
    sat.in_search_list = false;
    std::erase(search_list_, &sat);
}

bool Schedule::research_satellite(std::string_view name, std::int64_t now)
{
    ScheduledSatellite* s = find_satellite(name);
    // A satellite switched off during its running pass stays only until that pass ends.
    if (!s || s->in_search_list || s->sat_state >= 2 || s->search_time >= now + config_.schedule_days * 86400)
        return false;
    s->search_state = SearchState::Start;
    join_search_list(*s);
    return true;
}

void Schedule::reset_all_searches(std::int64_t now)
{
    for (auto& s : satellites_) {
        reset_search(*s, now);
        join_search_list(*s);
    }
}

int Schedule::search_sweep(std::int64_t now, std::int64_t horizon_end)
{
    int inserted = 0;
    std::vector<ScheduledSatellite*> leaving;
    for (ScheduledSatellite* s : search_list_) {
        SearchStep step = search_step(*s, site_, config_.search, horizon_end);
        if (step.pass && step.pass->los > now && insert_entry(std::move(*step.pass), now))
            ++inserted;
        if (step.leave)
            leaving.push_back(s);
    }
    for (ScheduledSatellite* s : leaving) {
        s->in_search_list = false;
        std::erase(search_list_, s);
    }
    return inserted;
}

int Schedule::run_search(std::int64_t now)
{
    int inserted = 0;
    std::int64_t horizon_end = now + config_.schedule_days * 86400;
    while (!search_list_.empty())
        inserted += search_sweep(now, horizon_end);
    return inserted;
}

bool Schedule::outside_operating_hours(std::int64_t aos) const
{
    return config_.hours.limit_hours && !hour_in_window(utc_hour(aos), config_.hours.start_hour, config_.hours.stop_hour);
}

bool Schedule::insert_entry(PassEntry e, std::int64_t now)
{
    std::uint32_t hour = utc_hour(e.aos);
    if (config_.hours.listen_hours && hour_in_window(hour, config_.hours.listen_start, config_.hours.listen_stop))
        e.listen_only = 1;
    if (outside_operating_hours(e.aos))
        e.dont_run = 1;
    e.popup_done = e.aos <= now + 10 ? 1 : 0;
    e.last_run_end = 0;
    auto at = std::find_if(entries_.begin(), entries_.end(), [&](const PassEntry& x) { return x.aos > e.aos; });
    if (e.priority != 0) {
        auto dup = [&](const PassEntry& x) { return x.name == e.name && std::llabs(x.aos - e.aos) < 60; };
        if ((at != entries_.end() && dup(*at)) || (at != entries_.begin() && dup(*(at - 1))))
            return false;
    }
    entries_.insert(at, std::move(e));
    return true;
}

void Schedule::insert_manual(PassEntry entry) { entries_.insert(entries_.begin(), std::move(entry)); }

void Schedule::insert_edited(PassEntry entry)
{
    auto at = std::find_if(entries_.begin(), entries_.end(), [&](const PassEntry& x) { return x.aos > entry.aos; });
    entries_.insert(at, std::move(entry));
}

PassEntry* Schedule::find_entry(std::string_view name, std::int64_t aos)
{
    for (PassEntry& e : entries_)
        if (e.name == name && e.aos == aos)
            return &e;
    return nullptr;
}

std::optional<PassEntry> Schedule::take_entry(std::string_view name, std::int64_t aos)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->name == name && it->aos == aos) {
            PassEntry e = std::move(*it);
            entries_.erase(it);
            return e;
        }
    return std::nullopt;
}

std::vector<PassEntry> Schedule::take_for_save()
{
    std::vector<PassEntry> kept;
    for (PassEntry& e : entries_)
        if (e.priority > 0 || e.dont_run == 1)
            kept.push_back(std::move(e));
    entries_.clear();
    return kept;
}

std::vector<std::string> Schedule::load_entries(const std::vector<PassEntry>& saved, std::int64_t now)
{
    std::vector<std::string> unknown;
    for (const PassEntry& e : saved) {
        if (e.los < now + 20)
            continue;
        ScheduledSatellite* s = find_satellite(e.name);
        if (!s) {
            if (std::find(unknown.begin(), unknown.end(), e.name) == unknown.end())
                unknown.push_back(e.name);
            continue;
        }
        s->search_time = e.los + 300;
        s->span_start = s->search_time;
        s->last_los = e.los;
        s->search_state = SearchState::Start;
        if (insert_entry(e, now) && e.last_run_end >= kNeverRunsAgain)
            if (PassEntry* in = find_entry(e.name, e.aos))
                in->last_run_end = e.last_run_end;
    }
    return unknown;
}

} // namespace orva::station

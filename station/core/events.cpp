#include "station/core/events.h"

#include <algorithm>

namespace orva::station {

namespace {
bool same_nocase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto up = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; };
               return up(x) == up(y);
           });
}

bool is_timed(EventTiming t)
{
    return t == EventTiming::Daily || t == EventTiming::Regularly || t == EventTiming::WeekDays ||
           t == EventTiming::WeekendDays;
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// 0 = Sunday; 1970-01-01 was a Thursday.
int week_day(std::int64_t t) { return int(((floor_div(t, 86400) + 4) % 7 + 7) % 7); }
} // namespace

std::int64_t next_run_time(const EventEntry& e, std::int64_t now)
{
    if (e.timing == EventTiming::Regularly)
        return now + e.time + 2;
    std::int64_t tomorrow = floor_div(now + 86402, 86400) * 86400;
    std::int64_t hours = e.time / 3600, minutes = (e.time % 3600) / 60;
    std::int64_t t = tomorrow + hours * 3600 + minutes * 60;
    if (t - 86400 >= now + 2)
        t -= 86400;
    int d = week_day(t);
    if (e.timing == EventTiming::WeekDays) {
        if (d == 0)
            t += 86400;
        else if (d == 6)
            t += 172800;
    } else if (e.timing == EventTiming::WeekendDays) {
        if (d >= 1 && d <= 5)
            t += (6 - d) * 86400;
    }
    return t;
}

void EventLists::load(const std::vector<std::pair<std::string, settings::EventRecord>>& records, std::int64_t now)
{
    events_.clear();
    timed_.clear();
    std::size_t count = 0;
    for (const auto& [key, r] : records) {
        if (++count > 1000)
            break;
        if (!r.active)
            continue;
        EventEntry e;
        e.key_path = key;
        e.name = r.name.substr(0, 25);
        e.satellite = r.satellite.substr(0, 12);
        e.timing = EventTiming(r.run);
        e.associate = EventAssociate(r.associate);
        e.display = r.display != 0;
        e.time = r.time;
        if (e.timing == EventTiming::Startup || e.timing == EventTiming::Shutdown)
            continue;
        events_.push_back(e);
        if (is_timed(e.timing)) {
            e.next_run = next_run_time(e, now);
            insert_timed(e);
        }
    }
}

void EventLists::insert_timed(EventEntry e)
{
    auto at = std::find_if(timed_.begin(), timed_.end(), [&](const EventEntry& x) { return x.next_run >= e.next_run; });
    timed_.insert(at, std::move(e));
}

std::int64_t EventLists::run_due(std::int64_t now)
{
    for (bool again = true; again;) {
        again = false;
        for (std::size_t i = 0; i < timed_.size(); ++i) {
            if (timed_[i].next_run > now)
                continue;
            EventEntry e = timed_[i];
            due_.push_back(e);
            timed_.erase(timed_.begin() + std::ptrdiff_t(i));
            e.next_run = next_run_time(e, now);
            insert_timed(std::move(e));
            again = true;
            break;
        }
    }
    return timed_.empty() ? kNever : timed_.front().next_run;
}

std::int64_t EventLists::before_pass_lead(const std::string& satellite)
{
    std::int64_t lead = 0;
    for (const EventEntry& e : events_) {
        // Only "Before Pass" events hold a pass start back; an "After Pass" event's Time
        // counts from the pass end.
        if (e.timing != EventTiming::BeforePass)
            continue;
        bool mine = e.associate == EventAssociate::AllSatellites ||
                    (e.associate == EventAssociate::SingleSatellite && same_nocase(e.satellite, satellite));
        if (mine)
            lead = std::max(lead, e.time);
    }
    return lead;
}

std::vector<EventEntry> EventLists::take_due()
{
    std::vector<EventEntry> out;
    out.swap(due_);
    return out;
}

std::vector<EventEntry> EventLists::pass_events(const std::string& satellite, EventTiming timing) const
{
    std::vector<EventEntry> out;
    for (const EventEntry& e : events_)
        if (e.timing == timing &&
            (e.associate == EventAssociate::AllSatellites ||
             (e.associate == EventAssociate::SingleSatellite && same_nocase(e.satellite, satellite))))
            out.push_back(e);
    if (timing == EventTiming::BeforePass)
        std::stable_sort(out.begin(), out.end(), [](const EventEntry& a, const EventEntry& b) { return a.time > b.time; });
    else
        std::stable_sort(out.begin(), out.end(), [](const EventEntry& a, const EventEntry& b) { return a.time < b.time; });
    return out;
}

std::vector<EventEntry> EventLists::of_timing(EventTiming timing) const
{
    std::vector<EventEntry> out;
    for (const EventEntry& e : events_)
        if (e.timing == timing)
            out.push_back(e);
    return out;
}

} // namespace orva::station

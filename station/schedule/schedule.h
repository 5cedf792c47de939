// The schedule: the satellites it searches, their search list and the time-ordered pass entries.
// Not locked itself: its owner holds the schedule lock around every call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/elements/observer_file.h"
#include "station/orbit/geodesy.h"
#include "station/schedule/pass_entry.h"
#include "station/schedule/pass_search.h"

namespace orva::station {

struct HoursRules {
    bool listen_hours = false;
    std::uint32_t listen_start = 0, listen_stop = 0;
    bool limit_hours = false;
    std::uint32_t start_hour = 0, stop_hour = 0;
};

struct ScheduleConfig {
    SearchRules search;
    HoursRules hours;
    std::int64_t schedule_days = 1;
    std::int64_t pop_up_time = 180, pass_end_time = 10;
    bool message_pop_ups = true;
};

// Whether `hour` lies in [start, stop), wrapping past midnight when stop < start.
bool hour_in_window(std::uint32_t hour, std::uint32_t start, std::uint32_t stop);

class Schedule {
public:
    Schedule(ScheduleConfig config, const elements::ObserverSite& home);

    const ScheduleConfig& config() const { return config_; }
    void set_config(const ScheduleConfig& config) { config_ = config; }
    const SiteFrame& site() const { return site_; }
    void set_home(const elements::ObserverSite& home);

    // Satellites (names compare without regard to case).
    ScheduledSatellite* find_satellite(std::string_view name);
    ScheduledSatellite& add_satellite(ScheduledSatellite sat);
    // Takes it out of the search list, drops every one of its passes and frees its track.
    void remove_satellite(std::string_view name);
    const std::vector<std::unique_ptr<ScheduledSatellite>>& satellites() const { return satellites_; }

    // The search list: satellites whose search has not reached the horizon.
    std::size_t search_list_size() const;
    void join_search_list(ScheduledSatellite& sat);
    void leave_search_list(ScheduledSatellite& sat);
    // When one of its passes leaves the schedule: back into the search if it still has time.
    bool research_satellite(std::string_view name, std::int64_t now);
    // Redo: every search starts again at `now`, every satellite in the search list.
    void reset_all_searches(std::int64_t now);

    // One sweep: a step for each satellite of the search list, in list order. Completed passes
    // whose LOS is after `now` are inserted. Returns how many were inserted.
    int search_sweep(std::int64_t now, std::int64_t horizon_end);
    // Sweeps until the search list is empty.
    int run_search(std::int64_t now);

    // "Limit Hours": a pass starting at `aos` falls outside the station's operating hours.
    bool outside_operating_hours(std::int64_t aos) const;

    // Inserts by AOS after the entries of an equal AOS, with the hour rules; false for a
    // duplicate (same satellite, AOS within 60 s, not a manual pass).
    bool insert_entry(PassEntry entry, std::int64_t now);
    // A manual pass goes to the head.
    void insert_manual(PassEntry entry);
    // An entry edited by hand goes back by AOS after the entries of an equal AOS, as it is:
    // the hour rules and the duplicate check were the search's, the operator's word now holds.
    void insert_edited(PassEntry entry);
    std::vector<PassEntry>& entries() { return entries_; }
    const std::vector<PassEntry>& entries() const { return entries_; }
    PassEntry* find_entry(std::string_view name, std::int64_t aos);
    // Takes an entry out (a dialog edits it, then inserts it again); none when absent.
    std::optional<PassEntry> take_entry(std::string_view name, std::int64_t aos);

    // What "Orva Schedule.DAT" keeps (priority > 0 or dont_run), emptying the list.
    std::vector<PassEntry> take_for_save();
    // Saved entries: those ending before now + 20 are dropped; each moves its satellite's search
    // to 300 s after its LOS so no pass is scheduled twice. Unknown satellites are named in the
    // return value and their entries dropped.
    std::vector<std::string> load_entries(const std::vector<PassEntry>& saved, std::int64_t now);

private:
    ScheduleConfig config_;
    SiteFrame site_;
    std::vector<std::unique_ptr<ScheduledSatellite>> satellites_;
    std::vector<ScheduledSatellite*> search_list_;
    std::vector<PassEntry> entries_;
};

} // namespace orva::station

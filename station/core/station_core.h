// Helmo's core without a window: the schedule and its search, the dispatcher, the tracking list,
// the running pass and the data server's tracking data, all under the one schedule lock. The
// host calls tick() once a second and poll_pass() from the pass thread; tests call both with
// their own clock.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/elements/kep_database.h"
#include "common/settings/satellite_record.h"
#include "platform/store/store.h"
#include "station/core/events.h"
#include "station/core/pass_edit.h"
#include "station/core/pass_execution.h"
#include "station/core/schedule_settings.h"
#include "station/core/station_io.h"
#include "station/core/track_data.h"
#include "station/core/tracking_list.h"
#include "station/schedule/dispatcher.h"
#include "station/schedule/schedule.h"

namespace orva::station {

inline constexpr std::uint32_t kMsgReloadElements = 2037;
inline constexpr std::uint32_t kMsgDispatch = 2043;
inline constexpr std::uint32_t kMsgPrePassNotice = 2044;

inline constexpr const char* kManualPassRefused =
    "You already have a manually executed pass in the schedule.  You must close this pass before you can manually "
    "execute another pass.";

struct LiveView {
    std::vector<std::string> rows;        // the live table, at least two rows
    std::vector<bool> in_view;            // per row: above the horizon (drawn red)
    std::vector<std::string> names;       // per row: the satellite (empty for a filler row)
    std::string status;                   // next AOS or running LOS; empty when scheduling is off
    std::vector<std::string> schedule;    // schedule rows
    std::vector<TrackingValues> values;   // per tracked satellite (no filler rows)
};

class StationCore : private PassHooks {
public:
    StationCore(ScheduleConfig config, const elements::ObserverSite& home, StationIo& io);
    ~StationCore() override;

    std::mutex& schedule_lock() { return mutex_; }

    // build_schedule: satellites with state 0 or 1 from the store, found in the database.
    void build_schedule(const platform::Store& store, const elements::KepDatabase& db, std::int64_t now,
                        const std::filesystem::path& schedule_file);
    // Adds one satellite (also used by tests and the week simulation).
    void add_satellite(const elements::KepRecord& record, std::int32_t priority, std::int32_t sat_state,
                       std::int32_t start_lead, std::int32_t min_elevation_deg, std::int32_t min_pass_time_s,
                       std::int64_t now);
    void remove_satellite(const std::string& name);
    void set_tracking(const std::vector<std::string>& names, const elements::KepDatabase& db, std::int64_t now);
    void load_events(const std::vector<std::pair<std::string, settings::EventRecord>>& records, std::int64_t now);
    // Message 2037: tracks rebuilt from the new database; the running pass is left alone.
    // A scheduled satellite no longer in it is dropped with the warning.
    void reload_elements(const elements::KepDatabase& db, std::int64_t now);

    // A satellite's setup was saved. A scheduled one takes the new values, and so do its passes
    // still to come (the running pass is left as it is); State 2 and above takes it out of the
    // schedule, after its running pass if it has one. One not yet scheduled is looked up in the
    // database (the warning when absent) and joins the search. True when a search is wanted.
    bool set_satellite_schedule(const SatelliteSchedule& settings, const elements::KepDatabase& db,
                                std::int64_t now);
    // Every satellite of the store at once (message 2037 names none): changed ones go through
    // set_satellite_schedule, scheduled ones no longer configured leave. A satellite missing from
    // the database is warned about only when its settings changed since they were last seen.
    bool sync_satellites(const std::vector<SatelliteSchedule>& configured, const elements::KepDatabase& db,
                         std::int64_t now);
    // The station moved: passes still to come are searched again from the new site and the
    // tracking list follows it. The running pass and passes already run are kept.
    bool set_home(const elements::ObserverSite& home, std::int64_t now);
    const SiteFrame& site() { return schedule_.site(); } // under the lock
    // Hours, radio horizon, flip and the General Setup values read again; passes already found
    // keep theirs until the schedule is redone.
    void set_config(const ScheduleConfig& config);

    // The search: one sweep under the lock; false when the search list is empty. The worker
    // calls it until false or told to stop.
    bool search_sweep(std::int64_t now, std::int64_t horizon_end);
    void run_search(std::int64_t now);
    // Satellites whose search has fallen inside the horizon again join the search list; true when
    // the list is not empty (a search worker is wanted).
    bool search_wanted(std::int64_t now);
    void redo_schedule(std::int64_t now, const std::filesystem::path& schedule_file);

    // One round of the tracking loop. A satellite whose next AOS or LOS has passed gets a
    // next-event worker of its own; the result arrives under the lock and re-sorts the list.
    void tick(std::int64_t now);
    // Off: the next event is searched inside tick (the results are the same).
    void set_next_event_workers(bool on) { next_event_workers_on_ = on; }
    // Joins every next-event worker (tests, shutdown).
    void wait_next_events();
    void dispatch_now(std::int64_t now);
    // Window messages: 2037 needs the database, so the host passes it; 2043 dispatches.
    void handle_message(std::uint32_t message, std::int64_t now);
    // The pass thread: drives the running pass; none when there is none or it has finished.
    std::optional<std::int64_t> poll_pass(std::int64_t now_ms, bool stopping);
    bool pass_active() const;
    void set_scheduling(bool on, std::int64_t now);
    // Run Pass: a manual pass of 900 s from now at the head of the schedule.
    Status manual_pass(const std::string& name, std::int64_t now);

    // "Run this pass now" on an entry that is not running: it runs next (run_now, never-run, not
    // "don't run"; every other entry loses run_now) and the dispatcher runs.
    Status run_pass_now(const std::string& name, std::int64_t aos, std::int64_t now);
    // "End this pass now" on the running pass: the pass-end signal is set and its program's window
    // asked to close, as at the pass's own end. The pass counts as ended by its program, so it is
    // not started again within the hour.
    Status end_pass_now(const std::string& name, std::int64_t aos, std::int64_t now);
    bool is_running_pass(const std::string& name, std::int64_t aos);

    // Edit Schedule's OK on the entry of that name and AOS: taken out, given the edit, put back
    // by AOS, and the dispatcher runs. The running pass is refused: its times drive the pass.
    Status edit_pass(const std::string& name, std::int64_t aos, PassEdit edit, std::int64_t now);
    // Edit Schedule's Delete: the entry stays listed but is never started.
    Status delete_pass(const std::string& name, std::int64_t aos, std::int64_t now);
    // Add Pass: a new entry of that satellite with the edit's times and choices.
    Status add_pass(const std::string& name, PassEdit edit, std::int64_t now);

    Status save_schedule(const std::filesystem::path& schedule_file);

    // Views.
    LiveView live_view(std::int64_t now);
    std::vector<PassEntry> schedule_snapshot();
    DispatcherState dispatcher_snapshot();
    std::optional<TrackReport> track_report();
    TrackingServer& tracking_server() { return server_; }
    // Where the data server's record comes from while the rotator control tracks a satellite;
    // without one (or while it reports nothing) the running pass's position is served.
    void set_track_source(std::function<std::optional<TrackReport>()> source);
    Schedule& schedule() { return schedule_; } // under the lock

private:
    // PassHooks: the pass's own hooks go to the host, the shared ones to the dispatcher state.
    void track_satellite(const std::string& name) override { io_.track_satellite(name); }
    void run_event(const EventEntry& e) override { io_.run_event(e); }
    void start_modem_setup(const std::string& name) override { io_.start_modem_setup(name); }
    bool modem_ready() override { return io_.modem_ready(); }
    Result<ProgramSettings> read_program_settings(const std::string& name) override;
    Status start_program(const std::string& c, const ProgramSettings& s) override { return io_.start_program(c, s); }
    bool find_program_window() override { return io_.find_program_window(); }
    bool program_window_is_engine(const std::string& n) override { return io_.program_window_is_engine(n); }
    bool program_running() override { return io_.program_running(); }
    void post_to_engine(std::uint32_t m, std::uint32_t w, std::int32_t v) override { io_.post_to_engine(m, w, v); }
    void forget_program() override { io_.forget_program(); }
    void report(const std::string& text, const std::string& caption) override { io_.warn(text, caption); }
    void play_error_sound() override { io_.play_error_sound(); }
    bool pass_end_signalled() override { return pass_end_.load(); }
    void set_hold_off(std::int64_t t) override;
    void wake_dispatcher() override;
    void clear_station_ended() override;
    bool station_ended() override;
    void mark_never_again() override;
    void finish_entry(std::int64_t last_run_end, bool ended_by_station, bool manual) override;
    void clear_running() override;

    void dispatch_locked(std::int64_t now);
    bool set_satellite_schedule_locked(const SatelliteSchedule& settings, const elements::KepDatabase& db,
                                       std::int64_t now, bool warn_missing);
    void retire_satellite_locked(const std::string& name);
    void drop_retired_locked();
    bool is_running(const PassEntry& e) const;
    bool is_running(const std::string& name, std::int64_t aos) const;
    std::vector<SatelliteSchedule> seen_; // the settings last applied, scheduled or not
    void add_satellite_locked(const elements::KepRecord& record, std::int32_t priority, std::int32_t sat_state,
                              std::int32_t start_lead, std::int32_t min_elevation_deg, std::int32_t min_pass_time_s,
                              std::int64_t now);

    StationIo& io_;
    std::mutex mutex_;
    Schedule schedule_;
    DispatcherState state_;
    EventLists events_;
    std::vector<TrackedSatellite> tracking_;
    std::unique_ptr<PassExecution> pass_;    // driven by poll_pass
    std::unique_ptr<PassExecution> pending_; // started by the dispatcher, not yet picked up
    std::mutex pass_mutex_; // one driver of the pass at a time
    std::atomic<bool> pass_end_{true};
    TrackingServer server_;
    std::function<std::optional<TrackReport>()> track_source_;

    struct NextEventWorker {
        std::shared_ptr<std::atomic<bool>> done;
        std::jthread thread;
    };
    void start_next_event_worker(TrackedSatellite& t, std::int64_t now); // under the lock
    bool next_event_workers_on_ = true;
    std::uint64_t next_generation_ = 1;
    std::mutex workers_mutex_;
    std::vector<NextEventWorker> next_event_workers_;
};

} // namespace orva::station

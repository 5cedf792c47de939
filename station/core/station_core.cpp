#include "station/core/station_core.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "station/schedule/schedule_file.h"

namespace orva::station {

namespace {
constexpr double kRadToDeg = 57.29577951308232;

std::string time_text(std::int64_t t)
{
    std::int64_t days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
    std::int64_t s = t - days * 86400;
    using namespace std::chrono;
    year_month_day ymd{sys_days(std::chrono::days(days))};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u/%02u/%02d %02d:%02d:%02d", unsigned(ymd.day()), unsigned(ymd.month()),
                  int(ymd.year()) % 100, int(s / 3600), int(s / 60 % 60), int(s % 60));
    return buf;
}

bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// Whether the satellite is above the radio horizon at any second of [from, to].
bool clears_radio_horizon(const SatTrack& track, const SiteFrame& site, const std::array<std::int32_t, 12>& horizon,
                          std::int64_t from, std::int64_t to)
{
    for (std::int64_t t = from; t <= to; ++t) {
        LookPoint p = look_at(track, site, t);
        if (p.elevation >= 0 && above_radio_horizon(p.azimuth * kRadToDeg, p.elevation * kRadToDeg, horizon))
            return true;
    }
    return false;
}
} // namespace

StationCore::StationCore(ScheduleConfig config, const elements::ObserverSite& home, StationIo& io)
    : io_(io), schedule_(config, home)
{
}

StationCore::~StationCore() { wait_next_events(); }

void StationCore::wait_next_events()
{
    std::vector<NextEventWorker> workers;
    {
        std::lock_guard lock(workers_mutex_);
        workers.swap(next_event_workers_);
    }
    workers.clear(); // joins
}

void StationCore::start_next_event_worker(TrackedSatellite& t, std::int64_t now)
{
    t.next_event_time = 0; // being computed
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::jthread worker([this, track = t.track, site = schedule_.site(), generation = t.generation, now, done] {
        NextEvent e = find_next_event(track, site, now);
        {
            std::lock_guard lock(mutex_);
            for (TrackedSatellite& s : tracking_)
                if (s.generation == generation && s.next_event_time == 0) {
                    s.next_event_time = e.time;
                    s.next_is_aos = e.is_aos;
                    sort_tracking_list(tracking_);
                    break;
                }
        }
        done->store(true);
    });
    std::lock_guard lock(workers_mutex_);
    std::erase_if(next_event_workers_, [](const NextEventWorker& w) { return w.done->load(); });
    next_event_workers_.push_back({std::move(done), std::move(worker)});
}

void StationCore::add_satellite_locked(const elements::KepRecord& record, std::int32_t priority, std::int32_t sat_state,
                                       std::int32_t start_lead, std::int32_t min_elevation_deg,
                                       std::int32_t min_pass_time_s, std::int64_t now)
{
    ScheduledSatellite s;
    if (Status st = init_track(record, s.track, now); !st) {
        io_.log("not scheduled: " + st.error().message);
        return;
    }
    s.priority = priority;
    s.sat_state = sat_state;
    s.start_lead = start_lead;
    s.min_elevation = min_elevation_deg;
    s.min_pass_time = min_pass_time_s;
    reset_search(s, now);
    schedule_.add_satellite(std::move(s));
}

void StationCore::add_satellite(const elements::KepRecord& record, std::int32_t priority, std::int32_t sat_state,
                                std::int32_t start_lead, std::int32_t min_elevation_deg, std::int32_t min_pass_time_s,
                                std::int64_t now)
{
    std::lock_guard lock(mutex_);
    add_satellite_locked(record, priority, sat_state, start_lead, min_elevation_deg, min_pass_time_s, now);
    if (ScheduledSatellite* s = schedule_.find_satellite(record.name))
        schedule_.join_search_list(*s);
}

void StationCore::remove_satellite(const std::string& name)
{
    std::lock_guard lock(mutex_);
    schedule_.remove_satellite(name);
}

void StationCore::build_schedule(const platform::Store& store, const elements::KepDatabase& db, std::int64_t now,
                                 const std::filesystem::path& schedule_file)
{
    std::vector<std::string> names = settings::list_satellites(store);
    std::lock_guard lock(mutex_);
    for (const std::string& name : names) {
        Result<settings::SatelliteRecord> rec = settings::read_satellite(store, name, settings::Program::Helmo);
        if (!rec)
            continue;
        SatelliteSchedule seen = satellite_schedule(*rec);
        seen.name = name;
        seen_.push_back(seen);
        if (rec->state > 1)
            continue;
        int slot = db.find_by_name(name);
        if (slot < 0) {
            io_.warn(not_in_database_text(name), "Helmo");
            continue;
        }
        std::int32_t priority = std::int32_t(rec->priority);
        if (priority <= 0 || priority > 100)
            priority = 10;
        add_satellite_locked(db.slot(slot), priority, std::int32_t(rec->state), std::int32_t(rec->start_time),
                             std::int32_t(rec->min_elevation), std::int32_t(rec->min_pass_time) * 60, now);
    }
    LoadedSchedule loaded = load_schedule_file(schedule_file);
    if (loaded.warning)
        io_.warn(*loaded.warning, "Helmo");
    // Saved passes of a satellite no longer scheduled are dropped; the notice says why.
    for (const std::string& gone : schedule_.load_entries(loaded.entries, now)) {
        Result<settings::SatelliteRecord> rec = settings::read_satellite(store, gone, settings::Program::Helmo);
        if (rec && rec->state > 1)
            io_.log("saved passes of " + gone + " dropped: its State is " + std::to_string(rec->state) +
                    (rec->state == 2 ? " (Disable)" : "") + ", so it is not scheduled");
        else if (!rec)
            io_.log("saved passes of " + gone + " dropped: it is not a satellite of this station");
        else if (db.find_by_name(gone) < 0)
            io_.warn(not_in_database_text(gone), "Helmo");
        else
            io_.log("saved passes of " + gone + " dropped: its elements could not be used");
    }
    for (const auto& s : schedule_.satellites())
        if (s->search_time < now + schedule_.config().schedule_days * 86400)
            schedule_.join_search_list(*s);
}

void StationCore::set_tracking(const std::vector<std::string>& names, const elements::KepDatabase& db, std::int64_t now)
{
    std::lock_guard lock(mutex_);
    tracking_.clear();
    for (const std::string& name : names) {
        int slot = db.find_by_name(name);
        if (slot < 0)
            continue; // skipped silently
        TrackedSatellite t;
        if (!init_track(db.slot(slot), t.track, now))
            continue;
        t.generation = next_generation_++;
        tracking_.push_back(std::move(t));
    }
}

void StationCore::load_events(const std::vector<std::pair<std::string, settings::EventRecord>>& records, std::int64_t now)
{
    std::lock_guard lock(mutex_);
    events_.load(records, now);
    dispatch_locked(now);
}

void StationCore::reload_elements(const elements::KepDatabase& db, std::int64_t now)
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> gone;
    for (const auto& s : schedule_.satellites()) {
        int slot = db.find_by_name(s->track.name);
        if (slot < 0) {
            gone.push_back(s->track.name);
            continue;
        }
        SatTrack fresh;
        if (init_track(db.slot(slot), fresh, now))
            s->track = std::move(fresh);
    }
    for (const std::string& name : gone) {
        io_.warn(not_in_database_text(name), "Helmo");
        if (!(state_.running.running && state_.running.name == name))
            schedule_.remove_satellite(name);
    }
    for (TrackedSatellite& t : tracking_) {
        int slot = db.find_by_name(t.track.name);
        SatTrack fresh;
        if (slot >= 0 && init_track(db.slot(slot), fresh, now)) {
            t.track = std::move(fresh);
            t.next_event_time = 1;
            t.generation = next_generation_++; // a worker still busy on the old elements is ignored
        }
    }
    std::erase_if(tracking_, [&](const TrackedSatellite& t) { return db.find_by_name(t.track.name) < 0; });
}

Status StationCore::run_pass_now(const std::string& name, std::int64_t aos, std::int64_t now)
{
    std::lock_guard lock(mutex_);
    PassEntry* e = schedule_.find_entry(name, aos);
    if (!e)
        return make_error(kPassGone);
    if (is_running(*e))
        return make_error(kPassIsRunning);
    for (PassEntry& other : schedule_.entries())
        other.run_now = 0;
    e->run_now = 1;
    e->last_run_end = 0;
    e->dont_run = 0;
    io_.log("run this pass now: " + e->name + " (AOS " + time_text(e->aos) + ")");
    dispatch_locked(now);
    return {};
}

Status StationCore::end_pass_now(const std::string& name, std::int64_t aos, std::int64_t now)
{
    std::lock_guard lock(mutex_);
    if (!is_running(name, aos))
        return make_error(kPassNotRunning);
    if (state_.running.end_requested)
        return {};
    state_.running.end_requested = true;
    state_.last_pass_end = now;
    state_.hold_off = now + 15;
    io_.log("end this pass now: " + name);
    pass_end_ = true;
    io_.close_program_window();
    return {};
}

bool StationCore::is_running_pass(const std::string& name, std::int64_t aos)
{
    std::lock_guard lock(mutex_);
    return is_running(name, aos);
}

bool StationCore::is_running(const PassEntry& e) const { return is_running(e.name, e.aos); }

bool StationCore::is_running(const std::string& name, std::int64_t aos) const
{
    return state_.running.running && name == state_.running.name && aos == state_.running.aos;
}

void StationCore::retire_satellite_locked(const std::string& name)
{
    ScheduledSatellite* s = schedule_.find_satellite(name);
    if (!s)
        return;
    if (!(state_.running.running && same_name(state_.running.name, s->track.name))) {
        schedule_.remove_satellite(name);
        return;
    }
    // Its pass runs on; the satellite goes once it has ended (drop_retired_locked).
    s->sat_state = std::max<std::int32_t>(s->sat_state, 2);
    schedule_.leave_search_list(*s);
    std::string exact = s->track.name;
    std::erase_if(schedule_.entries(), [&](const PassEntry& e) { return e.name == exact && !is_running(e); });
}

void StationCore::drop_retired_locked()
{
    std::vector<std::string> retired;
    for (const auto& s : schedule_.satellites())
        if (s->sat_state >= 2 && !(state_.running.running && same_name(state_.running.name, s->track.name)))
            retired.push_back(s->track.name);
    for (const std::string& name : retired) {
        io_.log(name + " leaves the schedule: its pass has ended");
        schedule_.remove_satellite(name);
    }
}

bool StationCore::set_satellite_schedule(const SatelliteSchedule& settings, const elements::KepDatabase& db,
                                         std::int64_t now)
{
    std::lock_guard lock(mutex_);
    std::erase_if(seen_, [&](const SatelliteSchedule& s) { return same_name(s.name, settings.name); });
    seen_.push_back(settings);
    bool wanted = set_satellite_schedule_locked(settings, db, now, true);
    dispatch_locked(now);
    return wanted;
}

bool StationCore::set_satellite_schedule_locked(const SatelliteSchedule& c, const elements::KepDatabase& db,
                                                std::int64_t now, bool warn_missing)
{
    ScheduledSatellite* sat = schedule_.find_satellite(c.name);
    if (c.sat_state >= 2 || c.sat_state < 0) {
        if (sat) {
            io_.log(c.name + " is no longer scheduled (State " + std::to_string(c.sat_state) + ")");
            retire_satellite_locked(sat->track.name);
        }
        return false;
    }
    if (!sat) {
        int slot = db.find_by_name(c.name);
        if (slot < 0) {
            if (warn_missing)
                io_.warn(not_in_database_text(c.name), "Helmo");
            return false;
        }
        add_satellite_locked(db.slot(slot), c.priority, c.sat_state, c.start_lead, c.min_elevation, c.min_pass_time, now);
        sat = schedule_.find_satellite(c.name);
        if (!sat)
            return false;
        io_.log(c.name + " joins the schedule");
        schedule_.join_search_list(*sat);
        return true;
    }
    const ScheduledSatellite before = *sat;
    bool was_retired = sat->sat_state >= 2;
    sat->priority = c.priority;
    sat->sat_state = c.sat_state;
    sat->start_lead = c.start_lead;
    sat->min_elevation = c.min_elevation;
    sat->min_pass_time = c.min_pass_time;
    bool state_changed = was_retired || before.sat_state != c.sat_state;
    bool checks_changed = before.min_elevation != c.min_elevation || before.min_pass_time != c.min_pass_time;
    const ScheduleConfig& cfg = schedule_.config();
    // Its passes to come were made with the old values: they take the new ones. The running
    // pass goes on as it started; manual passes keep what the operator chose.
    int updated = 0;
    for (PassEntry& e : schedule_.entries()) {
        if (e.name != sat->track.name || e.manual() || is_running(e))
            continue;
        PassEntry old = e;
        if (before.priority != c.priority)
            e.priority = c.priority;
        e.start_lead = c.start_lead;
        e.min_pass_time = c.min_pass_time;
        if (state_changed)
            e.dont_run = (c.sat_state != 0 || schedule_.outside_operating_hours(e.aos)) ? 1 : 0;
        if (checks_changed) {
            bool ok = e.max_elevation >= c.min_elevation && e.run_end - e.run_start >= c.min_pass_time;
            if (ok && cfg.search.use_horizon) {
                if (!e.radio_horizon_missed)
                    e.radio_horizon_missed =
                        !clears_radio_horizon(sat->track, schedule_.site(), cfg.search.horizon, e.aos, e.los);
                ok = !*e.radio_horizon_missed;
            }
            e.elevation_ok = ok ? 1 : 0;
        }
        if (!(old == e))
            ++updated;
    }
    if (!(before.priority == c.priority && before.sat_state == c.sat_state && before.start_lead == c.start_lead &&
          before.min_elevation == c.min_elevation && before.min_pass_time == c.min_pass_time))
        io_.log(c.name + ": new schedule settings, " + std::to_string(updated) + " pass(es) updated");
    if (was_retired) {
        // Switched off during its pass and on again: its later passes are found anew.
        reset_search(*sat, now);
        schedule_.join_search_list(*sat);
        return true;
    }
    return false;
}

bool StationCore::sync_satellites(const std::vector<SatelliteSchedule>& configured, const elements::KepDatabase& db,
                                  std::int64_t now)
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> gone;
    for (const auto& s : schedule_.satellites())
        if (std::none_of(configured.begin(), configured.end(),
                         [&](const SatelliteSchedule& c) { return same_name(c.name, s->track.name); })) {
            gone.push_back(s->track.name);
        }
    for (const std::string& name : gone) {
        io_.log(name + " is no longer a satellite of this station");
        retire_satellite_locked(name);
    }
    bool wanted = false;
    for (const SatelliteSchedule& c : configured) {
        auto prev = std::find_if(seen_.begin(), seen_.end(), [&](const SatelliteSchedule& s) { return same_name(s.name, c.name); });
        bool changed = prev == seen_.end() || !(*prev == c);
        if (schedule_.find_satellite(c.name) || c.sat_state < 2)
            wanted = set_satellite_schedule_locked(c, db, now, changed) || wanted;
    }
    seen_ = configured;
    drop_retired_locked();
    dispatch_locked(now);
    return wanted;
}

bool StationCore::set_home(const elements::ObserverSite& home, std::int64_t now)
{
    std::lock_guard lock(mutex_);
    schedule_.set_home(home);
    // Passes to come were found from the old site. The running pass and those already run stay
    // (a pass that ended by itself is not run again within the hour); the search finds the
    // others again, and a pass it finds beside one that stayed is not added twice.
    std::erase_if(schedule_.entries(),
                  [&](const PassEntry& e) { return !e.manual() && !is_running(e) && e.last_run_end == 0; });
    bool wanted = false;
    for (const auto& s : schedule_.satellites()) {
        if (s->sat_state >= 2)
            continue;
        reset_search(*s, now);
        schedule_.join_search_list(*s);
        wanted = true;
    }
    for (TrackedSatellite& t : tracking_) {
        t.next_event_time = 1; // searched again from the new site on the next round
        t.generation = next_generation_++;
    }
    io_.log("station position changed: passes searched again from the new site");
    dispatch_locked(now);
    return wanted;
}

void StationCore::set_config(const ScheduleConfig& config)
{
    std::lock_guard lock(mutex_);
    schedule_.set_config(config);
}

bool StationCore::search_sweep(std::int64_t now, std::int64_t horizon_end)
{
    std::lock_guard lock(mutex_);
    if (schedule_.search_list_size() == 0)
        return false;
    if (schedule_.search_sweep(now, horizon_end) > 0)
        dispatch_locked(now);
    return schedule_.search_list_size() > 0;
}

bool StationCore::search_wanted(std::int64_t now)
{
    std::lock_guard lock(mutex_);
    for (const auto& s : schedule_.satellites())
        schedule_.research_satellite(s->track.name, now);
    return schedule_.search_list_size() > 0;
}

void StationCore::run_search(std::int64_t now)
{
    std::int64_t horizon_end = now + schedule_.config().schedule_days * 86400;
    while (search_sweep(now, horizon_end)) {
    }
}

void StationCore::redo_schedule(std::int64_t now, const std::filesystem::path& schedule_file)
{
    std::lock_guard lock(mutex_);
    std::vector<PassEntry> kept = schedule_.take_for_save();
    if (Status s = save_schedule_file(schedule_file, kept); !s)
        io_.warn("cannot save the schedule: " + s.error().message, "Helmo");
    schedule_.reset_all_searches(now);
    dispatch_locked(now);
}

Status StationCore::save_schedule(const std::filesystem::path& schedule_file)
{
    std::lock_guard lock(mutex_);
    std::vector<PassEntry> kept = schedule_.take_for_save();
    return save_schedule_file(schedule_file, kept);
}

void StationCore::dispatch_now(std::int64_t now)
{
    std::lock_guard lock(mutex_);
    dispatch_locked(now);
}

void StationCore::dispatch_locked(std::int64_t now)
{
    std::vector<DispatchAction> actions = dispatch(schedule_, state_, &events_, now);
    for (const EventEntry& e : events_.take_due()) {
        io_.log("timed event " + e.name);
        io_.run_event(e);
    }
    for (const DispatchAction& a : actions) {
        PassEntry* entry = schedule_.find_entry(a.name, a.aos);
        switch (a.kind) {
        case DispatchActionKind::PrePassNotice:
            if (entry) {
                if (a.show_notice)
                    entry->popup_window = 1;
                io_.pre_pass_notice(*entry, a.show_notice);
            }
            break;
        case DispatchActionKind::ClosePrePassNotice:
            if (entry)
                io_.close_pre_pass_notice(*entry);
            break;
        case DispatchActionKind::StartPass:
            if (entry) {
                pass_end_ = false;
                pending_ = std::make_unique<PassExecution>(*entry, events_.pass_events(entry->name, EventTiming::BeforePass),
                                                           events_.pass_events(entry->name, EventTiming::AfterPass));
                io_.log("dispatcher: start pass of " + entry->name + " (AOS " + time_text(entry->aos) + ", LOS " +
                        time_text(entry->los) + ", priority " + std::to_string(entry->effective_priority) + ")");
                io_.pass_started(*entry);
            }
            break;
        case DispatchActionKind::EndPass:
            io_.log("dispatcher: end pass of " + a.name);
            pass_end_ = true;
            io_.close_program_window();
            break;
        case DispatchActionKind::BeginIdle:
            io_.log("dispatcher: idle");
            for (const EventEntry& e : events_.of_timing(EventTiming::OnIdle))
                io_.run_event(e);
            break;
        case DispatchActionKind::EndIdle:
            io_.log("dispatcher: end of idle");
            for (const EventEntry& e : events_.of_timing(EventTiming::OnEndIdle))
                io_.run_event(e);
            break;
        case DispatchActionKind::PassRemoved:
            break;
        }
    }
}

void StationCore::tick(std::int64_t now)
{
    std::lock_guard lock(mutex_);
    drop_retired_locked();
    if (now >= state_.next_wake)
        dispatch_locked(now);
    bool resort = false;
    for (TrackedSatellite& t : tracking_) {
        t.track.compute_time = now;
        if (t.next_event_time != 0 && t.next_event_time != kNoEvent && t.next_event_time < now) {
            if (next_event_workers_on_) {
                start_next_event_worker(t, now);
            } else {
                NextEvent e = find_next_event(t.track, schedule_.site(), now);
                t.next_event_time = e.time;
                t.next_is_aos = e.is_aos;
                resort = true;
            }
        }
        if (compute_position(t.track, schedule_.site()))
            doppler_hz(t.track);
        bool up = t.track.elevation > 0;
        if (up && !t.in_view) {
            t.in_view = true;
            io_.satellite_rose(t.track.name);
        } else if (!up)
            t.in_view = false;
    }
    if (resort)
        sort_tracking_list(tracking_);
    std::optional<TrackReport> report;
    if (state_.running.running)
        if (ScheduledSatellite* s = schedule_.find_satellite(state_.running.name)) {
            s->track.compute_time = now;
            if (compute_position(s->track, schedule_.site())) {
                TrackReport r;
                r.name = s->track.name;
                r.azimuth_deg = s->track.azimuth * kRadToDeg;
                r.elevation_deg = s->track.elevation * kRadToDeg;
                r.doppler_factor = 1 + s->track.range_rate_km_s / 299792.5;
                r.mean_anomaly = std::int16_t(s->track.ma);
                report = r;
            }
        }
    if (track_source_)
        if (auto tracked = track_source_())
            report = tracked;
    server_.update(report);
}

void StationCore::set_track_source(std::function<std::optional<TrackReport>()> source)
{
    std::lock_guard lock(mutex_);
    track_source_ = std::move(source);
}

void StationCore::handle_message(std::uint32_t message, std::int64_t now)
{
    if (message == kMsgDispatch)
        dispatch_now(now);
}

void StationCore::set_scheduling(bool on, std::int64_t now)
{
    std::lock_guard lock(mutex_);
    state_.scheduling_enabled = on;
    dispatch_locked(now);
}

Status StationCore::manual_pass(const std::string& name, std::int64_t now)
{
    std::lock_guard lock(mutex_);
    const std::vector<PassEntry>& list = schedule_.entries();
    if (!list.empty() && list.front().priority == 0 && list.front().dont_run == 0 && list.front().los > now)
        return make_error(kManualPassRefused);
    PassEntry e;
    e.name = name;
    e.aos = e.run_start = now;
    e.los = e.run_end = now + 900;
    e.tca = now + 450;
    e.priority = 0;
    e.elevation_ok = 1;
    e.run_now = 1;
    if (ScheduledSatellite* s = schedule_.find_satellite(name))
        e.start_lead = s->start_lead;
    schedule_.insert_manual(std::move(e));
    dispatch_locked(now);
    return {};
}

LiveView StationCore::live_view(std::int64_t now)
{
    std::lock_guard lock(mutex_);
    LiveView v;
    for (const TrackedSatellite& t : tracking_) {
        v.rows.push_back(tracking_row(t.track, now, t.next_event_time));
        v.in_view.push_back(t.track.elevation > 0);
        v.names.push_back(t.track.name);
        v.values.push_back(tracking_values(t.track, now, t.next_event_time, t.next_is_aos));
    }
    while (v.rows.size() < 2) {
        v.rows.emplace_back();
        v.in_view.push_back(false);
        v.names.emplace_back();
    }
    if (state_.scheduling_enabled && !state_.status_name.empty() && state_.status_time > 0)
        v.status = status_text(state_.status_name, state_.status_time - now, state_.status_is_los);
    for (const PassEntry& e : schedule_.entries()) {
        if (e.los < now)
            continue;
        std::string prio = e.dont_run ? "" : e.priority == 0 ? "M" : std::to_string(e.priority);
        char buf[160];
        std::snprintf(buf, sizeof buf, "%-12s %2s %2d %s  %s", e.name.c_str(), prio.c_str(), int(e.max_elevation),
                      time_text(e.aos).c_str(), time_text(e.los).c_str());
        v.schedule.push_back(buf);
    }
    return v;
}

std::vector<PassEntry> StationCore::schedule_snapshot()
{
    std::lock_guard lock(mutex_);
    return schedule_.entries();
}

DispatcherState StationCore::dispatcher_snapshot()
{
    std::lock_guard lock(mutex_);
    return state_;
}

std::optional<TrackReport> StationCore::track_report()
{
    std::lock_guard lock(mutex_);
    return std::nullopt;
}

} // namespace orva::station

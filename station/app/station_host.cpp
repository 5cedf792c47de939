#include "station/app/station_host.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include <chrono>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/subkey_records.h"
#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "platform/dbus/session_bus.h"
#include "platform/shared_clock.h"
#include "station/core/event_run.h"
#include "station/housekeeping/housekeeping.h"
#include "station/schedule/schedule_file.h"

namespace orva::station {

std::vector<std::string> split_tracking(const std::string& text)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        if (c == '~') {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

std::string join_tracking(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& n : names)
        out += n + "~";
    return out;
}

std::int64_t system_local_offset(std::int64_t now)
{
    std::time_t t = std::time_t(now);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return 0;
    return -std::int64_t(local.tm_gmtoff);
}

namespace {

platform::ShowMode show_mode(std::uint32_t run)
{
    return run == 0 ? platform::ShowMode::MinimisedNoActivate : run == 1 ? platform::ShowMode::Maximised
                                                                          : platform::ShowMode::Normal;
}

bool is_text_format(const std::string& f)
{
    return f == "text" || f == "TEXT" || f == "CF_TEXT" || f == "Text";
}
} // namespace

StationHost::StationHost(platform::Store store, HostView& view, HostOptions options)
    : store_(std::move(store)), view_(view), options_(options),
      clock_(options.clock ? *options.clock : platform::station_clock())
{
    connect(&tick_timer_, &QTimer::timeout, this, [this] { step(); });
    pass_timer_.setSingleShot(true);
    connect(&pass_timer_, &QTimer::timeout, this, [this] { drive_pass(); });
}

StationHost::~StationHost() { shutdown(); }

std::int64_t StationHost::now() const
{
    return std::chrono::duration_cast<std::chrono::seconds>(clock_.now().time_since_epoch()).count();
}

void StationHost::log(const std::string& line)
{
    if (tap_)
        tap_(line);
    view_.line(line);
}

void StationHost::warn(const std::string& text, const std::string& caption)
{
    if (tap_)
        tap_(caption + ": " + text);
    view_.warning(text, caption);
}

Status StationHost::start()
{
    if (!store_.key_exists(settings::keys::general))
        return make_error(kSetupNotCompleted);
    settings::GeneralSettings general = settings::read_general(store_, settings::Program::Helmo);
    suite_dir_ = general.orva_directory;
    schedule_file_ = suite_dir_ / kScheduleFileName;
    std::error_code ec;
    if (!suite_dir_.empty())
        std::filesystem::current_path(suite_dir_, ec);
    settings::StationSettings st = settings::read_station(store_, settings::Program::Helmo);
    station_ = st;
    settings::HelmoSettings helmo = settings::read_helmo(store_);
    core_ = std::make_unique<StationCore>(read_schedule_config(store_),
        elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude, st.altitude), *this);
    start_rig(elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude, st.altitude));

    messenger_ = platform::dbus::session_messenger();
    platform::WindowHandlers handlers;
    handlers.on_message = [this](const platform::WindowMessage& m) -> std::int32_t {
        if (m.number == kMsgReloadElements) {
            log("message 2037: element database or setup changed");
            reload_elements();
            sync_with_store();
        } else if (m.number == kMsgDispatch) {
            core_->dispatch_now(now());
        } else if (m.number == kMsgPrePassNotice) {
            // Our own dispatcher's request arrives through pre_pass_notice(); nothing to do.
        } else if (rig_ && rig_->handle_message(m)) {
            log("message " + std::to_string(m.number) + " " + std::to_string(m.word));
        } else {
            log("message " + std::to_string(m.number) + " ignored");
        }
        return 0;
    };
    auto window = messenger_->create_window("HelmoCtl", "Helmo", handlers, true);
    if (!window) {
        if (window.error().code == platform::already_running)
            return make_error("Helmo is already running");
        warn("no session bus: " + window.error().message, "Helmo");
    } else {
        window_ = std::move(*window);
    }

    platform::DataServerHandlers dh;
    dh.on_connect = [this](platform::ConversationId id, const std::string& topic) {
        std::lock_guard lock(core_->schedule_lock());
        return core_->tracking_server().connect(id, topic);
    };
    dh.on_disconnect = [this](platform::ConversationId id) {
        std::lock_guard lock(core_->schedule_lock());
        core_->tracking_server().disconnect(id);
    };
    dh.on_request = [this](platform::ConversationId id, const std::string& item,
                           const std::string& format) -> std::optional<platform::Bytes> {
        DataFormat f = format == "TrackData" ? DataFormat::TrackData : is_text_format(format) ? DataFormat::Text : DataFormat::Other;
        std::lock_guard lock(core_->schedule_lock());
        return core_->tracking_server().request(id, item, f);
    };
    dh.on_poke = [this](platform::ConversationId id, const std::string&, const std::string&, const platform::Bytes& data) {
        std::lock_guard lock(core_->schedule_lock());
        return core_->tracking_server().poke(id, data);
    };
    auto server = platform::dbus::serve_data("Helmo", dh);
    if (!server)
        warn("DDE Initialisation failure.", "Helmo");
    else
        server_ = std::move(*server);

    std::int64_t t = now();
    local_offset_ = system_local_offset(t);
    core_->load_events(settings::read_events(store_), t);
    auto db = elements::KepDatabase::load(elements::kep_database_path(suite_dir_));
    if (!db) {
        warn(db.error().message, "Helmo");
        db = elements::KepDatabase{};
    }
    tracking_names_ = split_tracking(helmo.tracking);
    if (manual())
        core_->set_next_event_workers(false);
    core_->set_tracking(tracking_names_, *db, t);
    core_->build_schedule(store_, *db, t, schedule_file_);
    search_ = std::make_unique<SearchWorker>(*core_);
    restart_search(t);
    core_->dispatch_now(t);
    log("Helmo started: station " + st.callsign + ", " + std::to_string(core_->schedule_snapshot().size()) +
        " passes loaded, searching " + std::to_string(helmo.schedule_days) + " day(s) ahead");
    if (!manual())
        tick_timer_.start(tick_interval_ms());
    return {};
}

void StationHost::restart_search(std::int64_t t)
{
    std::int64_t days = std::int64_t(settings::read_helmo(store_).schedule_days);
    if (manual()) {
        core_->run_search(t);
        return;
    }
    search_->start(t, days);
}

void StationHost::keep_searching(std::int64_t t)
{
    // The worker ends when every satellite has a pass beyond its horizon; a pass leaving the
    // schedule, or the horizon moving on, puts satellites back on the list for a new worker.
    // Checked once a minute: a satellite that is never above the horizon would otherwise start
    // a worker every second.
    if (!search_ || t - last_search_check_ < 60 || (!manual() && !search_->finished().is_set()))
        return;
    last_search_check_ = t;
    if (core_->search_wanted(t))
        restart_search(t);
}

Result<elements::KepDatabase> StationHost::load_database() const
{
    return elements::KepDatabase::load(elements::kep_database_path(suite_dir_));
}

void StationHost::reload_elements()
{
    auto db = load_database();
    if (!db) {
        warn(db.error().message, "Helmo");
        return;
    }
    std::int64_t t = now();
    core_->reload_elements(*db, t);
    view_.elements_reloaded();
    search_->stop();
    {
        std::lock_guard lock(core_->schedule_lock());
        for (const auto& s : core_->schedule().satellites())
            core_->schedule().research_satellite(s->track.name, t);
    }
    restart_search(t);
}

std::optional<std::vector<SatelliteSchedule>> StationHost::configured_satellites() const
{
    // A store that cannot be read must not look like one whose satellites were all deleted:
    // the sync would take every satellite off the schedule.
    if (!store_.key_exists(settings::keys::satellites))
        return std::nullopt;
    std::vector<SatelliteSchedule> out;
    for (const std::string& name : settings::list_satellites(store_)) {
        Result<settings::SatelliteRecord> rec = settings::read_satellite(store_, name, settings::Program::Helmo);
        if (!rec)
            return std::nullopt;
        SatelliteSchedule s = satellite_schedule(*rec);
        s.name = name;
        out.push_back(std::move(s));
    }
    return out;
}

void StationHost::research(std::int64_t t)
{
    if (!search_)
        return;
    search_->stop();
    restart_search(t);
}

void StationHost::satellite_saved(const settings::SatelliteRecord& record)
{
    auto db = load_database();
    if (!db) {
        warn(db.error().message, "Helmo");
        return;
    }
    std::int64_t t = now();
    bool wanted = core_->set_satellite_schedule(satellite_schedule(record), *db, t);
    if (auto configured = configured_satellites())
        wanted = core_->sync_satellites(*configured, *db, t) || wanted;
    if (wanted)
        research(t);
    view_.refresh(t);
}

void StationHost::sync_with_store()
{
    std::int64_t t = now();
    follow_station(t);
    auto db = load_database();
    if (!db) {
        warn(db.error().message, "Helmo");
        return;
    }
    auto configured = configured_satellites();
    if (!configured) {
        log("the satellites could not be read from the store; the schedule is left as it is");
        return;
    }
    if (core_->sync_satellites(*configured, *db, t))
        research(t);
    view_.refresh(t);
}

void StationHost::follow_station(std::int64_t t)
{
    settings::StationSettings st = settings::read_station(store_, settings::Program::Helmo);
    core_->set_config(read_schedule_config(store_));
    if (rig_ && rig_->follow_rotator_settings())
        log("rotator settings changed: " + std::string(rig_->control().model().name) + " in use");
    bool moved = st.latitude != station_.latitude || st.longitude != station_.longitude ||
                 st.altitude != station_.altitude || st.callsign != station_.callsign;
    station_ = st;
    if (!moved)
        return;
    elements::ObserverSite home = elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude, st.altitude);
    log("station " + st.callsign + " now at " + std::to_string(st.latitude) + ", " + std::to_string(st.longitude) +
        ", " + std::to_string(st.altitude) + " m");
    if (rig_)
        rig_->set_home(home);
    if (core_->set_home(home, t))
        research(t);
    view_.station_moved(home);
}

void StationHost::step()
{
    std::int64_t t = now();
    if (!manual()) {
        // The system's clock was set (or the zone changed): the wall clock moved against the
        // steady one, or the local offset is no longer what it was. The system's own clock, not
        // station time, which a shared clock may run faster.
        std::int64_t steady =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
        std::int64_t wall =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
        std::int64_t drift = wall - steady;
        bool jumped = wall_minus_steady_ != 0 && std::abs(drift - wall_minus_steady_) > 2;
        wall_minus_steady_ = drift;
        if (jumped || system_local_offset(t) != local_offset_) {
            log("the system's time changed");
            time_changed();
        }
    }
    core_->tick(t);
    keep_searching(t);
    rig_minute(t);
    drive_pass();
    if (server_) {
        std::vector<std::uint8_t> record, text;
        {
            std::lock_guard lock(core_->schedule_lock());
            if (auto conv = core_->tracking_server().tracking_conversation()) {
                record = *core_->tracking_server().request(*conv, "General", DataFormat::TrackData);
                text = *core_->tracking_server().request(*conv, "General", DataFormat::Text);
            }
        }
        if (!record.empty()) {
            server_->advise("Tracking", "General", "TrackData", record);
            server_->advise("Tracking", "General", "text", text);
        }
    }
    view_.refresh(t);
    if (!manual())
        tick_timer_.setInterval(tick_interval_ms());
}

int StationHost::tick_interval_ms() const
{
    // About once a station second, as on the wall clock, when a shared clock runs faster; never
    // so often that the loop eats the processor.
    const double rate = clock_.rate();
    return rate > 1 ? int(std::clamp(975.0 / rate, 10.0, 975.0)) : 975;
}

void StationHost::drive_pass()
{
    std::int64_t now_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(clock_.now().time_since_epoch()).count();
    std::optional<std::int64_t> next = core_->poll_pass(now_ms, stopping_.load());
    if (next && !manual()) {
        // Station milliseconds to wall milliseconds on a clock that may run faster.
        const double rate = std::max(1.0, clock_.rate());
        pass_timer_.start(int(std::clamp<std::int64_t>(std::int64_t(double(*next - now_ms) / rate), 0, 1000)));
    }
}

void StationHost::pre_pass_notice(const PassEntry& e, bool show_window)
{
    log("pass of " + e.name + " soon: AOS " + format_iso8601(StationTime(std::chrono::seconds(e.run_start))) +
        ", maximum elevation " + std::to_string(e.max_elevation));
    view_.pre_pass_notice(e, show_window);
}

void StationHost::close_pre_pass_notice(const PassEntry& e) { view_.close_pre_pass_notice(e); }

void StationHost::pass_started(const PassEntry& entry)
{
    if (settings::read_helmo(store_).map_display != 0)
        view_.display_on_map(entry.name);
    if (manual())
        return; // step() drives it
    // Driven on this thread: poll the pass as soon as the loop is free.
    QMetaObject::invokeMethod(this, [this] { drive_pass(); }, Qt::QueuedConnection);
}

namespace {
// The event's program through the launcher, on the event thread; the station's stop ends the wait.
class HostEventRunner final : public EventRunner {
public:
    HostEventRunner(platform::Store& store, const platform::Launcher& launcher, platform::Messenger* messenger,
                    std::stop_token stop, std::int64_t now, std::function<void(const std::string&)> log)
        : store_(store), launcher_(launcher), messenger_(messenger), stop_(stop), now_(now), log_(std::move(log))
    {
    }
    std::string program(const EventEntry& e) override { return store_.read_string(e.key_path, "Program", 260).value_or(""); }
    std::string directory(const EventEntry& e) override
    {
        return store_.read_string(e.key_path, "Directory", 260).value_or("");
    }
    Result<std::optional<int>> run(const std::string& program, const std::string& directory) override
    {
        platform::LaunchOptions opts;
        opts.working_directory = directory;
        auto process = launcher_.start(program, opts);
        if (!process)
            return process.error();
        while (!stop_.stop_requested()) {
            auto r = process->wait_for(std::chrono::milliseconds(250));
            if (!r)
                return make_error(r.error().message, kRunKilled);
            if (r->has_value())
                return std::optional<int>(**r);
        }
        return std::optional<int>();
    }
    bool suite_programs_open() override
    {
        if (!messenger_)
            return false;
        for (const char* c : {"Brek:MAIN", "Dispo", "Tessel"})
            if (messenger_->exists({c, ""}))
                return true;
        return false;
    }
    Result<std::uint32_t> housekeeping() override { return housekeeping_event(store_, now_, log_); }

private:
    platform::Store& store_;
    const platform::Launcher& launcher_;
    platform::Messenger* messenger_;
    std::stop_token stop_;
    std::int64_t now_;
    std::function<void(const std::string&)> log_;
};
} // namespace

void StationHost::run_event(const EventEntry& event)
{
    std::lock_guard lock(events_mutex_);
    // A thread whose event has ended is joined now: an ended thread stays joinable, and unjoined
    // it keeps its stack for as long as the station runs.
    std::erase_if(event_threads_, [](const EventThread& t) { return t.done->load(); });
    std::filesystem::path store_file = store_.file();
    auto done = std::make_shared<std::atomic<bool>>(false);
    event_threads_.push_back({std::jthread([this, event, store_file, done](std::stop_token stop) {
        struct MarkDone {
            std::atomic<bool>& done;
            ~MarkDone() { done = true; }
        } mark{*done};
        auto store = platform::Store::open(store_file, platform::Access::ReadWrite);
        if (!store) {
            log("event " + event.name + ": cannot open the store: " + store.error().message);
            return;
        }
        // Found again by its name: the operator may have deleted or renamed the key since.
        std::optional<std::string> key = find_event_key(*store, event.name);
        if (!key) {
            log("event " + event.name + ": its key no longer exists; not run");
            return;
        }
        EventEntry found = event;
        found.key_path = *key;
        if (Status s = record_event_start(*store, found, std::uint32_t(now())); !s)
            log("event " + event.name + ": cannot record the start: " + s.error().message);
        HostEventRunner runner(*store, launcher_, messenger_.get(), stop, now(), [this](const std::string& l) { log(l); });
        EventRun run = run_event_once(found, runner);
        log("event " + event.name + ": " + run.outcome.message);
        if (Status s = record_event_end(*store, event, run, std::uint32_t(now())); !s)
            log("event " + event.name + ": cannot record the run: " + s.error().message);
    }), done});
}

std::size_t StationHost::event_threads() const
{
    std::lock_guard lock(events_mutex_);
    return event_threads_.size();
}

void StationHost::track_satellite(const std::string& name)
{
    if (!name.empty())
        pass_name_ = name;
    if (rig_)
        rig_->track(name, false); // logs what it does
}

void StationHost::start_modem_setup(const std::string& name)
{
    if (rig_)
        rig_->configure_modem(name);
}

void StationHost::start_rig(const elements::ObserverSite& home)
{
    StationRigHooks h;
    h.log = [this](const std::string& l) { log(l); };
    h.warn = [this](const std::string& t, const std::string& c) { warn(t, c); };
    h.on_rotor_position = [this](const RotorPosition& p) { view_.rotor_position(p.azimuth, p.elevation); };
    h.next_pass_start = [this]() -> std::optional<std::int64_t> {
        std::int64_t t = next_pass_start_.load();
        return t ? std::optional(t) : std::nullopt;
    };
    auto rig = StationRig::open(store_.file(), suite_dir_, home, h);
    if (!rig) {
        warn("rotator and radio not available: " + rig.error().message, "Helmo");
        return;
    }
    rig_ = std::move(*rig);
    core_->set_track_source([rig = rig_.get()] { return rig->report(); });
    rig_->open_at_start();
}

// The next pass for parking decisions, and the tracking status once a minute.
void StationHost::rig_minute(std::int64_t t)
{
    if (!rig_)
        return;
    std::int64_t next = 0;
    for (const PassEntry& e : core_->schedule_snapshot())
        if (e.run_start > t && (next == 0 || e.run_start < next))
            next = e.run_start;
    next_pass_start_ = next;
    if (t - last_rig_status_ >= 60) {
        std::string status = rig_->status_line();
        if (!status.empty()) {
            last_rig_status_ = t;
            log("tracking " + status);
        }
    }
}

Result<ProgramSettings> StationHost::read_program_settings(const std::string& name)
{
    Result<settings::SatelliteRecord> rec = settings::read_satellite(store_, name, settings::Program::Helmo);
    if (!rec)
        return rec.error();
    return ProgramSettings{rec->program, rec->directory, rec->run};
}

Status StationHost::start_program(const std::string& command, const ProgramSettings& settings)
{
    platform::LaunchOptions opts;
    opts.working_directory = settings.directory;
    opts.show = show_mode(settings.run);
    auto p = launcher_.start(command, opts);
    if (!p)
        return p.error();
    program_ = std::move(*p);
    program_started_ = now();
    return {};
}

bool StationHost::find_program_window()
{
    if (!program_ || !program_->running())
        return false;
    // The pass's window is found by its title; a program that opens none on the bus counts as
    // shown once it has run a few seconds (the engine's window is up well within that).
    if (messenger_ && messenger_->exists(engine_window()))
        return true;
    return now() - program_started_ >= kWindowlessProgramGrace;
}

bool StationHost::program_window_is_engine(const std::string& name)
{
    return messenger_->exists({"Brek:MAIN", "Brek [" + name + "]"});
}

bool StationHost::program_running() { return program_ && program_->running(); }

void StationHost::post_to_engine(std::uint32_t message, std::uint32_t word, std::int32_t value)
{
    if (Status s = messenger_->post(engine_window(), {message, word, value}); !s)
        log("message " + std::to_string(message) + " not delivered: " + s.error().message);
}

void StationHost::close_program_window()
{
    if (messenger_ && messenger_->exists(engine_window())) {
        (void)messenger_->post(engine_window(), {kMsgCloseWindow, 0, 0});
        return;
    }
    // A program without a window on the bus gets the desktop's close request as a terminate.
    if (program_ && program_->running()) {
        log("pass end: asking " + program_->name() + " to close");
        program_->terminate();
    }
}

void StationHost::forget_program() { program_.reset(); }

void StationHost::shutdown()
{
    if (shut_down_ || !core_)
        return;
    shut_down_ = true;
    stopping_ = true;
    tick_timer_.stop();
    pass_timer_.stop();
    if (search_)
        search_->stop(); // joined before anything is freed
    core_->wait_next_events();
    core_->poll_pass(0, true);
    {
        std::lock_guard lock(events_mutex_);
        for (EventThread& t : event_threads_)
            t.thread.request_stop();
        event_threads_.clear(); // joins
    }
    server_.reset();
    if (rig_) {
        core_->set_track_source(nullptr);
        rig_->shutdown();
    }
    if (Status s = core_->save_schedule(schedule_file_); !s)
        warn("cannot save the schedule: " + s.error().message, "Helmo");
    else
        log("schedule saved to " + schedule_file_.string());
    window_.reset();
}

void StationHost::time_changed()
{
    std::int64_t t = now();
    local_offset_ = system_local_offset(t);
    view_.time_changed();
    core_->dispatch_now(t);
}

void StationHost::redo_schedule()
{
    std::int64_t t = now();
    search_->stop();
    core_->redo_schedule(t, schedule_file_);
    restart_search(t);
    log("schedule redone");
}

void StationHost::set_scheduling(bool on)
{
    core_->set_scheduling(on, now());
    log(on ? "scheduling on" : "scheduling off");
}

Status StationHost::manual_pass(const std::string& name, bool refuse_second)
{
    std::int64_t t = now();
    if (refuse_second)
        return core_->manual_pass(name, t);
    // The tracking row's Run does not refuse a second manual pass.
    PassEntry e;
    e.name = name;
    e.aos = e.run_start = t;
    e.los = e.run_end = t + 900;
    e.tca = t + 450;
    e.priority = 0;
    e.elevation_ok = 1;
    e.run_now = 1;
    {
        std::lock_guard lock(core_->schedule_lock());
        if (ScheduledSatellite* s = core_->schedule().find_satellite(name))
            e.start_lead = s->start_lead;
        core_->schedule().insert_manual(std::move(e));
    }
    core_->dispatch_now(t);
    return {};
}

Status StationHost::set_tracking(const std::vector<std::string>& names)
{
    auto db = load_database();
    if (!db)
        return db.error();
    std::int64_t t = now();
    core_->set_tracking(names, *db, t);
    tracking_names_ = names;
    return store_.write_string(settings::keys::helmo, "Tracking", join_tracking(names));
}

void StationHost::answer_notice(const std::string& name, std::int64_t aos, NoticeAnswer answer)
{
    {
        std::lock_guard lock(core_->schedule_lock());
        Schedule& s = core_->schedule();
        PassEntry* e = s.find_entry(name, aos);
        if (!e)
            return; // the entry has left the schedule: the notice outlived it
        if (answer == NoticeAnswer::Run) {
            for (PassEntry& other : s.entries())
                other.run_now = 0;
            e->run_now = 1;
        } else if (answer == NoticeAnswer::Cancel) {
            e->dont_run = 1;
        }
        e->popup_window = 0;
    }
    core_->dispatch_now(now());
}

Status StationHost::run_entry_now(const std::string& name, std::int64_t aos)
{
    return core_->run_pass_now(name, aos, now());
}

Status StationHost::end_entry_now(const std::string& name, std::int64_t aos)
{
    return core_->end_pass_now(name, aos, now());
}

void StationHost::listen_only(const std::string& name, std::int64_t aos)
{
    {
        std::lock_guard lock(core_->schedule_lock());
        if (PassEntry* e = core_->schedule().find_entry(name, aos))
            e->listen_only = 1;
    }
    core_->dispatch_now(now());
}

Status StationHost::start_command(std::vector<std::string> words, const std::filesystem::path& directory)
{
    std::string command;
    for (const std::string& w : words)
        command += (command.empty() ? "" : " ") + w;
    platform::LaunchOptions opts;
    opts.working_directory = directory.string();
    opts.show = platform::ShowMode::Normal;
    auto p = launcher_.start(std::move(words), opts);
    if (!p)
        return p.error();
    log("started " + command);
    // Let go: a process nobody waits for is reaped in the background when it ends.
    return {};
}

void StationHost::reload_events() { core_->load_events(settings::read_events(store_), now()); }

} // namespace orva::station

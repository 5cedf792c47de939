#include "station/app/headless_host.h"

#include <chrono>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/subkey_records.h"
#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "platform/dbus/session_bus.h"
#include "station/core/event_run.h"
#include "station/schedule/schedule_file.h"

namespace orva::station {

namespace {
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

HeadlessHost::HeadlessHost(platform::Store store, HeadlessOptions options)
    : store_(std::move(store)), options_(std::move(options))
{
    connect(&tick_timer_, &QTimer::timeout, this, [this] { tick(); });
    pass_timer_.setSingleShot(true);
    connect(&pass_timer_, &QTimer::timeout, this, [this] { drive_pass(); });
}

HeadlessHost::~HeadlessHost()
{
    shutdown();
    if (out_ && out_ != stdout)
        std::fclose(out_);
}

std::int64_t HeadlessHost::now() const
{
    const platform::Clock& clock = options_.clock ? *options_.clock : platform::SystemClock::instance();
    return std::chrono::duration_cast<std::chrono::seconds>(clock.now().time_since_epoch()).count();
}

void HeadlessHost::log(const std::string& line)
{
    std::lock_guard lock(log_mutex_);
    std::string stamp = format_iso8601(StationTime(std::chrono::seconds(now())));
    std::fprintf(out_, "%s %s\n", stamp.c_str(), line.c_str());
    std::fflush(out_);
}

void HeadlessHost::warn(const std::string& text, const std::string& caption) { log(caption + ": " + text); }

Status HeadlessHost::start()
{
    if (!options_.log_file.empty()) {
        out_ = std::fopen(options_.log_file.c_str(), "a");
        if (!out_) {
            out_ = stdout;
            return make_error("cannot open the log " + options_.log_file.string());
        }
    }
    if (!store_.key_exists(settings::keys::general))
        return make_error("Orva setup has not been completed.  You must run the setup program before you can use Orva.");
    settings::GeneralSettings general = settings::read_general(store_, settings::Program::Helmo);
    suite_dir_ = general.orva_directory;
    schedule_file_ = suite_dir_ / kScheduleFileName;
    std::error_code ec;
    if (!suite_dir_.empty())
        std::filesystem::current_path(suite_dir_, ec);
    settings::StationSettings st = settings::read_station(store_, settings::Program::Helmo);
    settings::HelmoSettings helmo = settings::read_helmo(store_);
    core_ = std::make_unique<StationCore>(read_schedule_config(store_),
        elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude, st.altitude), *this);

    messenger_ = platform::dbus::session_messenger();
    platform::WindowHandlers handlers;
    handlers.on_message = [this](const platform::WindowMessage& m) -> std::int32_t {
        if (m.number == kMsgReloadElements) {
            log("message 2037: element database changed");
            reload_elements();
        } else if (m.number == kMsgDispatch) {
            core_->dispatch_now(now());
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
    core_->load_events(settings::read_events(store_), t);
    auto db = elements::KepDatabase::load(elements::kep_database_path(suite_dir_));
    if (!db) {
        warn(db.error().message, "Helmo");
        db = elements::KepDatabase{};
    }
    core_->set_tracking(split_tracking(helmo.tracking), *db, t);
    core_->build_schedule(store_, *db, t, schedule_file_);
    search_ = std::make_unique<SearchWorker>(*core_);
    schedule_days_ = std::int64_t(helmo.schedule_days);
    search_->start(t, schedule_days_);
    core_->dispatch_now(t);
    log("Helmo started: station " + st.callsign + ", " + std::to_string(core_->schedule_snapshot().size()) +
        " passes loaded, searching " + std::to_string(helmo.schedule_days) + " day(s) ahead");
    // The first table a few seconds in, once the search and the next-event workers have answered.
    last_table_ = t - 57;
    if (options_.timers)
        tick_timer_id_ = options_.timers->start(std::chrono::seconds(1), [this] { tick(); }, std::chrono::seconds(1));
    else
        tick_timer_.start(975);
    return {};
}

void HeadlessHost::reload_elements()
{
    auto db = elements::KepDatabase::load(elements::kep_database_path(suite_dir_));
    if (!db) {
        warn(db.error().message, "Helmo");
        return;
    }
    std::int64_t t = now();
    core_->reload_elements(*db, t);
    search_->stop();
    {
        std::lock_guard lock(core_->schedule_lock());
        for (const auto& s : core_->schedule().satellites())
            core_->schedule().research_satellite(s->track.name, t);
    }
    schedule_days_ = std::int64_t(settings::read_helmo(store_).schedule_days);
    search_->start(t, schedule_days_);
}

void HeadlessHost::keep_searching(std::int64_t t)
{
    // The worker ends when every satellite has a pass beyond its horizon; a pass leaving the
    // schedule, or the horizon moving on, puts satellites back on the list for a new worker.
    // Checked once a minute: a satellite that is never above the horizon would otherwise start
    // a worker every second.
    if (!search_ || t - last_search_check_ < 60 || !search_->finished().is_set())
        return;
    last_search_check_ = t;
    if (core_->search_wanted(t))
        search_->start(t, schedule_days_);
}

void HeadlessHost::tick()
{
    std::int64_t t = now();
    core_->tick(t);
    keep_searching(t);
    drive_pass();
    if (server_) {
        std::optional<TrackReport> report;
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
    if (options_.table && t - last_table_ >= 60) {
        last_table_ = t;
        LiveView v = core_->live_view(t);
        std::string block = std::string(kTrackingHeading) + "\n";
        for (const std::string& r : v.rows)
            block += r + "\n";
        block += std::string(kScheduleHeading) + "\n";
        std::size_t shown = 0;
        for (const std::string& r : v.schedule)
            if (shown++ < 8)
                block += r + "\n";
        if (!v.status.empty())
            block += v.status + "\n";
        std::lock_guard lock(log_mutex_);
        std::fprintf(out_, "%s", block.c_str());
        std::fflush(out_);
    }
}

void HeadlessHost::drive_pass()
{
    const platform::Clock& clock = options_.clock ? *options_.clock : platform::SystemClock::instance();
    std::int64_t now_ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock.now().time_since_epoch()).count();
    std::optional<std::int64_t> next = core_->poll_pass(now_ms, stopping_.load());
    if (next)
        pass_timer_.start(int(std::clamp<std::int64_t>(*next - now_ms, 0, 1000)));
}

void HeadlessHost::pre_pass_notice(const PassEntry& e, bool)
{
    log("pass of " + e.name + " soon: AOS " + format_iso8601(StationTime(std::chrono::seconds(e.run_start))) +
        ", maximum elevation " + std::to_string(e.max_elevation));
}

void HeadlessHost::close_pre_pass_notice(const PassEntry&) {}

void HeadlessHost::pass_started(const PassEntry&)
{
    // Driven on this thread: poll the pass as soon as the loop is free.
    QMetaObject::invokeMethod(this, [this] { drive_pass(); }, Qt::QueuedConnection);
}

namespace {
// The event's program through the launcher, on the event thread; the station's stop ends the wait.
class HostEventRunner final : public EventRunner {
public:
    HostEventRunner(platform::Store& store, const platform::Launcher& launcher, platform::Messenger* messenger,
                    std::stop_token stop)
        : store_(store), launcher_(launcher), messenger_(messenger), stop_(stop)
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
    Result<std::uint32_t> housekeeping() override { return make_error("file housekeeping is not available in this build"); }

private:
    platform::Store& store_;
    const platform::Launcher& launcher_;
    platform::Messenger* messenger_;
    std::stop_token stop_;
};
} // namespace

void HeadlessHost::run_event(const EventEntry& event)
{
    std::lock_guard lock(events_mutex_);
    std::erase_if(event_threads_, [](std::jthread& t) { return !t.joinable(); });
    std::filesystem::path store_file = store_.file();
    event_threads_.emplace_back([this, event, store_file](std::stop_token stop) {
        auto store = platform::Store::open(store_file, platform::Access::ReadWrite);
        if (!store) {
            log("event " + event.name + ": cannot open the store: " + store.error().message);
            return;
        }
        std::optional<std::string> key = find_event_key(*store, event.name);
        if (!key) {
            log("event " + event.name + ": its key no longer exists; not run");
            return;
        }
        EventEntry found = event;
        found.key_path = *key;
        if (Status s = record_event_start(*store, found, std::uint32_t(now())); !s)
            log("event " + event.name + ": cannot record the start: " + s.error().message);
        HostEventRunner runner(*store, launcher_, messenger_.get(), stop);
        EventRun run = run_event_once(found, runner);
        log("event " + event.name + ": " + run.outcome.message);
        if (Status s = record_event_end(*store, event, run, std::uint32_t(now())); !s)
            log("event " + event.name + ": cannot record the run: " + s.error().message);
    });
}

void HeadlessHost::track_satellite(const std::string& name)
{
    if (!name.empty())
        pass_name_ = name;
    log(name.empty() ? "rotator None: stop tracking" : "rotator None: tracking " + name);
}

void HeadlessHost::start_modem_setup(const std::string&) {}

Result<ProgramSettings> HeadlessHost::read_program_settings(const std::string& name)
{
    Result<settings::SatelliteRecord> rec = settings::read_satellite(store_, name, settings::Program::Helmo);
    if (!rec)
        return rec.error();
    return ProgramSettings{rec->program, rec->directory, rec->run};
}

Status HeadlessHost::start_program(const std::string& command, const ProgramSettings& settings)
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

bool HeadlessHost::find_program_window()
{
    if (!program_ || !program_->running())
        return false;
    // The pass's window is found by its title; a program that opens none on the bus counts as
    // shown once it has run a few seconds (the engine's window is up well within that).
    if (messenger_ && messenger_->exists(engine_window()))
        return true;
    return now() - program_started_ >= kWindowlessProgramGrace;
}

bool HeadlessHost::program_window_is_engine(const std::string& name)
{
    return messenger_->exists({"Brek:MAIN", "Brek [" + name + "]"});
}

bool HeadlessHost::program_running() { return program_ && program_->running(); }

void HeadlessHost::post_to_engine(std::uint32_t message, std::uint32_t word, std::int32_t value)
{
    if (Status s = messenger_->post(engine_window(), {message, word, value}); !s)
        log("message " + std::to_string(message) + " not delivered: " + s.error().message);
}

void HeadlessHost::close_program_window()
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

void HeadlessHost::forget_program() { program_.reset(); }

void HeadlessHost::shutdown()
{
    if (shut_down_ || !core_)
        return;
    shut_down_ = true;
    stopping_ = true;
    tick_timer_.stop();
    pass_timer_.stop();
    if (options_.timers && tick_timer_id_)
        options_.timers->cancel(tick_timer_id_);
    if (search_)
        search_->stop(); // joined before anything is freed
    core_->wait_next_events();
    core_->poll_pass(0, true);
    {
        std::lock_guard lock(events_mutex_);
        for (std::jthread& t : event_threads_)
            t.request_stop();
        event_threads_.clear(); // joins
    }
    server_.reset();
    if (Status s = core_->save_schedule(schedule_file_); !s)
        warn("cannot save the schedule: " + s.error().message, "Helmo");
    else
        log("schedule saved to " + schedule_file_.string());
    window_.reset();
}

} // namespace orva::station

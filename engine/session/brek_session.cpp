// Brek's session through a pass: opening it over the reception engine, the TNC and the upload
// client, feeding and polling it, and closing it in order.
#include "engine/session/session_impl.h"

#include "engine/session/pass_config.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace orva::engine {

namespace fs = std::filesystem;
using namespace session_detail;

namespace {

constexpr std::uint64_t kBoxRefreshMs = 1000; // the boxes follow the counters this often
constexpr std::uint64_t kTickMs = 10000;      // the pass-time bar

std::optional<std::vector<std::uint8_t>> read_whole(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TncSequencer::TimePoint tp(std::uint64_t ms)
{
    return TncSequencer::TimePoint(std::chrono::milliseconds(ms));
}

} // namespace

bool BrekSession::Impl::open_pass(const std::string& name)
{
    if (state != SessionState::NoPass)
        return false;
    auto found = host.find_satellite(name);
    if (!found) {
        add_line("Satellite " + name + " is not in the station settings", LineColour::Red);
        return false;
    }
    rec = std::move(*found);
    satellite = rec.name.substr(0, 14);
    for (char& c : satellite)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    catalogue = rec.catalogue;
    set_title("Brek [" + satellite + "]");
    folder = fs::path(rec.satellite_directory.empty() ? rec.directory : rec.satellite_directory);
    queue_line.clear();
    last_pfh.clear();
    last_tlm.clear();
    headers.clear();
    pending_entry = 0;
    slot_tokens.fill(0);
    slot_files.fill(0);
    pass_start = now_s();
    if (!listen_only)
        pass_end.reset();

    // The session-only settings start from the satellite's values at every pass.
    temporary = {rec.auto_fill != 0, rec.uploading != 0, rec.auto_freq != 0};
    general.inactivity_timeout_s = rec.inactivity_timeout ? rec.inactivity_timeout * 60 : 86400;
    general.up_to_date_timeout_s = rec.up_to_date_timeout ? rec.up_to_date_timeout * 60 : 86400;
    general.proc_threshold = rec.proc_threshold;
    general.download_your_uploads = rec.dl_mine == 0;
    general.print_headers = false;
    general.run_dispo = rec.run_dispo != 0;
    general.block_bbs = rec.block_bbs != 0;
    general.grab_all = rec.grab_all != 0;
    tnc = TncSettingsBox{rec.tx_delay, rec.tx_tail, rec.retries, rec.max_frame, rec.retry_time / 1000,
                         rec.pac_length + 2};
    broadcast = {rec.auto_fill != 0, int(rec.bdcst_custom), int(rec.tail_action),
                 std::clamp(int(rec.dir_priority), 5, 10)};
    log_kiss = rec.log_kiss != 0 && !config.offline;
    log_telemetry = rec.log_telemetry != 0 && !config.offline;

    ReceptionConfig c = reception_config_from(rec, config.station, config.general);
    c.folder = folder;
    c.seed = config.seed;
    c.checkpoint_ms = config.checkpoint_ms;
    c.send_parameters = false;
    c.listen_only = listen_only;
    c.log = &log_tap;
    c.monitor = &monitor_tap;

    recorder = std::make_unique<SessionRecorder>(
        RecorderConfig{folder, rec.use_clock != 0 && !config.offline, log_kiss, log_telemetry}, sink, host.clock_setter(),
        [this] { return std::chrono::system_clock::time_point(std::chrono::milliseconds(now())); });
    uploads_off.clear();
    if (!config.offline) {
        if (!Ax25Address::parse(rec.bbs_callsign)) {
            add_line("Error setting the BBS callsign", LineColour::Red);
            uploads_off = "Uploads are off for this pass: the BBS Callsign \"" + rec.bbs_callsign + "\" is not a callsign";
            add_line(uploads_off, LineColour::Red);
        } else {
            add_line("BBS Callsign set to " + rec.bbs_callsign, LineColour::Black);
            if (!Ax25Address::parse(config.station.callsign))
                uploads_off = "Uploads are off for this pass: the station Callsign is not a callsign";
        }
        if (auto u = upload_config_from(rec, config.station, folder, config.seed)) {
            u->uploading = u->uploading && !listen_only;
            upload = std::make_unique<UploadHost>(
                *u,
                [this](std::span<const std::uint8_t> f) {
                    write_bytes(encode_kiss_frame(f, std::uint8_t((rec.tx_port & 7) << 4), false));
                },
                sink, [this] { return LinkTime(std::int64_t(now())); },
                [this](int n) { select_uplink(n); });
            c.upload = upload.get();
        }
    }
    engine = std::make_unique<ReceptionEngine>(c, *this);
    if (tail_budget) {
        broadcast.tail_action = tail_action;
        engine->scheduler().set_tail(tail_action, *tail_budget);
    }
    state = SessionState::PassOpen;
    receiving = true;
    notify([](SessionObserver& o) { o.on_pass_changed(true); });
    if (auto s = engine->open(now()); !s)
        add_line(s.error().message, LineColour::Red);
    if (!config.offline) {
        if (auto s = host.open_tnc(rec); !s) {
            play(settings::SoundEvent::Error);
            add_line("Unable to initialise communications port.", LineColour::Red);
            add_line("Error opening the TNC: " + s.error().message, LineColour::Red);
        } else {
            tnc_open = true;
            TncSetup setup;
            setup.tnc_type = int(rec.tnc_type);
            setup.tx_port_nibble = std::uint8_t((rec.tx_port & 7) << 4);
            setup.tx_delay_ms = rec.tx_delay;
            setup.tx_tail_ms = rec.tx_tail;
            setup.retry_time_ms = rec.retry_time;
            setup.max_frame = int(rec.max_frame);
            setup.retries = int(rec.retries);
            perform(sequencer.start(setup, read_whole(folder / "Brek TNC Startup.TXT"), tp(now())));
        }
    } else {
        engine->arm_session();
    }
    uplink = rec.default_uplink >= 1 && rec.default_uplink <= 4 ? int(rec.default_uplink) : 1;
    downlink = rec.default_downlink >= 1 && rec.default_downlink <= 2 ? int(rec.default_downlink) : 1;
    recorder->open(whole_seconds(now()));
    if (rec.open_tessel && !config.offline && !host.window_exists(tessel()))
        launch({suite_program("TESSEL.EXE"), satellite}, platform::ShowMode::Minimised);
    box_due = now() + kBoxRefreshMs;
    tick_due = now() + kTickMs;
    refresh(true);
    return true;
}

void BrekSession::Impl::close_pass(bool end_program)
{
    closing = end_program;
    if (state != SessionState::PassOpen)
        return;
    state = SessionState::Closing;
    const std::uint64_t t = now();
    receiving = false;
    host.end_conversations();
    if (rec.close_tessel && host.window_exists(tessel()))
        (void)host.post_message(tessel(), {kMsgClose, 0, 0});
    std::vector<UploadLogEntry> uploads;
    if (upload)
        uploads = upload->close();
    if (recorder && engine) {
        recorder->set_station_bytes(engine->dispatcher().counters().broadcast_bytes);
        if (const auto heard = engine->dispatcher().last_heard()) {
            recorder->start_if_unset(*engine->dispatcher().first_heard());
            if (auto s = recorder->close(*heard, engine->kiss_counters().bytes, std::move(uploads)); !s)
                add_line(s.error().message, LineColour::Red);
        }
    }
    if (engine) {
        const auto& d = engine->directory().counters();
        const auto& f = engine->files().counters();
        char text[kStatusLineLength + 1];
        std::snprintf(text, sizeof text, "Pass closed: %llu headers, %llu files completed, %llu file bytes",
                      static_cast<unsigned long long>(d.headers), static_cast<unsigned long long>(f.completed),
                      static_cast<unsigned long long>(f.bytes));
        refresh(true);
        engine->close(t); // hole lists, directory holes, the mail processor on "*.DL"
        add_line(text, LineColour::Black);
    }
    if (tnc_open)
        perform(sequencer.begin_exit(read_whole(folder / "Brek TNC Exit.TXT"), tp(t)));
    else
        end_close_due = t;
}

void BrekSession::Impl::end_close()
{
    end_close_due.reset();
    close_port();
    engine.reset();
    upload.reset();
    recorder.reset();
    state = SessionState::NoPass;
    set_title("Brek");
    notify([](SessionObserver& o) { o.on_pass_changed(false); });
    if (closing) {
        finished = true;
        notify([](SessionObserver& o) { o.on_finished(); });
        return;
    }
    if (next_satellite) {
        const std::string next = *next_satellite;
        next_satellite.reset();
        open_pass(next);
    }
}

BrekSession::BrekSession(SessionConfig config, SessionHost& host)
    : impl_(std::make_unique<Impl>(std::move(config), host))
{
}

BrekSession::~BrekSession() = default;

void BrekSession::add_observer(SessionObserver* observer) { impl_->observers.push_back(observer); }
void BrekSession::remove_observer(SessionObserver* observer) { std::erase(impl_->observers, observer); }

void BrekSession::start(const std::string& satellite)
{
    if (!Ax25Address::parse(impl_->config.station.callsign))
        post("Error setting MYCALL", LineColour::Red);
    if (!satellite.empty())
        impl_->open_pass(satellite);
}

bool BrekSession::open_pass(const std::string& satellite) { return impl_->open_pass(satellite); }

void BrekSession::request_close()
{
    auto& s = *impl_;
    if (s.finished)
        return;
    if (s.state == SessionState::NoPass) {
        s.closing = true;
        if (!s.finish_due)
            s.finish_due = s.now() + 100;
        return;
    }
    if (s.state == SessionState::Closing) {
        s.closing = true; // a close request during Select Satellite ends the program
        s.next_satellite.reset();
        return;
    }
    s.close_pass(true);
}

void BrekSession::select_satellite(const std::string& satellite)
{
    auto& s = *impl_;
    if (s.state == SessionState::PassOpen) {
        s.next_satellite = satellite;
        s.close_pass(false);
    } else if (s.state == SessionState::NoPass) {
        s.open_pass(satellite);
    } else if (!s.closing) {
        s.next_satellite = satellite;
    }
}

void BrekSession::feed_tnc(std::span<const std::uint8_t> bytes)
{
    auto& s = *impl_;
    if (s.state != SessionState::PassOpen || !s.receiving || !s.engine)
        return;
    if (s.recorder)
        s.recorder->on_raw_bytes(bytes);
    s.engine->feed(bytes, s.now());
    if (s.engine->close_requested())
        request_close();
}

void BrekSession::feed_tnc(const TncInbox& inbox)
{
    for (const auto& item : inbox.items) {
        if (item.bytes.empty())
            tnc_overrun(item.overruns);
        else
            feed_tnc(item.bytes);
    }
    for (const auto& e : inbox.write_errors)
        post("Error writing to the TNC: " + e, LineColour::Red);
    if (inbox.lost && impl_->tnc_open)
        tnc_lost("The TNC link was lost: " + *inbox.lost);
}

void BrekSession::tnc_overrun(std::uint32_t chunks)
{
    auto& s = *impl_;
    if (s.engine)
        s.engine->receive_overrun(chunks);
}

void BrekSession::tnc_lost(const std::string& reason)
{
    auto& s = *impl_;
    s.add_line(reason, LineColour::Red);
    s.close_port();
}

void BrekSession::poll()
{
    auto& s = *impl_;
    const std::uint64_t t = s.now();
    if (s.finish_due && t >= *s.finish_due && !s.finished) {
        s.finish_due.reset();
        s.finished = true;
        s.notify([](SessionObserver& o) { o.on_finished(); });
        return;
    }
    if (s.state == SessionState::PassOpen && s.engine) {
        s.engine->poll(t);
        if (s.upload)
            s.upload->poll();
        if (t >= s.box_due) {
            s.box_due = t + kBoxRefreshMs;
            s.refresh(false);
        }
        if (t >= s.tick_due) {
            s.tick_due = t + kTickMs;
            s.refresh(true);
        }
        if (s.engine->close_requested())
            request_close();
    }
    if (s.end_close_due && t >= *s.end_close_due)
        s.end_close();
    if (!s.finished)
        s.perform(s.sequencer.poll(tp(t)));
}

std::optional<std::uint64_t> BrekSession::next_deadline() const
{
    const auto& s = *impl_;
    std::optional<std::uint64_t> d;
    auto take = [&](std::uint64_t v) { d = d ? std::min(*d, v) : v; };
    if (s.finished)
        return std::nullopt;
    if (s.finish_due)
        take(*s.finish_due);
    if (s.end_close_due)
        take(*s.end_close_due);
    if (s.state == SessionState::PassOpen && s.engine) {
        take(s.engine->next_deadline());
        take(s.box_due);
        take(s.tick_due);
        if (s.upload)
            if (auto u = s.upload->next_deadline())
                take(std::uint64_t(std::max<std::int64_t>(0, u->count())));
    }
    if (auto q = s.sequencer.next_deadline())
        take(std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(q->time_since_epoch()).count()));
    return d;
}

SessionState BrekSession::state() const { return impl_->state; }
bool BrekSession::listen_only() const { return impl_->listen_only; }
const std::string& BrekSession::title() const { return impl_->title; }
const std::string& BrekSession::satellite() const { return impl_->satellite; }
std::uint32_t BrekSession::catalogue() const { return impl_->catalogue; }
int BrekSession::uplink() const { return impl_->uplink; }
int BrekSession::downlink() const { return impl_->downlink; }
std::optional<std::int64_t> BrekSession::pass_end() const { return impl_->pass_end; }

bool BrekSession::finished() const { return impl_->finished; }
void BrekSession::post(const std::string& text, LineColour colour) { impl_->add_line(text, colour); }

} // namespace orva::engine

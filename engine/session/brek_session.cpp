#include "engine/session/brek_session.h"

#include "engine/app/reception_engine.h"
#include "engine/directory/status_codes.h"
#include "engine/link/kiss_encoder.h"
#include "engine/link/tnc_sequencer.h"
#include "engine/log/session_recorder.h"
#include "engine/session/file_header_lookup.h"
#include "engine/session/pass_config.h"
#include "engine/upload/upload_host.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <unordered_map>

namespace orva::engine {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kBoxRefreshMs = 1000; // the boxes follow the counters this often
constexpr std::uint64_t kTickMs = 10000;      // the pass-time bar
constexpr std::size_t kPokeText = 100;
constexpr std::size_t kTelemetryAdvise = 350;

std::string hex(std::uint32_t n)
{
    char b[16];
    std::snprintf(b, sizeof b, "%lX", static_cast<unsigned long>(n));
    return b;
}

std::string figure(const char* prefix, std::uint64_t n)
{
    char b[32];
    std::snprintf(b, sizeof b, "%s%7lu", prefix, static_cast<unsigned long>(n));
    return b;
}

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

std::chrono::sys_seconds whole_seconds(std::uint64_t ms)
{
    return std::chrono::floor<std::chrono::seconds>(
        std::chrono::sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(ms)));
}

// The upload link's parameters as the TNC box holds them; the rate is the satellite's.
DataLinkSettings link_settings_of(const TncSettingsBox& box, const settings::SatelliteRecord& rec)
{
    DataLinkSettings l = data_link_settings_from(rec);
    l.t1 = LinkTime(std::clamp<std::uint32_t>(box.retry_time_s, 1, 60) * 1000);
    l.tx_delay = LinkTime(std::min<std::uint32_t>(box.tx_delay_ms, 2500));
    l.window = int(std::clamp<std::uint32_t>(box.max_frame, 1, 7));
    l.retries = int(std::clamp<std::uint32_t>(box.retries, 1, 255));
    l.pac_length = std::clamp<std::uint32_t>(box.packet_length - 2, 10, 244);
    return l;
}

// What the boxes show of a directory entry.
struct EntryText {
    std::string to, from, title;
    int file_type = 0;
    std::uint32_t file_size = 0;
};

EntryText entry_text(const pfh::PfhHeader& h)
{
    return {h.destination.value_or(""), h.source.value_or(""), h.title.value_or(""), int(h.file_type.value_or(0)),
            h.file_size.value_or(0)};
}

} // namespace

struct BrekSession::Impl final : ReceptionOutput {
    // Separate taps so that the interfaces' like-named calls stay apart.
    struct Sink final : StatusSink {
        Impl& s;
        explicit Sink(Impl& i) : s(i) {}
        void post(std::string text, LineColour colour) override { s.add_line(std::move(text), colour); }
    };
    struct LogTap final : SessionLogReceiver {
        Impl& s;
        explicit LogTap(Impl& i) : s(i) {}
        void on_session_start(std::chrono::sys_seconds now) override
        {
            if (s.recorder)
                s.recorder->on_session_start(now);
        }
        void on_server_status(std::string_view text, std::optional<std::uint64_t> bytes) override
        {
            if (!s.recorder)
                return;
            // The figure compares the satellite's count with what we heard up to the same line.
            if (s.engine)
                s.recorder->set_station_bytes(s.engine->dispatcher().counters().broadcast_bytes);
            s.recorder->on_server_status(text, bytes);
        }
        void on_satellite_time(std::uint32_t time, std::span<const std::uint8_t> frame) override
        {
            if (s.recorder)
                s.recorder->on_satellite_time(time, frame);
            s.advise_telemetry(frame);
        }
    };
    struct Monitor final : MonitorSink {
        Impl& s;
        explicit Monitor(Impl& i) : s(i) {}
        void show(std::string_view line) override { s.add_monitor(std::string(line)); }
    };

    Impl(SessionConfig c, SessionHost& h) : config(std::move(c)), host(h), sink(*this), log_tap(*this), monitor_tap(*this) {}

    SessionConfig config;
    SessionHost& host;
    Sink sink;
    LogTap log_tap;
    Monitor monitor_tap;
    std::vector<SessionObserver*> observers;
    std::deque<StatusLine> lines;
    std::deque<std::string> monitor;
    std::string title = "Brek";
    std::string satellite;
    std::uint32_t catalogue = 0;
    SessionState state = SessionState::NoPass;
    bool closing = false;
    bool finished = false;
    std::optional<std::uint64_t> finish_due;
    std::optional<std::uint64_t> end_close_due; // the close without a TNC exit sequence
    std::optional<std::string> next_satellite;

    settings::SatelliteRecord rec;
    fs::path folder;
    int uplink = 1, downlink = 1, offset_hz = 0;
    bool listen_only = false;
    std::optional<std::int64_t> pass_end;
    std::int64_t pass_start = 0;
    TemporarySettings temporary;
    GeneralOptions general;
    TncSettingsBox tnc;
    BroadcastOptions broadcast;
    bool log_kiss = false, log_telemetry = false;

    std::unique_ptr<SessionRecorder> recorder;
    std::unique_ptr<UploadHost> upload;
    std::unique_ptr<ReceptionEngine> engine;
    TncSequencer sequencer;
    bool tnc_open = false;
    bool receiving = false;
    std::uint64_t box_due = 0, tick_due = 0;
    std::string queue_line;
    // Why this pass has no upload client, told again when the operator switches uploading on.
    std::string uploads_off;
    std::vector<std::uint8_t> last_pfh, last_tlm;
    std::unordered_map<std::uint32_t, EntryText> headers; // stored this pass
    std::uint32_t pending_entry = 0;                       // its directory line is still to come
    std::string pending_prefix;
    std::optional<std::uint32_t> tail_budget;              // message 2036, with its tail action
    int tail_action = 2;
    StatusBoxes shown_boxes;
    std::vector<DownloadRow> shown_table = std::vector<DownloadRow>(kTableRows);
    std::uint64_t slot_generation = 0;
    std::array<std::uint64_t, kTableRows> slot_tokens{};
    std::array<std::uint32_t, kTableRows> slot_files{};

    std::uint64_t now() { return host.now_ms(); }
    std::int64_t now_s() { return std::int64_t(now() / 1000); }

    template <class F> void notify(F f)
    {
        const auto copy = observers; // an observer may remove itself
        for (auto* o : copy)
            f(*o);
    }

    void add_line(std::string text, LineColour colour, std::uint32_t file_number = 0)
    {
        if (text.size() > kStatusLineLength)
            text.resize(kStatusLineLength);
        StatusLine l{std::move(text), colour, file_number};
        lines.push_back(l);
        if (lines.size() > kStatusLines)
            lines.pop_front();
        notify([&](SessionObserver& o) { o.on_status_line(l); });
    }

    void add_monitor(std::string line)
    {
        monitor.push_back(line);
        if (monitor.size() > kMonitorLines)
            monitor.pop_front();
        notify([&](SessionObserver& o) { o.on_monitor_line(line); });
    }

    void set_title(std::string t)
    {
        title = std::move(t);
        host.set_title(title);
        notify([&](SessionObserver& o) { o.on_title_changed(title); });
    }

    platform::WindowAddress tessel() const { return {kTesselClass, "Tessel [" + satellite + "]"}; }
    platform::WindowAddress helmo() const { return {kHelmoClass, ""}; }

    void tell_helmo(std::uint32_t number, std::uint32_t word)
    {
        if (host.window_exists(helmo()))
            (void)host.post_message(helmo(), {number, word, 0});
    }

    void launch(std::vector<std::string> words, platform::ShowMode show)
    {
        if (auto s = host.launch(words, show, folder); !s)
            add_line("Cannot start " + words.front() + ": " + s.error().message, LineColour::Red);
    }

    std::string suite_program(const char* name) const
    {
        return (fs::path(config.general.orva_directory) / name).string();
    }

    // ReceptionOutput
    void write_bytes(std::span<const std::uint8_t> bytes) override
    {
        if (tnc_open)
            host.write_tnc(bytes);
    }
    bool write_frame(std::span<const std::uint8_t> bytes) override { return tnc_open && host.try_write_tnc(bytes); }
    std::size_t output_queued() override { return tnc_open ? host.tnc_output_queued() : 0; }
    void post(const std::string& text, LineColour colour) override
    {
        // The directory line of a header just stored starts with its number ("%8lX ").
        std::uint32_t about = 0;
        if (pending_entry && text.rfind(pending_prefix, 0) == 0) {
            about = pending_entry;
            pending_entry = 0;
        }
        add_line(text, colour, about);
    }
    void start_dispo(const std::string& file) override
    {
        // "%s\DISPO.EXE S~%s F~%lX.DL", minimised without activation.
        launch({suite_program("DISPO.EXE"), "S~" + satellite, "F~" + file}, platform::ShowMode::MinimisedNoActivate);
    }
    void on_file_completed(std::uint32_t) override { play(settings::SoundEvent::NewDownload); }
    void play(settings::SoundEvent event)
    {
        const settings::SoundChoice sound = settings::choose_sound(config.general, event, satellite);
        if (sound.kind != settings::SoundChoice::Kind::None)
            host.play_sound(sound);
    }
    void on_header_stored(std::span<const std::uint8_t> header) override
    {
        last_pfh.assign(header.begin(), header.end());
        if (auto h = pfh::parse_pfh(header, {.check_header_checksum = false})) {
            headers[h->file_number] = entry_text(*h);
            pending_entry = h->file_number;
            char prefix[16];
            std::snprintf(prefix, sizeof prefix, "%8lX ", static_cast<unsigned long>(h->file_number));
            pending_prefix = prefix;
        }
        host.advise("Directory", "PFH", "PFH", header);
    }
    void on_queue_line(std::string_view text) override { queue_line = std::string(text); }
    void show_request_status(const std::string&) override {}
    void select_uplink(int n) override
    {
        uplink = n;
        add_line("Selecting uplink " + std::to_string(n), LineColour::Black);
        tell_helmo(kMsgSelectUplink, std::uint32_t('0' + n));
    }

    void advise_telemetry(std::span<const std::uint8_t> frame)
    {
        auto kiss = encode_kiss_frame(frame, 0, false);
        if (kiss.size() > kTelemetryAdvise)
            kiss.resize(kTelemetryAdvise);
        last_tlm = kiss;
        host.advise("Receive", "TLM", "AX25KISS", kiss);
    }

    void perform(std::vector<TncAction> actions)
    {
        for (auto& a : actions) {
            switch (a.kind) {
            case TncAction::Kind::WriteRaw:
                if (tnc_open)
                    host.write_tnc(a.bytes);
                break;
            case TncAction::Kind::Post:
                add_line(a.text, a.colour);
                break;
            case TncAction::Kind::ResetSmack:
            case TncAction::Kind::LinkParams: // the upload link takes its timers from the record
                break;
            case TncAction::Kind::ArmSession:
                if (engine)
                    engine->arm_session();
                if (host.window_exists(tessel()))
                    (void)host.post_message(tessel(), {kMsgFlushDirectory, 0, 0});
                break;
            case TncAction::Kind::ClosePort:
                close_port();
                break;
            case TncAction::Kind::Finished:
                end_close();
                break;
            }
        }
    }

    void close_port()
    {
        if (tnc_open) {
            tnc_open = false;
            host.close_tnc();
        }
    }

    bool open_pass(const std::string& name);
    void close_pass(bool end_program);
    void end_close();
    void refresh(bool force);
    StatusBoxes make_boxes();
    std::vector<DownloadRow> make_table();
    void apply_settings();
    std::optional<EntryText> find_entry(std::uint32_t file_number);
};

std::optional<EntryText> BrekSession::Impl::find_entry(std::uint32_t file_number)
{
    if (auto it = headers.find(file_number); it != headers.end())
        return it->second;
    if (engine)
        if (auto slot = engine->files().find_slot(file_number)) {
            const DownloadSlot& d = engine->files().slot(*slot);
            if (auto h = read_partial_header(d.fd, d.holes, file_number))
                return headers[file_number] = entry_text(*h);
        }
    if (!folder.empty())
        if (auto h = find_directory_header(folder, file_number))
            return headers[file_number] = entry_text(*h);
    return std::nullopt;
}

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

StatusBoxes BrekSession::Impl::make_boxes()
{
    StatusBoxes b;
    b.pass_start = pass_start;
    b.pass_end = pass_end;
    b.now = now_s();
    if (!engine)
        return b;
    b.directory_status = engine->directory().status_text();
    const std::uint32_t requested = engine->scheduler().requested_file();
    b.request_status = requested ? "AUTO " + hex(requested) : "Auto Idle";
    if (recorder) {
        recorder->set_station_bytes(engine->dispatcher().counters().broadcast_bytes);
        if (auto e = recorder->line_efficiency())
            b.efficiency = std::to_string(*e) + "%";
        if (auto e = recorder->efficiency())
            b.pass_efficiency = std::to_string(*e) + "%";
    }
    b.total_bytes = figure("T:", engine->kiss_counters().bytes);
    b.directory_bytes = figure("D:", engine->directory().counters().bytes);
    b.file_bytes = figure("F:", engine->files().counters().bytes);
    if (upload) {
        b.upload_letter = upload->busy() ? "U" : "";
        b.bbs_status = upload->bbs_status();
        b.upload_held = upload->held();
        if (UploadProgress p = upload->progress(); !p.file.empty() && b.upload_letter == "U")
            b.upload = std::move(p);
    }
    b.queue_line = queue_line;
    b.uploads_off = uploads_off;
    return b;
}

std::vector<DownloadRow> BrekSession::Impl::make_table()
{
    std::vector<DownloadRow> rows(kTableRows);
    if (!engine)
        return rows;
    for (std::size_t i = 0; i < kTableRows; ++i) {
        const DownloadSlot& s = engine->files().slot(i);
        if (s.file_number != slot_files[i]) {
            slot_files[i] = s.file_number;
            slot_tokens[i] = s.file_number ? ++slot_generation : 0;
        }
        if (s.free())
            continue;
        DownloadRow& r = rows[i];
        r.file_number = s.file_number;
        r.name = hex(s.file_number);
        r.total = s.length;
        r.received = s.length ? s.holes.received_bytes(s.length) : s.written;
        r.holes = s.holes.count();
        r.percent = s.percent;
        r.table_text = engine->files().table_row(i);
    }
    return rows;
}

void BrekSession::Impl::refresh(bool force)
{
    auto b = make_boxes();
    auto t = make_table();
    // The bar's clock alone does not count as a change except on the tick.
    StatusBoxes cmp = b;
    cmp.now = shown_boxes.now;
    if (force || !(cmp == shown_boxes)) {
        shown_boxes = b;
        notify([](SessionObserver& o) { o.on_boxes_changed(); });
    }
    if (force || t != shown_table) {
        shown_table = std::move(t);
        notify([](SessionObserver& o) { o.on_table_changed(); });
    }
}

void BrekSession::Impl::apply_settings()
{
    if (!engine)
        return;
    auto r = engine->scheduler().settings();
    r.auto_fill = temporary.auto_fill && broadcast.auto_fill && !listen_only;
    r.bdcst_custom = broadcast.bdcst_custom;
    r.tail_action = broadcast.tail_action;
    r.dir_priority = broadcast.dir_priority;
    r.inactivity_timeout = general.inactivity_timeout_s;
    r.up_to_date_timeout = general.up_to_date_timeout_s;
    engine->scheduler().set_settings(r);
    auto f = engine->files().settings();
    f.grab_all = general.grab_all;
    f.block_bbs = general.block_bbs;
    f.proc_threshold = general.proc_threshold;
    engine->files().set_settings(f);
    auto d = engine->directory().settings();
    d.dl_mine = !general.download_your_uploads;
    engine->directory().set_settings(d);
    engine->set_print_headers(general.print_headers);
    engine->set_run_dispo(general.run_dispo);
    if (upload) {
        upload->set_uploading(temporary.uploading && !listen_only);
        upload->set_auto_freq(temporary.auto_freq);
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

std::int32_t BrekSession::on_window_message(const platform::WindowMessage& m)
{
    auto& s = *impl_;
    switch (m.number) {
    case kMsgFlushDirectory:
        if (s.engine)
            s.engine->directory().flush_directory_file();
        return 0;
    case kMsgKeepAlive:
        if (s.engine)
            s.engine->scheduler().keep_alive(std::uint64_t(s.now_s()));
        return 0;
    case kMsgTail: {
        const int action = m.word >= 1 && m.word <= 3 ? int(m.word) : s.broadcast.tail_action;
        // A negative or small budget counts as the least one.
        const std::uint32_t budget = m.long_param < 2048 ? 2048u : std::uint32_t(m.long_param);
        s.broadcast.tail_action = action;
        s.tail_budget = budget;
        s.tail_action = action;
        if (s.engine)
            s.engine->scheduler().set_tail(action, budget);
        return 0;
    }
    case kMsgQuery:
        return 0;
    case kMsgListenOnly:
        if (m.word == 1 && !s.listen_only) {
            s.listen_only = true;
            s.add_line("Pass will listen only", LineColour::Red);
            s.temporary.auto_fill = false;
            s.temporary.uploading = false;
            s.apply_settings();
        }
        return 0;
    case kMsgPassEnd:
        // Station time as on the wire; read unsigned so that it still works after 2038.
        s.pass_end = std::int64_t(std::uint32_t(m.long_param));
        if (s.engine)
            s.engine->set_pass_end(s.pass_end);
        s.refresh(true);
        return 0;
    case kMsgUploadBoxClose:
        s.notify([](SessionObserver& o) { o.on_upload_box_close(); });
        s.refresh(true);
        return 0;
    case kMsgClose:
        request_close();
        return 0;
    default:
        return 0;
    }
}

bool BrekSession::on_poke(std::span<const std::uint8_t> data)
{
    std::string text(data.begin(), data.begin() + std::ptrdiff_t(std::min(data.size(), kPokeText)));
    if (auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    impl_->add_line(text, LineColour::Red);
    return true;
}

std::optional<std::vector<std::uint8_t>> BrekSession::last_data(const std::string& topic) const
{
    const auto& s = *impl_;
    const auto& d = topic == "Directory" ? s.last_pfh : topic == "Receive" ? s.last_tlm : s.last_pfh;
    if ((topic != "Directory" && topic != "Receive") || d.empty())
        return std::nullopt;
    return d;
}

std::vector<std::uint32_t> BrekSession::fill_candidates() const
{
    std::vector<std::uint32_t> out;
    auto& s = *impl_;
    if (!s.engine || !s.engine->directory().table())
        return out;
    const StatusTable& t = *s.engine->directory().table();
    for (std::size_t i = 0; i < kStatusRecords; ++i) {
        const auto r = t.record(i);
        if (r.file_number && (r.status & kCodeMask) > kCodeGrab)
            out.push_back(r.file_number);
    }
    return out;
}

void BrekSession::fill_file(std::uint32_t file_number, bool auto_override)
{
    auto& s = *impl_;
    if (!s.engine || file_number == 0)
        return;
    const auto code = s.engine->directory().get_download_status(file_number);
    if (code && *code == kCodeDownloaded) {
        s.add_line("Error. File " + hex(file_number) + " already downloaded.", LineColour::DarkRed);
        return;
    }
    if (!code || *code < kCodeAuto3) {
        s.engine->directory().set_download_status(file_number, kCodeAuto3, true);
        s.add_line("File " + hex(file_number) + " set for AUTO download.", LineColour::Black);
    }
    if (auto_override)
        s.engine->scheduler().set_repeat(true);
    s.engine->scheduler().queue_manual_request(file_number);
}

void BrekSession::fill_directory(bool auto_override)
{
    auto& s = *impl_;
    if (!s.engine)
        return;
    if (auto_override)
        s.engine->scheduler().set_repeat(true);
    s.engine->scheduler().queue_manual_request(0);
}

void BrekSession::send_fill_request(std::uint32_t file_number)
{
    auto& s = *impl_;
    if (s.engine && file_number)
        s.engine->scheduler().queue_manual_request(file_number);
}

std::optional<FileInformation> BrekSession::file_information(std::uint32_t file_number) const
{
    auto& s = *impl_;
    if (!s.engine)
        return std::nullopt;
    const auto slot = s.engine->files().find_slot(file_number);
    if (!slot)
        return std::nullopt;
    s.make_table();
    const DownloadSlot& d = s.engine->files().slot(*slot);
    FileInformation info;
    info.file_number = file_number;
    info.holes = d.holes.count();
    info.file_size = d.length;
    info.percent = d.percent;
    info.status = s.engine->directory().get_download_status(file_number).value_or(kCodeGrab);
    info.slot_token = s.slot_tokens[*slot];
    if (auto e = s.find_entry(file_number)) {
        info.to = e->to;
        info.from = e->from;
        info.title = e->title;
        info.file_type = e->file_type;
        if (!info.file_size)
            info.file_size = e->file_size;
    }
    return info;
}

std::optional<FileInformation> BrekSession::directory_entry(std::uint32_t file_number) const
{
    auto& s = *impl_;
    if (!file_number || s.state == SessionState::NoPass)
        return std::nullopt;
    if (auto slotted = file_information(file_number))
        return slotted;
    const auto e = s.find_entry(file_number);
    if (!e)
        return std::nullopt;
    FileInformation info;
    info.file_number = file_number;
    info.to = e->to;
    info.from = e->from;
    info.title = e->title;
    info.file_type = e->file_type;
    info.file_size = e->file_size;
    if (s.engine)
        info.status = s.engine->directory().get_download_status(file_number).value_or(kCodeGrab);
    return info;
}

std::string BrekSession::apply_file_information(const FileInformation& opened, int status, bool request_now)
{
    auto& s = *impl_;
    std::optional<std::size_t> slot;
    if (s.engine) {
        s.make_table();
        slot = s.engine->files().find_slot(opened.file_number);
    }
    if (!slot || s.slot_tokens[*slot] != opened.slot_token)
        return "The file you are viewing has been closed since you opened this window. No action will be taken\n";
    const std::uint32_t n = opened.file_number;
    const int current = s.engine->directory().get_download_status(n).value_or(kCodeGrab);
    if (status == kCodeNever) {
        s.engine->files().delete_download(n);
    } else if (status == kCodePriority && current == kCodeMine) {
        // Priority keeps a file of ours as it is.
    } else if (status >= kCodeGrab && status <= kCodeMine) {
        s.engine->directory().set_download_status(n, status, true);
    }
    if (request_now && status != kCodeNever)
        s.engine->scheduler().request_file_now(n, std::uint64_t(s.now_s()));
    s.refresh(false);
    return {};
}

void BrekSession::set_directory_line_status(std::uint32_t file_number, int status)
{
    auto& s = *impl_;
    if (!s.engine || !file_number)
        return;
    if (status == kCodePriority || status == kCodeAuto || status == kCodeGrab || status == kCodeNever)
        s.engine->directory().set_download_status(file_number, status, true);
}

void BrekSession::set_log_kiss(bool on)
{
    auto& s = *impl_;
    if (s.config.offline)
        return; // a replay never captures what it reads
    s.log_kiss = on;
    if (s.state == SessionState::PassOpen && s.recorder)
        s.recorder->set_kiss_capture(on, whole_seconds(s.now()));
}

void BrekSession::set_log_telemetry(bool on)
{
    auto& s = *impl_;
    if (s.config.offline)
        return;
    s.log_telemetry = on;
    if (s.state == SessionState::PassOpen && s.recorder)
        s.recorder->set_telemetry_capture(on, whole_seconds(s.now()));
}
bool BrekSession::log_kiss() const { return impl_->log_kiss; }
bool BrekSession::log_telemetry() const { return impl_->log_telemetry; }

TemporarySettings BrekSession::temporary_settings() const { return impl_->temporary; }
void BrekSession::set_temporary_settings(const TemporarySettings& settings)
{
    if (settings.uploading && !impl_->temporary.uploading && !impl_->uploads_off.empty())
        impl_->add_line(impl_->uploads_off, LineColour::Red);
    impl_->temporary = settings;
    impl_->apply_settings();
}

FrequencyChoice BrekSession::frequencies() const
{
    const auto& s = *impl_;
    FrequencyChoice f;
    for (int i = 0; i < 4; ++i)
        f.uplinks[i] = s.rec.uplink[i];
    f.downlinks[0] = s.rec.downlink[0];
    f.downlinks[1] = s.rec.downlink[1];
    f.uplink = s.uplink;
    f.downlink = s.downlink;
    f.offset_hz = s.offset_hz;
    return f;
}

void BrekSession::change_frequencies(const FrequencyChoice& choice)
{
    auto& s = *impl_;
    if (choice.uplink != s.uplink && choice.uplink >= 1 && choice.uplink <= 4)
        s.select_uplink(choice.uplink);
    if (choice.downlink != s.downlink && choice.downlink >= 1 && choice.downlink <= 2) {
        s.downlink = choice.downlink;
        s.add_line("Selecting downlink " + std::to_string(s.downlink), LineColour::Black);
        s.tell_helmo(kMsgSelectDownlink, std::uint32_t('0' + s.downlink));
    }
    const int offset = std::clamp(choice.offset_hz, -9999, 9999);
    if (offset != s.offset_hz) {
        s.offset_hz = offset;
        s.add_line("Changing D/L offset to " + std::to_string(offset) + "Hz", LineColour::Black);
        // The word carries the offset as a signed 16-bit value.
        s.tell_helmo(kMsgDownlinkOffset, std::uint32_t(std::uint16_t(std::int16_t(offset))));
    }
}

GeneralOptions BrekSession::general_options() const { return impl_->general; }
void BrekSession::set_general_options(const GeneralOptions& options)
{
    impl_->general = options;
    if (impl_->general.inactivity_timeout_s == 0)
        impl_->general.inactivity_timeout_s = 86400;
    if (impl_->general.up_to_date_timeout_s == 0)
        impl_->general.up_to_date_timeout_s = 86400;
    impl_->apply_settings();
}

TncSettingsBox BrekSession::tnc_settings() const { return impl_->tnc; }
void BrekSession::set_tnc_settings(const TncSettingsBox& box)
{
    auto& s = *impl_;
    s.tnc = clamp_tnc_settings(box);
    if (s.upload)
        s.upload->set_link_settings(link_settings_of(s.tnc, s.rec));
    if (s.tnc_open) {
        // C0 01 D C0 C0 04 T C0, escaped: a delay of 1920 ms is C0 itself, 2190 ms is DB.
        std::vector<std::uint8_t> bytes{0xC0};
        const std::uint8_t delay[] = {0x01, std::uint8_t(s.tnc.tx_delay_ms / 10)};
        kiss_escape(delay, bytes);
        bytes.insert(bytes.end(), {0xC0, 0xC0});
        const std::uint8_t tail[] = {0x04, std::uint8_t(s.tnc.tx_tail_ms / 10)};
        kiss_escape(tail, bytes);
        bytes.push_back(0xC0);
        s.host.write_tnc(bytes);
    }
}

BroadcastOptions BrekSession::broadcast_options() const { return impl_->broadcast; }
std::optional<std::uint32_t> BrekSession::byte_budget() const
{
    if (impl_->engine)
        if (auto b = impl_->engine->scheduler().byte_budget())
            return b;
    return impl_->tail_budget;
}
void BrekSession::set_broadcast_options(const BroadcastOptions& options)
{
    auto& s = *impl_;
    s.broadcast = options;
    s.broadcast.bdcst_custom = std::clamp(options.bdcst_custom, 1, 4);
    s.broadcast.tail_action = std::clamp(options.tail_action, 1, 3);
    s.tail_action = s.broadcast.tail_action;
    s.broadcast.dir_priority = std::clamp(options.dir_priority, 5, 10);
    s.temporary.auto_fill = options.auto_fill;
    s.apply_settings();
}

void BrekSession::transmitter_request()
{
    if (impl_->engine && impl_->state == SessionState::PassOpen)
        impl_->engine->transmitter_request();
}

void BrekSession::disconnect_upload()
{
    if (impl_->upload)
        impl_->upload->disconnect();
    impl_->refresh(true);
}

bool BrekSession::ask_viewer_for_information(std::uint32_t box, std::uint32_t file_number)
{
    auto& s = *impl_;
    if (s.satellite.empty() || !s.host.window_exists(s.tessel()))
        return false;
    return s.host.post_message(s.tessel(), {kMsgFileInformation, box, std::int32_t(file_number)}).ok();
}

void BrekSession::on_window_texts(const platform::WindowMessage& message, const std::vector<std::string>& texts)
{
    if (message.number != kMsgFileInformation || texts.size() < 5)
        return;
    impl_->notify([&](SessionObserver& o) {
        o.on_file_information_fields(message.word, std::uint32_t(message.long_param), texts);
    });
}

void BrekSession::open_directory_viewer()
{
    impl_->launch({"TESSEL.EXE", impl_->satellite}, platform::ShowMode::Normal);
}

void BrekSession::send_message()
{
    impl_->launch({"QUILLET.EXE", "S~" + impl_->satellite}, platform::ShowMode::Normal);
}

std::vector<std::string> BrekSession::selectable_satellites() const
{
    std::vector<std::string> out;
    for (const auto& r : impl_->host.satellites())
        if (r.satellite_type == 0)
            out.push_back(r.name);
    return out;
}

SessionState BrekSession::state() const { return impl_->state; }
bool BrekSession::listen_only() const { return impl_->listen_only; }
const std::string& BrekSession::title() const { return impl_->title; }
const std::string& BrekSession::satellite() const { return impl_->satellite; }
std::uint32_t BrekSession::catalogue() const { return impl_->catalogue; }
int BrekSession::uplink() const { return impl_->uplink; }
int BrekSession::downlink() const { return impl_->downlink; }
std::optional<std::int64_t> BrekSession::pass_end() const { return impl_->pass_end; }
std::vector<StatusLine> BrekSession::status_lines() const { return {impl_->lines.begin(), impl_->lines.end()}; }
std::vector<std::string> BrekSession::monitor_lines() const { return {impl_->monitor.begin(), impl_->monitor.end()}; }
StatusBoxes BrekSession::boxes() const { return impl_->make_boxes(); }
std::vector<DownloadRow> BrekSession::download_table() const { return impl_->make_table(); }

InformationFigures BrekSession::information() const
{
    auto& s = *impl_;
    InformationFigures f;
    if (!s.engine)
        return f;
    f.crc_errors = s.engine->dispatcher().counters().crc_errors;
    f.total_bytes = s.engine->kiss_counters().bytes;
    f.overruns = s.engine->overruns();
    f.bad_smack = s.engine->bad_smack();
    f.file_bytes = s.engine->files().counters().bytes;
    f.file_bytes_used = s.engine->files().counters().useful_bytes;
    f.directory_bytes = s.engine->directory().counters().bytes;
    f.directory_bytes_used = s.engine->directory().counters().bytes_used;
    if (s.recorder)
        f.efficiency = s.recorder->efficiency();
    return f;
}

bool BrekSession::finished() const { return impl_->finished; }
void BrekSession::post(const std::string& text, LineColour colour) { impl_->add_line(text, colour); }

} // namespace orva::engine

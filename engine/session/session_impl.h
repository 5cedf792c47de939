// Brek's session inside: the state one pass holds and the helpers its parts share. Only the
// session's own sources include it; the program sees brek_session.h.
#pragma once

#include "engine/session/brek_session.h"

#include "engine/app/reception_engine.h"
#include "engine/directory/status_codes.h"
#include "engine/link/kiss_encoder.h"
#include "engine/link/tnc_sequencer.h"
#include "engine/log/session_recorder.h"
#include "engine/upload/upload_host.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <unordered_map>

namespace orva::engine {

namespace session_detail {

inline constexpr std::size_t kTelemetryAdvise = 350;

inline std::string hex(std::uint32_t n)
{
    char b[16];
    std::snprintf(b, sizeof b, "%lX", static_cast<unsigned long>(n));
    return b;
}

inline std::chrono::sys_seconds whole_seconds(std::uint64_t ms)
{
    return std::chrono::floor<std::chrono::seconds>(
        std::chrono::sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(ms)));
}

// What the boxes show of a directory entry.
struct EntryText {
    std::string to, from, title;
    int file_type = 0;
    std::uint32_t file_size = 0;
};

inline EntryText entry_text(const pfh::PfhHeader& h)
{
    return {h.destination.value_or(""), h.source.value_or(""), h.title.value_or(""), int(h.file_type.value_or(0)),
            h.file_size.value_or(0)};
}

} // namespace session_detail

struct BrekSession::Impl final : ReceptionOutput {
    using EntryText = session_detail::EntryText;

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
    std::filesystem::path folder;
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
        return (std::filesystem::path(config.general.orva_directory) / name).string();
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
            headers[h->file_number] = session_detail::entry_text(*h);
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
        if (kiss.size() > session_detail::kTelemetryAdvise)
            kiss.resize(session_detail::kTelemetryAdvise);
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

} // namespace orva::engine

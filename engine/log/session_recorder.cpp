#include "engine/log/session_recorder.h"

namespace orva::engine {

SessionRecorder::SessionRecorder(RecorderConfig config, StatusSink& status, SystemClockSetter& clock_setter, Now now)
    : config_(std::move(config)), status_(status), clock_(config_.use_clock, clock_setter), now_(std::move(now)) {}

void SessionRecorder::open(std::chrono::sys_seconds now) {
    std::lock_guard lock(mutex_);
    if (config_.log_kiss)
        if (auto s = kiss_.open(config_.folder / pass_capture_name(now, ".KSS")); !s) status_.post(s.error().message, LineColour::Red);
    if (config_.log_telemetry)
        if (auto s = telemetry_.open(config_.folder / pass_capture_name(now, ".TLM")); !s)
            status_.post(s.error().message, LineColour::Red);
}

namespace {
Status switch_capture(CaptureFile& file, bool on, const std::filesystem::path& path) {
    if (!on) {
        file.close();
        return {};
    }
    if (file.is_open()) return {}; // already capturing: keep the file it writes
    return file.open(path);
}
} // namespace

void SessionRecorder::set_kiss_capture(bool on, std::chrono::sys_seconds now) {
    Status s;
    {
        std::lock_guard lock(mutex_);
        s = switch_capture(kiss_, on, config_.folder / menu_capture_name(now, ".KSS"));
    }
    if (!s) status_.post(s.error().message, LineColour::Red);
}

void SessionRecorder::set_telemetry_capture(bool on, std::chrono::sys_seconds now) {
    Status s;
    {
        std::lock_guard lock(mutex_);
        s = switch_capture(telemetry_, on, config_.folder / menu_capture_name(now, ".TLM"));
    }
    if (!s) status_.post(s.error().message, LineColour::Red);
}

bool SessionRecorder::kiss_capture_open() const {
    std::lock_guard lock(mutex_);
    return kiss_.is_open();
}

bool SessionRecorder::telemetry_capture_open() const {
    std::lock_guard lock(mutex_);
    return telemetry_.is_open();
}

void SessionRecorder::on_raw_bytes(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (kiss_.is_open()) (void)kiss_.write(bytes);
}

void SessionRecorder::on_session_start(std::chrono::sys_seconds now) {
    std::lock_guard lock(mutex_);
    session_start_ = now;
}

void SessionRecorder::start_if_unset(std::chrono::sys_seconds first_heard) {
    std::lock_guard lock(mutex_);
    if (!session_start_) session_start_ = first_heard;
}

void SessionRecorder::on_server_status(std::string_view, std::optional<std::uint64_t> bytes_broadcast) {
    if (!bytes_broadcast) return;
    std::lock_guard lock(mutex_);
    // The first status line of the pass restarts the session clock.
    const EfficiencyMeter::Reading r = efficiency_.on_status_line(*bytes_broadcast, station_bytes_);
    if (r.baseline)
        session_start_ = std::chrono::floor<std::chrono::seconds>(now_());
    // A line over 100% (or one where the counter stood still) leaves the last figure standing.
    if (r.shown)
        line_efficiency_ = r.shown;
}

void SessionRecorder::on_satellite_time(std::uint32_t satellite_time, std::span<const std::uint8_t> frame) {
    std::vector<StatusPost> posts;
    {
        std::lock_guard lock(mutex_);
        if (telemetry_.is_open()) (void)telemetry_.write_kiss_frame(frame);
        posts = clock_.on_satellite_time(satellite_time, now_());
    }
    for (auto& p : posts) status_.post(std::move(p.text), p.colour);
}

std::optional<unsigned> SessionRecorder::efficiency() const {
    std::lock_guard lock(mutex_);
    return efficiency_.pass_figure();
}

std::optional<unsigned> SessionRecorder::line_efficiency() const {
    std::lock_guard lock(mutex_);
    return line_efficiency_;
}

Status SessionRecorder::close(std::chrono::sys_seconds last_heard, std::uint64_t total_bytes,
                              std::vector<UploadLogEntry> uploads) {
    std::lock_guard lock(mutex_);
    SessionFigures f;
    f.session_start = session_start_;
    f.last_heard = last_heard;
    f.total_bytes = total_bytes;
    f.efficiency = efficiency_.pass_figure();
    f.uploads = std::move(uploads);
    kiss_.close();
    telemetry_.close();
    return append_session_log(config_.folder, f);
}

} // namespace orva::engine

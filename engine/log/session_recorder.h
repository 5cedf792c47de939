// The session record of one pass as the frame dispatcher's session-log receiver: the session
// start, the efficiency from status lines, satellite time and the telemetry capture, the KISS
// capture of every byte read, and the "Brek.LOG" block at the end of the pass.
#pragma once

#include "engine/frames/frame_receivers.h"
#include "engine/link/status_line.h"
#include "engine/log/capture_file.h"
#include "engine/log/efficiency_meter.h"
#include "engine/log/satellite_clock.h"
#include "engine/log/session_log.h"

#include <filesystem>
#include <functional>
#include <mutex>

namespace orva::engine {

struct RecorderConfig {
    std::filesystem::path folder; // "Satellite Directory"
    bool use_clock = false;       // "Use Clock"
    bool log_kiss = false;        // "Log KISS"
    bool log_telemetry = false;   // "Log Telemetry"
};

class SessionRecorder final : public SessionLogReceiver {
public:
    using Now = std::function<std::chrono::system_clock::time_point()>;
    SessionRecorder(RecorderConfig config, StatusSink& status, SystemClockSetter& clock_setter,
                    Now now = [] { return std::chrono::system_clock::now(); });

    // Pass start: the capture files that are switched on are opened.
    void open(std::chrono::sys_seconds now);
    void on_raw_bytes(std::span<const std::uint8_t> bytes);
    // The File menu during a pass: on opens the capture under its menu name, off closes it.
    void set_kiss_capture(bool on, std::chrono::sys_seconds now);
    void set_telemetry_capture(bool on, std::chrono::sys_seconds now);
    bool kiss_capture_open() const;
    bool telemetry_capture_open() const;

    void on_session_start(std::chrono::sys_seconds now) override;
    void on_server_status(std::string_view text, std::optional<std::uint64_t> bytes_broadcast) override;
    void on_satellite_time(std::uint32_t satellite_time, std::span<const std::uint8_t> frame) override;

    // The station's good broadcast bytes so far (the dispatcher's count), for the efficiency.
    void set_station_bytes(std::uint64_t bytes) { station_bytes_ = bytes; }
    // Over the whole pass (the log and the Information box).
    std::optional<unsigned> efficiency() const;
    // Since the previous status line, as the window's box shows it; none until a line moved the counter.
    std::optional<unsigned> line_efficiency() const;

    // Pass end: writes the block and closes the captures.
    // A session whose frames all came before it was armed (while the TNC was still being set up)
    // starts at the first of them, so that it is still logged.
    void start_if_unset(std::chrono::sys_seconds first_heard);
    Status close(std::chrono::sys_seconds last_heard, std::uint64_t total_bytes, std::vector<UploadLogEntry> uploads);

private:
    mutable std::mutex mutex_;
    RecorderConfig config_;
    StatusSink& status_;
    SatelliteClock clock_;
    Now now_;
    EfficiencyMeter efficiency_;
    std::optional<unsigned> line_efficiency_;
    std::optional<std::chrono::sys_seconds> session_start_;
    std::uint64_t station_bytes_ = 0;
    CaptureFile kiss_, telemetry_;
};

} // namespace orva::engine

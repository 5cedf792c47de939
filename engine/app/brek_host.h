// The Brek program's host on the Qt event loop: the store (local, or the one "Control Name"
// names), the window "Brek:MAIN" on the session bus, the "MicroSat" data server, the TNC port
// through the platform byte stream, started programs and the clock setter. It drives the
// session from one single-shot timer re-armed at the session's next deadline. Qt Core only, so
// the headless program needs no display; the window, when there is one, is another observer.
#pragma once

#include "engine/link/tnc_port.h"
#include "engine/log/satellite_clock.h"
#include "engine/session/brek_session.h"
#include "engine/session/session_host.h"
#include "platform/byte_stream.h"
#include "platform/clock.h"
#include "platform/data_exchange.h"
#include "platform/launcher.h"
#include "platform/messenger.h"
#include "platform/result.h"
#include "platform/store/store.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orva::settings {
class EngineStores;
}

namespace orva::engine {

struct BrekHostOptions {
    double clock_rate = 1;           // station time runs this much faster than the wall clock
    std::string port_override;       // a device or host:port instead of the satellite's own
    double pass_seconds = 0;         // > 0: the pass closes after this many station seconds
    std::uint64_t seed = 0;
    double checkpoint_seconds = 5;
    bool offline = false;            // a replay: no TNC, no upload, no clock setting
    // The first instant of station time; none: the wall clock at start.
    std::optional<std::uint64_t> start_ms;
    bool writable_store = false;     // the window keeps its placement and font in the store
};

// Exit codes of BrekHost::create's refusals.
inline constexpr int kExitAlreadyRunning = 0; // the first instance was asked to come forward
inline constexpr int kExitNoStore = 1;

class BrekHost final : public SessionHost, private SessionObserver {
public:
    struct Refusal {
        int exit_code;
        std::string message;
    };

    // Needs a QCoreApplication. Finds a running "Brek:MAIN" first (asks it forward and refuses),
    // then connects to the store and registers the window "Brek:MAIN" titled "Brek".
    static std::variant<std::unique_ptr<BrekHost>, Refusal> create(BrekHostOptions options);
    ~BrekHost() override;
    BrekHost(const BrekHost&) = delete;
    BrekHost& operator=(const BrekHost&) = delete;

    BrekSession& session() { return *session_; }
    // Brek's settings (window placement and font) live here.
    platform::Store& local_store();

    // Starts the data server and the session on `satellite` and arms the timer. Call before the
    // event loop runs; the loop ends when the session does.
    void start(const std::string& satellite);
    // For a window, which starts the session itself: the data server, then arm_soon() before the
    // event loop runs.
    void start_services();
    void arm_soon();
    // What a second instance's request to come forward does (the window raises itself).
    void set_raise_handler(std::function<void()> on_raise) { on_raise_ = std::move(on_raise); }
    // The desktop's beep (the window's); none: beeps are silent.
    void set_beep(std::function<void()> beep) { beep_ = std::move(beep); }

    // Runs the session's due work and re-arms the timer.
    void pump();

    // SessionHost
    std::uint64_t now_ms() override;
    Status open_tnc(const settings::SatelliteRecord& satellite) override;
    void write_tnc(std::span<const std::uint8_t> bytes) override;
    bool try_write_tnc(std::span<const std::uint8_t> bytes) override;
    std::size_t tnc_output_queued() override;
    void close_tnc() override;
    bool window_exists(const platform::WindowAddress& to) override;
    Status post_message(const platform::WindowAddress& to, const platform::WindowMessage& message) override;
    void set_title(const std::string& title) override;
    Status launch(const std::vector<std::string>& words, platform::ShowMode show,
                  const std::filesystem::path& working_directory) override;
    bool data_server_running() override { return data_server_ != nullptr; }
    void advise(const std::string& topic, const std::string& item, const std::string& format,
                std::span<const std::uint8_t> data) override;
    void end_conversations() override;
    std::optional<settings::SatelliteRecord> find_satellite(const std::string& name) override;
    std::vector<settings::SatelliteRecord> satellites() override;
    SystemClockSetter& clock_setter() override;
    void play_sound(const settings::SoundChoice& sound) override;

private:
    BrekHost(BrekHostOptions options, std::unique_ptr<platform::Messenger> messenger,
             std::unique_ptr<settings::EngineStores> stores);
    Status register_window();
    void start_data_server();
    // SessionObserver: the session ended.
    void on_finished() override;
    // The session's state to the "Session" conversations (the station's web view), at most twice
    // a second and only when it changed.
    void export_status();
    std::chrono::steady_clock::time_point last_export_{};
    std::string last_export_json_;

    BrekHostOptions options_;
    std::unique_ptr<platform::Messenger> messenger_;
    std::unique_ptr<settings::EngineStores> stores_;
    std::unique_ptr<BrekSession> session_;
    std::unique_ptr<platform::MessageWindow> window_;
    std::unique_ptr<platform::DataServer> data_server_;
    std::map<platform::ConversationId, std::string> conversations_; // and their topics
    // The port's threads only schedule drain_tnc(); the session runs on this thread.
    void drain_tnc(std::uint64_t generation);
    std::unique_ptr<TncPort> tnc_;
    std::atomic<bool> drain_posted_{false};
    std::uint64_t tnc_generation_ = 0; // wake-ups of an earlier port are dropped
    platform::Launcher launcher_;
    PlatformClockSetter platform_clock_;
    struct RefusingClock final : SystemClockSetter {
        Status set_utc(std::chrono::system_clock::time_point) override
        {
            return make_error("The clock is not set while station time runs faster than real time");
        }
    } refusing_clock_;
    std::uint64_t start_ms_ = 0;
    std::chrono::steady_clock::time_point steady_start_;
    const platform::Clock* shared_clock_ = nullptr; // station time shared with the other programs
    double rate() const;                             // station ms per wall ms
    std::optional<std::uint64_t> budget_end_ms_;
    bool budget_spent_ = false;
    std::function<void()> on_raise_;
    std::function<void()> beep_;
    QObject context_; // queued calls from the receive thread are delivered through it
    QTimer timer_;
    bool quitting_ = false;
};

} // namespace orva::engine

// Helmo's host: the station core on a Qt event loop, its window messages and data server on the
// session bus, its programs through the launcher, its events on threads. What it shows goes to a
// HostView: the terminal (`helmo --headless`) or the main window; both run this one code path.
// Everything runs on the loop's thread except the search worker and the event threads.
#pragma once

#include <QObject>
#include <QTimer>

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
#include "common/settings/suite_settings.h"
#include "platform/clock.h"
#include "platform/data_exchange.h"
#include "platform/launcher.h"
#include "platform/messenger.h"
#include "platform/store/store.h"
#include "station/app/host_view.h"
#include "station/app/station_rig.h"
#include "station/core/search_worker.h"
#include "station/core/station_core.h"

namespace orva::station {

// The close request posted to a program's window at the end of a pass (the desktop's own
// close message number).
inline constexpr std::uint32_t kMsgCloseWindow = 16;
// Seconds a started program may take to open the pass's window before it counts as windowless.
inline constexpr std::int64_t kWindowlessProgramGrace = 5;
// Start-up refused: the store has no "SOFTWARE\Orva\General".
inline constexpr const char* kSetupNotCompleted =
    "Orva setup has not been completed.  You must run the setup program before you can use Orva.";

struct HostOptions {
    // A clock the test moves: no timers run and the search runs to its end at once; step()
    // is one round of the tracking loop.
    const platform::Clock* clock = nullptr;
};

class StationHost final : public QObject, public StationIo {
    Q_OBJECT
public:
    StationHost(platform::Store store, HostView& view, HostOptions options = {});
    ~StationHost() override;

    // Start-up: the configuration, the bus, the events, the schedule and the loop. A failure the
    // program must exit for is returned.
    Status start();
    // Shutdown: workers stopped and joined, the running pass abandoned, the schedule saved.
    void shutdown();
    // One round of the tracking loop (the timer's work; tests call it with a manual clock).
    void step();

    StationCore& core() { return *core_; }
    platform::Store& store() { return store_; }
    // The session bus, when the host is on one (windows of its own register there).
    platform::Messenger* messenger() { return messenger_.get(); }
    const platform::Launcher& launcher() const { return launcher_; }
    const std::filesystem::path& suite_dir() const { return suite_dir_; }
    const std::filesystem::path& schedule_file() const { return schedule_file_; }
    std::int64_t now() const;
    // Seconds to subtract from UTC for local time; recomputed on a time change.
    std::int64_t local_offset() const { return local_offset_; }
    void time_changed();

    // Operator commands shared by the views.
    void reload_elements();                       // 2037
    // A satellite saved by the setup: set_satellite_schedule with its values, then the rest of
    // the store (a rename leaves the old name behind).
    void satellite_saved(const settings::SatelliteRecord& record);
    // The satellites and the station as stored now (2037, a deletion, the Station sheet).
    void sync_with_store();
    Result<elements::KepDatabase> load_database() const;
    void redo_schedule();
    void set_scheduling(bool on);
    bool scheduling() { return core_->dispatcher_snapshot().scheduling_enabled; }
    Status manual_pass(const std::string& name, bool refuse_second = true);
    std::vector<std::string> tracking_names() const { return tracking_names_; }
    // Rebuilds the tracking list from these names (in order) and stores "Tracking".
    Status set_tracking(const std::vector<std::string>& names);
    // The notice's answer for the entry of that name and AOS: 0 OK, 1 Run, 2 Cancel.
    enum class NoticeAnswer { Ok, Run, Cancel };
    void answer_notice(const std::string& name, std::int64_t aos, NoticeAnswer answer);
    // "Run this pass now" / "End this pass now" (the same menu item on the running pass).
    Status run_entry_now(const std::string& name, std::int64_t aos);
    Status end_entry_now(const std::string& name, std::int64_t aos);
    void listen_only(const std::string& name, std::int64_t aos);
    // Starts a program (first word a DOS name or a path; each word one argument), never a shell.
    Status start_command(std::vector<std::string> words, const std::filesystem::path& directory = {});
    void reload_events();
    // Event threads held: those running and those ended since the last event began.
    std::size_t event_threads() const;
    // Every log line also goes here (tests compare the dispatcher's decisions).
    void set_log_tap(std::function<void(const std::string&)> tap) { tap_ = std::move(tap); }

    // StationIo
    void log(const std::string& line) override;
    void warn(const std::string& text, const std::string& caption) override;
    void pre_pass_notice(const PassEntry& entry, bool show_window) override;
    void close_pre_pass_notice(const PassEntry& entry) override;
    void pass_started(const PassEntry& entry) override;
    void run_event(const EventEntry& event) override;
    void track_satellite(const std::string& name) override;
    void start_modem_setup(const std::string& name) override;
    bool modem_ready() override { return !rig_ || rig_->modem_ready(); }
    Result<ProgramSettings> read_program_settings(const std::string& name) override;
    Status start_program(const std::string& command, const ProgramSettings& settings) override;
    bool find_program_window() override;
    bool program_window_is_engine(const std::string& name) override;
    bool program_running() override;
    void post_to_engine(std::uint32_t message, std::uint32_t word, std::int32_t value) override;
    void close_program_window() override;
    void forget_program() override;
    void play_error_sound() override {}
    void satellite_rose(const std::string& name) override { view_.satellite_rose(name); }

private:
    void drive_pass();
    int tick_interval_ms() const;
    void restart_search(std::int64_t t);
    // Stops the search worker and starts a new one (the satellites' searches changed).
    void research(std::int64_t t);
    // The station's position from the store; the schedule, tracking and rotator follow a change.
    void follow_station(std::int64_t t);
    std::optional<std::vector<SatelliteSchedule>> configured_satellites() const;
    settings::StationSettings station_;
    platform::WindowAddress engine_window() const { return {"Brek:MAIN", "Brek [" + pass_name_ + "]"}; }
    bool manual() const { return options_.clock != nullptr; }

    platform::Store store_;
    HostView& view_;
    HostOptions options_;
    const platform::Clock& clock_;
    std::filesystem::path suite_dir_, schedule_file_;
    std::unique_ptr<StationCore> core_;
    std::unique_ptr<SearchWorker> search_;
    std::unique_ptr<platform::Messenger> messenger_;
    std::unique_ptr<platform::MessageWindow> window_;
    std::unique_ptr<platform::DataServer> server_;
    platform::Launcher launcher_;
    std::optional<platform::Process> program_;
    std::string pass_name_;
    std::vector<std::string> tracking_names_;
    std::int64_t local_offset_ = 0;
    std::int64_t wall_minus_steady_ = 0;
    QTimer tick_timer_, pass_timer_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex events_mutex_;
    struct EventThread {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> done; // set as the thread's last act
    };
    std::vector<EventThread> event_threads_;
    std::function<void(const std::string&)> tap_;
    bool shut_down_ = false;

    // Restarts the search worker when satellites wait on the search list.
    void keep_searching(std::int64_t now);
    std::int64_t last_search_check_ = 0;
    std::int64_t program_started_ = 0;

    // Rotator, radio and DSP modem.
    void start_rig(const elements::ObserverSite& home);
    void rig_minute(std::int64_t now);
    std::unique_ptr<StationRig> rig_;
    std::atomic<std::int64_t> next_pass_start_{0}; // 0: none
    std::int64_t last_rig_status_ = 0;
};

// The local offset of this system now: UTC minus local time, in seconds.
std::int64_t system_local_offset(std::int64_t now);
// "AO-16~UO-22~" <-> names.
std::vector<std::string> split_tracking(const std::string& text);
std::string join_tracking(const std::vector<std::string>& names);

} // namespace orva::station

// Helmo without a window: the station core on a Qt event loop, its window messages and data
// server on the session bus, its programs through the launcher, its lines to a terminal or log.
// Everything runs on the loop's thread except the search worker and the event threads.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/elements/kep_database.h"
#include "platform/clock.h"
#include "platform/data_exchange.h"
#include "platform/launcher.h"
#include "platform/messenger.h"
#include "platform/store/store.h"
#include "platform/timers.h"
#include "station/core/search_worker.h"
#include "station/core/station_core.h"

namespace orva::station {

// The close request posted to a program's window at the end of a pass (the desktop's own
// close message number).
inline constexpr std::uint32_t kMsgCloseWindow = 16;
// Seconds a started program may take to open the pass's window before it counts as windowless.
inline constexpr std::int64_t kWindowlessProgramGrace = 5;

struct HeadlessOptions {
    std::filesystem::path log_file; // empty: standard output
    bool table = true;              // print the live table every minute
    // Station time and the once-a-second loop; none: the system clock and a Qt timer. Tests pass
    // a manual clock and its timers to run days of station time.
    const platform::Clock* clock = nullptr;
    platform::Timers* timers = nullptr;
};

class HeadlessHost final : public QObject, public StationIo {
    Q_OBJECT
public:
    HeadlessHost(platform::Store store, HeadlessOptions options);
    ~HeadlessHost() override;

    // Start-up: the configuration, the bus, the events, the schedule and the loop. A failure the
    // program must exit for is returned.
    Status start();
    // Shutdown: workers stopped and joined, the running pass abandoned, the schedule saved.
    void shutdown();

    StationCore& core() { return *core_; }
    // Set while no pass search is running.
    const platform::ManualEvent& search_finished() const { return search_->finished(); }
    std::int64_t now() const;

    // StationIo
    void log(const std::string& line) override;
    void warn(const std::string& text, const std::string& caption) override;
    void pre_pass_notice(const PassEntry& entry, bool show_window) override;
    void close_pre_pass_notice(const PassEntry& entry) override;
    void pass_started(const PassEntry& entry) override;
    void run_event(const EventEntry& event) override;
    void track_satellite(const std::string& name) override;
    void start_modem_setup(const std::string& name) override;
    bool modem_ready() override { return true; }
    Result<ProgramSettings> read_program_settings(const std::string& name) override;
    Status start_program(const std::string& command, const ProgramSettings& settings) override;
    bool find_program_window() override;
    bool program_window_is_engine(const std::string& name) override;
    bool program_running() override;
    void post_to_engine(std::uint32_t message, std::uint32_t word, std::int32_t value) override;
    void close_program_window() override;
    void forget_program() override;
    void play_error_sound() override {}

private:
    void tick();
    void drive_pass();
    void reload_elements();
    // Restarts the search worker when satellites wait on the search list.
    void keep_searching(std::int64_t now);
    platform::WindowAddress engine_window() const { return {"Brek:MAIN", "Brek [" + pass_name_ + "]"}; }

    platform::Store store_;
    HeadlessOptions options_;
    std::FILE* out_ = stdout;
    std::mutex log_mutex_;
    std::filesystem::path suite_dir_, schedule_file_;
    std::unique_ptr<StationCore> core_;
    std::unique_ptr<SearchWorker> search_;
    std::unique_ptr<platform::Messenger> messenger_;
    std::unique_ptr<platform::MessageWindow> window_;
    std::unique_ptr<platform::DataServer> server_;
    platform::Launcher launcher_;
    std::optional<platform::Process> program_;
    std::string pass_name_;
    QTimer tick_timer_, pass_timer_;
    platform::TimerId tick_timer_id_ = 0;
    std::int64_t schedule_days_ = 0;
    std::int64_t program_started_ = 0;
    std::int64_t last_search_check_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex events_mutex_;
    std::vector<std::jthread> event_threads_;
    std::int64_t last_table_ = 0;
    bool shut_down_ = false;
};

} // namespace orva::station

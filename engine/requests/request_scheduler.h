// Decides when to ask the satellite for something and what: a directory fill, a fill of the
// most wanted file, or nothing. Driven by the server's queue lines, its own one-shot request
// timer and the 10-second tick; time and the random source are handed in.
#pragma once

#include "engine/frames/fill_planner.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orva::engine {

struct RequestSettings {
    std::string my_call;              // callsign as it appears in queue lines, "CALL-n" with an SSID
    bool auto_fill = true;            // "Auto Fill"
    int bdcst_custom = 4;             // "Bdcst Custom"
    int tail_action = 2;              // "Tail Action"
    int dir_priority = 5;             // "Dir Priority", 5..10
    bool tx_request = false;          // "Tx Request"
    std::uint32_t change_freq = 0;    // "Change Freq"
    std::uint32_t uplinks = 2;        // "Uplinks"
    std::uint64_t up_to_date_timeout = 86400; // seconds
    std::uint64_t inactivity_timeout = 86400; // seconds
};

// What the scheduler needs from the rest of the engine.
class RequestHost {
public:
    virtual ~RequestHost() = default;
    // The most wanted file and its code, before the directory gate.
    virtual std::optional<std::pair<std::uint32_t, int>> most_wanted(bool prefer_heard, std::size_t heard,
                                                                     std::uint32_t requested) = 0;
    virtual bool directory_complete() = 0;
    virtual std::size_t directory_hole_count() = 0;
    virtual std::optional<std::uint64_t> up_to_date_time() = 0;
    // A fill beyond the newest header was answered and the engine is waiting to see whether
    // anything newer follows: asking again meanwhile would only be answered the same.
    virtual bool directory_settling() { return false; }
    // The file's broadcast is still coming down: what it lacks can be asked only once it ends.
    virtual bool on_air(std::uint32_t /*file_number*/) { return false; }
    virtual bool uploads_waiting() { return false; }
    virtual bool upload_connected() { return false; }

    virtual bool send_file_fill(std::uint32_t file_number) = 0;
    virtual bool send_directory_fill() = 0;
    virtual void arm_request_timer(std::chrono::milliseconds delay) = 0;
    virtual void stop_request_timer() = 0;
    virtual void show_request_status(const std::string& /*text*/) {}
    virtual void select_uplink(int /*uplink*/) {}
    virtual void request_tx_switch_on() {}
    virtual void close_engine() = 0;
};

struct QueueLine {
    bool empty = false;
    int entries = 0;
    int directory_requests = 0;
    int file_requests = 0;
    int my_position = -1; // index among the entries, -1 when absent
    bool mine_is_directory = false;
};
// "PB: G0ABC\D W1XYZ" -> two entries, one a directory request.
QueueLine parse_queue_line(std::string_view text, std::string_view my_call);

class RequestScheduler {
public:
    RequestScheduler(RequestSettings settings, RequestHost& host, RandomSource& random);

    void on_queue_line(std::string_view text, bool full, std::uint64_t now);
    // The one-shot request timer fired.
    void run(std::uint64_t now);
    // A wanted file, at once (a new directory entry, the File Information box).
    void request_file_now(std::uint32_t file_number, std::uint64_t now);
    // Menu and Fill File box: 0 asks for the directory.
    void queue_manual_request(std::uint32_t file_number_or_zero);
    void on_tick(std::uint64_t now, std::optional<std::uint64_t> last_heard, bool bytes_since_last_tick);

    // Events from the rest of the engine.
    void on_new_entry(std::uint32_t file_number, int code, std::uint64_t now);
    void on_directory_complete(std::uint64_t now);
    void on_file_complete(std::uint32_t file_number);
    void on_file_refused();
    // The broadcast this station asked for has begun: the server has taken it off the queue, so
    // the next request can join now rather than after the next queue line.
    void on_request_served();
    // The directory fill this station asked for has begun.
    void on_directory_served();
    // Nothing was broadcast for a while after this station's request: it was lost on the way
    // up, or `answered` and broadcast but its end lost on the way down. Asking again need not
    // wait for the next queue line.
    void on_request_unheard(bool answered = false);
    // No answer came to this station's request in the time the server takes to answer: it was
    // lost on the way up, and is sent again while the downlink is still busy.
    void on_request_unanswered();
    // At most three in any 60 seconds (also the Alt+U key); true when one was sent.
    bool tx_switch_on(std::uint64_t now);
    void keep_alive(std::uint64_t now) { last_sent_ = now; }
    void set_tail(int tail_action, std::uint32_t budget);
    void set_repeat(bool on) { repeat_ = on; }

    const RequestSettings& settings() const { return settings_; }
    void set_settings(const RequestSettings& settings) { settings_ = settings; }
    std::uint32_t requested_file() const { return requested_; }
    bool repeat() const { return repeat_; }
    bool timer_pending() const { return pending_; }
    std::optional<std::uint32_t> byte_budget() const { return budget_; }
    std::size_t heard_window() const { return std::size_t(file_requests_); }
    const std::string& status_text() const { return status_text_; }
    bool closed() const { return closed_; }

private:
    std::optional<std::uint32_t> wanted();
    bool directory_wanted(std::uint64_t now);
    void arm(std::chrono::milliseconds delay);
    void send_file(std::uint32_t file_number, std::uint64_t now);
    void send_directory(std::uint64_t now);
    void idle();

    RequestSettings settings_;
    RequestHost& host_;
    RandomSource& random_;
    std::uint32_t requested_ = 0;
    bool repeat_ = false;
    std::optional<std::uint32_t> manual_;
    bool pending_ = false;
    bool pending_soon_ = false; // the pending run is due within a few tens of milliseconds
    int countdown_ = 4;
    bool last_entry_ = false;
    int file_requests_ = 0;
    int directory_requests_ = 0;
    bool tail_flag_ = false;
    std::optional<std::uint32_t> budget_;
    std::optional<std::uint64_t> last_sent_;
    int uplink_count_ = 0;
    int uplink_ = 1;
    int tx_countdown_ = 4;
    std::uint64_t tx_times_[3] = {0, 0, 0};
    std::string status_text_ = "Auto Idle";
    bool closed_ = false;
};

} // namespace orva::engine

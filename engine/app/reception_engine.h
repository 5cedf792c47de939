// Brek's reception for one pass, without a window: KISS bytes in; files, directory, status table
// and requests out. The host feeds it the bytes and the time, writes what it asks to the TNC and
// wakes it at next_deadline().
#pragma once

#include "engine/directory/directory_store.h"
#include "engine/files/file_receiver.h"
#include "engine/frames/frame_dispatcher.h"
#include "engine/link/kiss_decoder.h"
#include "engine/requests/request_scheduler.h"
#include "engine/select/equations.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace orva::engine {

struct ReceptionConfig {
    std::filesystem::path folder; // "Satellite Directory"
    std::filesystem::path suite_folder; // "Orva Directory": the default equations
    std::string satellite;
    std::string my_call, bbs_call, bdcst_call;
    DirectorySettings directory;
    FileSettings files;
    RequestSettings requests;
    DispatchSettings dispatch;
    std::size_t max_holes = 10; // "Max Holes"
    bool zero_start = false;    // "Zero Start"
    bool run_dispo = true;      // "Run Dispo"
    bool listen_only = false;
    std::string satgate_collect, satgate_callsign;
    std::uint8_t tx_port_nibble = 0;
    std::uint32_t tx_delay_ms = 200, tx_tail_ms = 50;
    bool smack = false;             // "Test SMACK": SMACK frames are looked for and, once seen, sent
    std::uint32_t tx_buffer = 4096; // "TxBuffer": a frame that would overfill the output is refused
    std::uint64_t checkpoint_ms = 5000; // hole lists and directory holes saved this often
    // Servers never flag their newest file: the directory counts as up to date once two fills of
    // the open-ended hole were answered "OK" and no new header came for this long after each.
    std::uint64_t directory_quiet_ms = 10000;
    std::uint64_t seed = 0;             // 0: from the system
    UploadReceiver* upload = nullptr;   // the upload client, when the host runs one
    SessionLogReceiver* log = nullptr;  // the session record
    MonitorSink* monitor = nullptr;     // the monitor area
    // false: the host sends the TNC its parameters (with the start-up sequence) and calls
    // arm_session() then.
    bool send_parameters = true;
    double latitude = 0, longitude = 0; // station, degrees as stored (transmitter request)
};

// What the engine asks of its host.
class ReceptionOutput {
public:
    virtual ~ReceptionOutput() = default;
    virtual void write_bytes(std::span<const std::uint8_t> bytes) = 0;
    // One KISS frame; false when the port did not take it (nothing counts as sent then).
    virtual bool write_frame(std::span<const std::uint8_t> bytes)
    {
        write_bytes(bytes);
        return true;
    }
    // Bytes written and not yet sent: the TX buffer check.
    virtual std::size_t output_queued() { return 0; }
    virtual void post(const std::string& text, LineColour colour) = 0;
    // Start the mail processor on "F~" `file_argument` ("1A2B.DL", "*.DL").
    virtual void start_dispo(const std::string& /*file_argument*/) {}
    // Each directory header written to the store, as its raw bytes.
    virtual void on_header_stored(std::span<const std::uint8_t> /*header*/) {}
    virtual void on_file_completed(std::uint32_t /*file_number*/) {}
    virtual void on_queue_line(std::string_view /*text*/) {}
    virtual void show_request_status(const std::string& /*text*/) {}
    virtual void select_uplink(int /*uplink*/) {}
};

class ReceptionEngine : private KissSink,
                        private LinkControl,
                        private StatusSink,
                        private RequestReceiver,
                        private RequestHost,
                        private DirectoryListener,
                        private FileListener,
                        private RandomSource {
public:
    ReceptionEngine(ReceptionConfig config, ReceptionOutput& output);
    ~ReceptionEngine() override;

    // Opens the directory store and sends the TNC its parameters. Time in milliseconds since 1970.
    Status open(std::uint64_t now_ms);
    void feed(std::span<const std::uint8_t> bytes, std::uint64_t now_ms);
    void poll(std::uint64_t now_ms);
    std::uint64_t next_deadline() const;
    // Pass end: hole lists, directory holes and files saved; the mail processor started.
    void close(std::uint64_t now_ms);
    // The next frame heard starts the session (the TNC has its parameters).
    void arm_session();
    // The end of the pass given by the station program (station seconds).
    void set_pass_end(std::optional<std::int64_t> end) { pass_end_ = end; }
    void set_run_dispo(bool on) { config_.run_dispo = on; }
    void set_print_headers(bool on);
    // Alt+U and the tick: at most three in any 60 seconds.
    void transmitter_request();
    // The engine wants the pass closed (timeouts, "CRC count exceeded").
    bool close_requested() const { return close_requested_; }

    DirectoryStore& directory() { return *directory_; }
    FileReceiver& files() { return *files_; }
    RequestScheduler& scheduler() { return *scheduler_; }
    const FrameDispatcher& dispatcher() const { return *dispatcher_; }
    const KissCounters& kiss_counters() const { return decoder_.counters(); }
    // `chunks` of received bytes were lost to a full receive buffer before the next bytes fed.
    void receive_overrun(std::uint32_t chunks);
    // Frames lost to a full receive buffer or cut at the longest frame.
    std::uint32_t overruns() const { return overruns_ + decoder_.counters().oversize; }
    // The bad SMACK count, once SMACK has been seen.
    std::optional<std::uint32_t> bad_smack() const;

private:
    // KissSink
    void on_kiss_frame(std::uint8_t port, std::span<const std::uint8_t> frame) override;
    void on_kiss_notice(KissNotice notice, std::uint8_t command) override;
    // LinkControl
    void write_raw(std::span<const std::uint8_t> bytes) override;
    bool send_kiss_frame(std::span<const std::uint8_t> frame) override;
    void close_engine() override { close_requested_ = true; }
    // StatusSink
    void post(std::string text, LineColour colour) override;
    // RequestReceiver
    void on_queue_line(std::string_view text, bool full) override;
    void on_file_refused(int code) override;
    void on_request_accepted() override;
    void on_request_answered() override;
    // RequestHost
    std::optional<std::pair<std::uint32_t, int>> most_wanted(bool prefer_heard, std::size_t heard,
                                                             std::uint32_t requested) override;
    bool directory_complete() override { return directory_->complete(); }
    std::size_t directory_hole_count() override { return directory_->holes().count(); }
    std::optional<std::uint64_t> up_to_date_time() override { return directory_->up_to_date_time(); }
    bool directory_settling() override { return directory_quiet_due().has_value(); }
    bool on_air(std::uint32_t file_number) override { return file_number != 0 && file_number == file_on_air(); }
    bool uploads_waiting() override;
    bool send_file_fill(std::uint32_t file_number) override;
    bool send_directory_fill() override;
    void show_request_status(const std::string& text) override { out_.show_request_status(text); }
    void select_uplink(int uplink) override { out_.select_uplink(uplink); }
    void request_tx_switch_on() override;
    void arm_request_timer(std::chrono::milliseconds delay) override { request_due_ = now_ + std::uint64_t(delay.count()); }
    void stop_request_timer() override { request_due_.reset(); }
    // DirectoryListener
    void on_header_stored(std::span<const std::uint8_t> header) override;
    void on_up_to_date() override;
    void on_new_entry(std::uint32_t file_number, int code) override;
    int prepare_gateway(const pfh::PfhHeader& header) override;
    void send_receive_ack(std::uint32_t file_number) override;
    // FileListener
    void on_file_complete(std::uint32_t file_number, const std::filesystem::path& file, std::uint32_t length,
                          bool process_now) override;
    void on_incremental_complete(std::uint32_t file_number) override;
    // RandomSource
    std::uint32_t below(std::uint32_t n) override;

    bool send_ui(std::uint8_t pid, std::span<const std::uint8_t> info);
    bool sent_fill(std::uint32_t file_number, bool sent);
    // The file whose broadcast is still coming down (its frames keep arriving), if any.
    std::uint32_t file_on_air() const;
    // How long after its last frame a broadcast still counts as coming (ms).
    std::uint64_t on_air_allowance() const;
    void sync_requested();
    std::optional<std::uint64_t> directory_quiet_due() const;
    std::optional<std::uint64_t> silence_retry_due() const;
    std::optional<std::uint64_t> answer_due() const;
    void request_sent();
    std::uint64_t seconds() const { return now_ / 1000; }

    ReceptionConfig config_;
    ReceptionOutput& out_;
    std::uint64_t now_ = 0;
    Ax25Address my_call_, bdcst_call_;
    std::mt19937_64 rng_;
    struct Equations : StatusDecider {
        EquationSet set;
        std::optional<int> decide(const pfh::PfhHeader& header, std::uint64_t now) override;
    };
    Equations equations_;
    std::unique_ptr<DirectoryStore> directory_;
    std::unique_ptr<FileReceiver> files_;
    std::unique_ptr<RequestScheduler> scheduler_;
    std::unique_ptr<FrameDispatcher> dispatcher_;
    KissDecoder decoder_;
    std::uint32_t overruns_ = 0;
    std::optional<std::uint64_t> request_due_;
    std::uint64_t tick_due_ = 0;
    std::uint64_t checkpoint_due_ = 0;
    std::uint64_t bytes_at_last_tick_ = 0;
    std::optional<std::int64_t> pass_end_;
    bool close_requested_ = false;
    bool opened_ = false;
    enum class LastRequest : std::uint8_t { None, Directory, File };
    LastRequest last_request_ = LastRequest::None;
    std::optional<std::uint64_t> directory_ok_at_; // ms: the directory fill was answered "OK"
    std::optional<std::uint64_t> directory_asked_at_; // ms: the last directory fill sent
    std::uint64_t last_new_header_ = 0;             // ms
    int quiet_answers_ = 0; // answered fills of the open end since a new header, with nothing new
    // The file whose fragments were heard last, when, and the gap before that one (ms).
    std::uint32_t on_air_file_ = 0;
    std::optional<std::uint64_t> on_air_at_;
    bool on_air_ended_ = false; // its last frame heard carried the end of the file or of our fill
    std::uint32_t fill_file_ = 0; // the file of the last hole fill asked for, and the end of its
    std::uint32_t fill_end_ = 0;  // last range
    std::uint64_t on_air_gap_ = 0;
    // The file of the last fill request sent, until its broadcast is heard to begin.
    std::uint32_t awaiting_service_ = 0;
    bool awaiting_directory_ = false; // a directory fill was asked for and nothing of it heard yet
    std::optional<std::uint64_t> fill_sent_at_; // ms: the last fill request, until it is served
    bool fill_accepted_ = false;                // an "OK" was heard since it was sent
    std::uint64_t last_broadcast_at_ = 0;        // ms: the last file or directory frame heard
    std::optional<std::uint64_t> frame_gap_ms_;  // smoothed time between broadcast frames
    int silence_retries_ = 0;                    // since a broadcast or queue line was last heard
    // The server's answer to the last request: when it was sent, whether it was sent again
    // before an answer came (its answer time is then not measured), the smoothed time answers
    // take on this link, and the requests sent again for want of one.
    std::optional<std::uint64_t> answer_awaited_since_;
    bool answer_repeat_ = false;
    std::optional<std::uint64_t> answer_srt_; // ms
    int unanswered_retries_ = 0;

};

} // namespace orva::engine

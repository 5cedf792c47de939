// Brek as a program without its window: one satellite pass at a time, opened and closed in order
// over the reception engine, the TNC start-up and exit sequences, the upload client and the session
// record; the status list and boxes a view shows; the window messages it answers and the commands
// its menus and boxes call. Sans-IO: the host feeds it the TNC bytes and calls poll() at
// next_deadline(); everything else goes out through SessionHost.
#pragma once

#include "common/settings/suite_settings.h"
#include "engine/directory/status_codes.h"
#include "engine/link/tnc_inbox.h"
#include "engine/session/session_host.h"
#include "engine/session/session_view.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orva::engine {

// Window message numbers.
inline constexpr std::uint32_t kMsgFlushDirectory = 2029; // received from the viewer; sent to it: connect now
inline constexpr std::uint32_t kMsgFileInformation = 2030;
inline constexpr std::uint32_t kMsgSelectUplink = 2031;
inline constexpr std::uint32_t kMsgKeepAlive = 2034;
inline constexpr std::uint32_t kMsgTail = 2036;
inline constexpr std::uint32_t kMsgElementsChanged = 2037;
inline constexpr std::uint32_t kMsgQuery = 2038;
inline constexpr std::uint32_t kMsgDownlinkOffset = 2039;
inline constexpr std::uint32_t kMsgSelectDownlink = 2040;
inline constexpr std::uint32_t kMsgListenOnly = 2041;
inline constexpr std::uint32_t kMsgPassEnd = 2042;
inline constexpr std::uint32_t kMsgUploadBoxClose = 2043;
inline constexpr std::uint32_t kMsgClose = 16; // the close request

inline constexpr const char* kBrekClass = "Brek:MAIN";
inline constexpr const char* kHelmoClass = "HelmoCtl";
inline constexpr const char* kTesselClass = "Tessel";

struct SessionConfig {
    settings::StationSettings station;
    settings::GeneralSettings general;
    std::uint64_t seed = 0;             // 0: from the system
    std::uint64_t checkpoint_ms = 5000; // hole lists saved this often during a pass
    // Replay of a capture: no TNC, no upload, no clock setting, no captures of its own.
    bool offline = false;
};

// The temporary settings of the float menu.
struct TemporarySettings {
    bool auto_fill = true;  // "Broadcasts Enabled"
    bool uploading = true;  // "Uploading Enabled"
    bool auto_freq = true;  // "Auto freq select"
    bool operator==(const TemporarySettings&) const = default;
};

// "Brek General Setup Options": minutes as seconds, 86400 meaning none.
struct GeneralOptions {
    std::uint32_t inactivity_timeout_s = 86400;
    std::uint32_t up_to_date_timeout_s = 86400;
    std::uint32_t proc_threshold = 1500;
    bool download_your_uploads = false; // the inverse of "DL Mine"
    bool print_headers = false;
    bool run_dispo = true;
    bool maximise_upload = true;
    bool block_bbs = true;
    bool grab_all = true;
    bool operator==(const GeneralOptions&) const = default;
};
// The box's fields as typed: minutes (0 or blank = one day).
GeneralOptions general_options_from_box(std::uint32_t inactivity_minutes, std::uint32_t up_to_date_minutes,
                                        std::uint32_t proc_threshold, bool download_your_uploads, bool print_headers,
                                        bool run_dispo, bool maximise_upload, bool block_bbs, bool grab_all);

struct TncSettingsBox {
    std::uint32_t tx_delay_ms = 200;
    std::uint32_t tx_tail_ms = 50;
    std::uint32_t retries = 12;
    std::uint32_t max_frame = 2;
    std::uint32_t retry_time_s = 2;
    std::uint32_t packet_length = 246; // shown as "PacLength" + 2
    bool operator==(const TncSettingsBox&) const = default;
};
// The box's clamps: delay and tail over 2500 become 330, retry time over 60 becomes 6, a packet
// length outside 20..255 becomes 245.
TncSettingsBox clamp_tnc_settings(TncSettingsBox box);

struct BroadcastOptions {
    bool auto_fill = true;  // "Send auto fill requests"
    int bdcst_custom = 4;   // 1..4
    int tail_action = 2;    // 1..3
    int dir_priority = 5;   // 5..10
    bool operator==(const BroadcastOptions&) const = default;
};

struct FrequencyChoice {
    double uplinks[4] = {0, 0, 0, 0};
    double downlinks[2] = {0, 0};
    int uplink = 1;   // 1..4
    int downlink = 1; // 1..2
    int offset_hz = 0; // -9999..9999
};

// The File Information box, as it was when opened.
struct FileInformation {
    std::uint32_t file_number = 0;
    std::size_t holes = 0;
    std::uint32_t file_size = 0;
    int percent = 0;
    std::string to, from, title;
    int file_type = 0;
    int status = 0;              // download status code
    std::uint64_t slot_token = 0; // which opening of the slot the box shows
};

// The boxes offer the download status codes of engine/directory/status_codes.h (kCodePriority...).

enum class SessionState { NoPass, PassOpen, Closing };

class BrekSession {
public:
    BrekSession(SessionConfig config, SessionHost& host);
    ~BrekSession();
    BrekSession(const BrekSession&) = delete;
    BrekSession& operator=(const BrekSession&) = delete;

    void add_observer(SessionObserver* observer);
    void remove_observer(SessionObserver* observer);

    // Start-up after the window exists: the tick starts; the pass of `satellite` opens when the
    // store has it (otherwise the title stays "Brek").
    void start(const std::string& satellite);
    // Opens the pass of a satellite of the store; false when none of that name or a pass is open.
    bool open_pass(const std::string& satellite);
    // The close request (message 16, File: Exit, a signal, the end of the pass).
    void request_close();
    // Select Satellite: the whole close sequence, then the new pass opens.
    void select_satellite(const std::string& satellite);

    // Bytes read from the TNC.
    void feed_tnc(std::span<const std::uint8_t> bytes);
    // What the port's threads left: bytes, overruns, write errors and a lost port, in order.
    void feed_tnc(const TncInbox& inbox);
    // The TNC port was lost.
    void tnc_lost(const std::string& reason);
    // `chunks` read from the TNC were lost to a full receive buffer before the next ones.
    void tnc_overrun(std::uint32_t chunks);
    void poll();
    // Station milliseconds of the next poll() that has work; none when nothing is timed.
    std::optional<std::uint64_t> next_deadline() const;

    // A window message to "Brek:MAIN"; the value is the answer to a send.
    std::int32_t on_window_message(const platform::WindowMessage& message);
    // The data server: a poke's text (at most 100 bytes are posted, in red).
    bool on_poke(std::span<const std::uint8_t> data);
    // The last data of a topic ("Directory", "Receive"), for requests and advise requests.
    std::optional<std::vector<std::uint8_t>> last_data(const std::string& topic) const;

    // Menus and boxes.
    std::vector<std::uint32_t> fill_candidates() const; // files whose status is above 4
    void fill_file(std::uint32_t file_number, bool auto_override);
    void fill_directory(bool auto_override);
    void send_fill_request(std::uint32_t file_number); // float menu on a download row
    std::optional<FileInformation> file_information(std::uint32_t file_number) const;
    // The box of a directory line: the entry's To, From, Title and status, with or without a slot.
    std::optional<FileInformation> directory_entry(std::uint32_t file_number) const;
    // Empty, or the text the box shows instead of acting.
    std::string apply_file_information(const FileInformation& opened, int status, bool request_now);
    // The box of a directory line: status 10, 9, 4 or 1.
    void set_directory_line_status(std::uint32_t file_number, int status);
    void set_log_kiss(bool on);
    void set_log_telemetry(bool on);
    bool log_kiss() const;
    bool log_telemetry() const;
    TemporarySettings temporary_settings() const;
    void set_temporary_settings(const TemporarySettings& settings);
    FrequencyChoice frequencies() const;
    void change_frequencies(const FrequencyChoice& choice);
    GeneralOptions general_options() const;
    void set_general_options(const GeneralOptions& options);
    TncSettingsBox tnc_settings() const;
    void set_tnc_settings(const TncSettingsBox& box); // clamps, then sends the TNC its new timing
    BroadcastOptions broadcast_options() const;
    // The byte budget of message 2036; none until one arrived.
    std::optional<std::uint32_t> byte_budget() const;
    void set_broadcast_options(const BroadcastOptions& options);
    void transmitter_request(); // Alt+U
    void disconnect_upload();   // the Disc button of the Upload Status box
    // A File Information box opened: the viewer is asked (2030) to fill it; false when no viewer of
    // this satellite runs and the box keeps what the headers gave.
    bool ask_viewer_for_information(std::uint32_t box, std::uint32_t file_number);
    // A message with texts from another program (the viewer's answer to 2030).
    void on_window_texts(const platform::WindowMessage& message, const std::vector<std::string>& texts);
    void open_directory_viewer(); // Directory menu
    void send_message();          // Send Msg
    std::vector<std::string> selectable_satellites() const; // "Satellite Type" 0, by "Name"

    // What views show.
    SessionState state() const;
    bool pass_open() const { return state() == SessionState::PassOpen; }
    bool listen_only() const;
    const std::string& title() const;
    const std::string& satellite() const;
    std::uint32_t catalogue() const;
    int uplink() const;
    int downlink() const;
    std::optional<std::int64_t> pass_end() const;
    std::vector<StatusLine> status_lines() const;   // oldest first
    std::vector<std::string> monitor_lines() const; // oldest first
    StatusBoxes boxes() const;
    std::vector<DownloadRow> download_table() const; // kTableRows rows
    InformationFigures information() const;
    bool finished() const; // the program is to end

    // Lines from the host itself (its own failures, "DDE Initialisation failure.").
    void post(const std::string& text, LineColour colour);

private:
    class Pass;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace orva::engine

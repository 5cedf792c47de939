// The upload client: the BBS status trigger, the connected-mode link to the BBS callsign and the
// FTL0 client over it, sending the queue files of the satellite directory one after another.
// Sans-IO apart from the queue files themselves: frames and the time in, frames and lines out.
#pragma once

#include "engine/upload/connected_link.h"
#include "engine/upload/ftl0_packet.h"
#include "engine/upload/upload_folder.h"
#include "engine/upload/upload_types.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace orva::engine {

struct UploadConfig {
    Ax25Address my_call, bbs_call;
    DataLinkSettings link;
    std::filesystem::path folder; // "Satellite Directory"
    bool uploading = true;        // "Uploading"
    bool ignore_shut = false;     // "Ignore Shut"
    bool auto_freq = true;        // "Auto Freq"
    int default_uplink = 1;       // "Default Uplink"
    std::uint64_t seed = 0;       // 0: from the system
};

struct UploadOutput {
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<StatusPost> posts;
    std::optional<int> select_uplink;
    std::optional<std::string> bbs_status; // for the BBS status area
};

// The file being sent.
struct UploadInProgress {
    QueuedUpload file;
    std::FILE* stream = nullptr;
    std::uint64_t offset = 0;
    std::int64_t to_send = 0;
    std::optional<LinkTime> start;
    std::int64_t sent_this_session = 0;
    // The header as sent: the server's file number written in. Empty: the file goes as it is.
    std::vector<std::uint8_t> header;
};

class UploadClient {
public:
    enum State : int { kIdle = 0, kAwaitCommandAnswer = 1, kAwaitLogin = 2, kSending = 4, kAwaitDataEndAnswer = 5 };

    explicit UploadClient(UploadConfig config);
    ~UploadClient();
    UploadClient(const UploadClient&) = delete;
    UploadClient& operator=(const UploadClient&) = delete;

    UploadOutput on_bbs_status(std::string_view text, LinkTime now);
    UploadOutput on_connected_frame(const Ax25Frame& frame, LinkTime now);
    UploadOutput poll(LinkTime now);
    std::optional<LinkTime> next_deadline() const;
    // The Disc button, and the end of a pass.
    UploadOutput disconnect(LinkTime now);

    void set_uploading(bool on) { config_.uploading = on; }
    void set_auto_freq(bool on) { config_.auto_freq = on; }
    // The TNC box: a link that is up takes the new window, retries, T1 and packet length at once.
    void set_link_settings(const DataLinkSettings& link)
    {
        config_.link = link;
        link_.set_settings(link);
    }

    int state() const { return state_; }
    // The last queue file held back because its header does not fit the upload layout, and why;
    // empty when none is held. For the Upload Status box.
    const std::string& held() const { return held_text_; }
    // Connecting, connected or about to connect: the "U" letter is shown.
    bool busy() const { return pending_ != Pending::None || link_.state() != LinkState::Disconnected; }
    const ConnectedLink& link() const { return link_; }
    const UploadProgress& progress() const { return progress_; }
    const std::vector<UploadLogEntry>& log_entries() const { return log_; }
    std::vector<UploadLogEntry> take_log_entries();

    // The uplink a BBSTAT line asks for: the position (1 to 3) of the first letter A-C or digit
    // 1-4 among the four characters from its first blank.
    static std::optional<int> uplink_in_status(std::string_view text);

private:
    enum class Pending : std::uint8_t { None, Prepare, Connect };
    using Current = UploadInProgress;
    // A queue file whose header was found not to fit, as it was then: checked again once changed.
    struct Held {
        std::filesystem::file_time_type written;
        std::uint64_t length = 0;
    };

    // The file choose() gives, passing over refused files and files whose header does not fit
    // (each of those posted once, and kept queued).
    std::optional<QueuedUpload> next_sendable();
    void login_ended(LinkTime now);
    void absorb(LinkOutput link_out, LinkTime now);
    // The connected link carries FTL0 as a byte stream: packets are cut from it by their length.
    void on_link_data(const LinkEvent& e, LinkTime now);
    void on_server_packet(std::span<const std::uint8_t> packet, bool oversize, LinkTime now);
    void on_go(const ftl0::ServerAnswer& a, LinkTime now);
    void on_upload_error(std::uint8_t code);
    void on_data_end_answer(const ftl0::ServerAnswer& a, LinkTime now);
    void choose_next(LinkTime now);
    void send_more(LinkTime now);
    void send_packet(std::uint8_t type, std::span<const std::uint8_t> data, LinkTime now);
    void unexpected(LinkTime now);
    void release(LinkTime now);
    void log_current(UploadReason reason, LinkTime now);
    void drop_current();
    void keep_for_later();
    void rename_current(std::string_view extension);
    void update_progress(LinkTime now);
    void post(std::string text, LineColour colour = LineColour::Black) { out_.posts.push_back({std::move(text), colour}); }
    UploadOutput take();

    UploadConfig config_;
    UploadFolder folder_;
    ConnectedLink link_;
    std::mt19937_64 rng_;
    int state_ = kIdle;
    Pending pending_ = Pending::None;
    LinkTime pending_at_{};
    std::optional<Current> current_;
    std::set<std::filesystem::path> skip_; // kept after a refusal: not offered again this pass
    std::map<std::filesystem::path, Held> held_;
    std::string held_text_;
    bool login_done_ = false;  // this connection's first upload command has been answered
    int login_failures_ = 0;   // logins the server ended, since the last that went through
    bool logins_stopped_ = false;
    UploadProgress progress_;
    std::vector<UploadLogEntry> log_;
    UploadOutput out_;
    std::vector<std::uint8_t> stream_; // server bytes not yet a whole packet
};

} // namespace orva::engine

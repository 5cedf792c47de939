// The upload client as the frame dispatcher's upload receiver: frames it wants sent go to the
// TNC through `send`, its lines to the status list. The host calls poll() at next_deadline().
#pragma once

#include "engine/frames/frame_receivers.h"
#include "engine/link/status_line.h"
#include "engine/upload/upload_client.h"

#include <functional>
#include <mutex>

namespace orva::engine {

class UploadHost final : public UploadReceiver {
public:
    using Sender = std::function<void(std::span<const std::uint8_t> frame)>;
    using Now = std::function<LinkTime()>;
    using UplinkSelector = std::function<void(int uplink)>;

    UploadHost(UploadConfig config, Sender send, StatusSink& status, Now now, UplinkSelector select = {});

    void on_bbs_status(std::string_view text) override;
    void on_connected_frame(const Ax25Frame& frame) override;
    void poll();
    std::optional<LinkTime> next_deadline() const;
    // The end of the pass: the link is dropped and the entries handed to the session log.
    std::vector<UploadLogEntry> close();

    const UploadClient& client() const { return client_; }
    // The temporary settings and message 2041 change these while the pass runs.
    void set_uploading(bool on);
    void set_auto_freq(bool on);
    void set_link_settings(const DataLinkSettings& link);
    // An upload link is up or being set up (the "U" letter).
    bool busy() const;
    std::string bbs_status() const;
    UploadProgress progress() const;
    // A queue file held back for its header, and why (empty when none).
    std::string held() const;
    // The Disc button: DISC with the poll bit, and the link is down at once.
    void disconnect();

private:
    void deliver(UploadOutput o);

    mutable std::mutex mutex_; // frames arrive on the receive thread, timers on the owner's
    UploadClient client_;
    Sender send_;
    StatusSink& status_;
    Now now_;
    UplinkSelector select_;
    std::string bbs_status_;
};

} // namespace orva::engine

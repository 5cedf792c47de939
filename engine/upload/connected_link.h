// AX.25 2.0 connected mode, modulo 8, as the calling side of one link: SABM/UA/DISC/DM, I frames
// with N(S)/N(R), RR/RNR/REJ, T1 with its retries, T2 delayed acknowledgement, T3 idle poll, and
// re-establishment after FRMR or a bad N(R). Pure: frames and the time in, frames and events out.
#pragma once

#include "engine/frames/ax25_frame.h"
#include "engine/upload/ax25_control.h"
#include "engine/upload/upload_types.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace orva::settings {
struct SatelliteRecord;
}

namespace orva::engine {

struct DataLinkSettings {
    LinkTime t1{2000};          // "Retry Time"
    LinkTime t2{500};
    LinkTime t3{10000};
    int window = 2;             // "MaxFrame", 1..7
    int retries = 12;           // "Retries"
    std::size_t pac_length = 244; // "PacLength", 10..244
};

DataLinkSettings data_link_settings_from(const settings::SatelliteRecord& record);

enum class LinkState : std::uint8_t { Disconnected, AwaitingConnection, AwaitingRelease, Connected, TimerRecovery };

struct LinkEvent {
    enum class Kind : std::uint8_t {
        Connected,
        Reset,        // the link was re-established: whatever was in flight is lost
        Refused,      // DM to our SABM
        Disconnected,
        Data,         // one in-sequence information field after the PID
        WindowOpened, // outstanding frames were acknowledged
    };
    Kind kind;
    std::vector<std::uint8_t> data;
    bool oversize = false; // Data longer than any server packet; not kept
};

struct LinkOutput {
    std::vector<std::vector<std::uint8_t>> frames; // whole AX.25 frames for the TNC
    std::vector<LinkEvent> events;
    std::vector<StatusPost> posts;
};

class ConnectedLink {
public:
    // Largest information field (after the PID) taken from a received I frame.
    static constexpr std::size_t kMaxReceivedInfo = 280;

    ConnectedLink(Ax25Address me, Ax25Address peer, DataLinkSettings settings = {});

    void set_settings(DataLinkSettings settings) { settings_ = settings; }
    const DataLinkSettings& settings() const { return settings_; }
    LinkState state() const { return state_; }
    bool is_up() const { return state_ == LinkState::Connected || state_ == LinkState::TimerRecovery; }

    LinkOutput connect(LinkTime now);
    // Orderly release: DISC, then disconnected on UA or DM (or after the retries).
    LinkOutput release(LinkTime now);
    // DISC with the poll bit and disconnected at once.
    LinkOutput disconnect_now(LinkTime now);

    // Queues one information field (PID 0xF0 is added) and sends what the window allows.
    LinkOutput send(std::span<const std::uint8_t> info, LinkTime now);
    // Information fields that can be queued before the window is full.
    std::size_t room() const;
    std::size_t unacknowledged() const { return window_.size(); }

    LinkOutput on_frame(const Ax25Frame& frame, LinkTime now);
    LinkOutput poll(LinkTime now);
    std::optional<LinkTime> next_deadline() const;

private:
    void send_control(const Control& c, bool command, std::span<const std::uint8_t> info = {}, bool with_pid = false);
    void send_frmr(std::uint8_t rejected, std::uint8_t why, bool final);
    void push_i_frames(LinkTime now);
    bool nr_valid(int nr) const;
    int vs() const { return (va_ + int(sent_)) & 7; }
    void take_ack(int nr, LinkTime now);
    void start_connect(LinkTime now);
    void reestablish(LinkTime now);
    void enter_connected(LinkTime now);
    void enter_disconnected();
    void on_i_frame(const Ax25Frame& f, const Control& c, bool command, LinkTime now);
    void on_s_frame(const Control& c, bool command, LinkTime now);
    void on_t1(LinkTime now);
    void enquiry(LinkTime now);
    void event(LinkEvent::Kind kind) { out_.events.push_back({kind, {}, false}); }
    LinkOutput take();

    Ax25Address me_, peer_;
    DataLinkSettings settings_;
    LinkState state_ = LinkState::Disconnected;
    std::deque<std::vector<std::uint8_t>> window_; // from V(A) on: the first sent_ are on the air
    std::size_t sent_ = 0;
    int va_ = 0, vr_ = 0;
    int rc_ = 0;
    bool peer_busy_ = false, reject_sent_ = false, ack_pending_ = false;
    std::optional<LinkTime> t1_, t2_, t3_;
    LinkOutput out_;
};

} // namespace orva::engine

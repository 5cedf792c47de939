// AX.25 2.0 connected mode, modulo 8, as the calling side of one link: SABM/UA/DISC/DM, I frames
// with N(S)/N(R), RR/RNR/REJ, T1 with its retries, T2 delayed acknowledgement, T3 idle poll.
// T1 follows the round trip measured on the link, as AX.25 2.2 does with its smoothed round-trip
// time: a busy satellite queues its answers behind its broadcasts, and a T1 shorter than that
// queue sends SABM again while the first UA is still waiting, which resets the server's login.
// Once the UA has come SABM is never sent again on that connection: after FRMR or a bad N(R) the
// link is released instead. Pure: frames and the time in, frames and events out.
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
    LinkTime t1{2000};          // "Retry Time": T1 itself when not adaptive, else its floor
    LinkTime t2{500};
    LinkTime t3{10000};
    int window = 2;             // "MaxFrame", 1..7
    int retries = 12;           // "Retries"
    std::size_t pac_length = 244; // "PacLength", 10..244
    // T1 = the larger of "Retry Time" and twice the smoothed round trip, doubled on each expiry.
    bool adaptive_t1 = true;
    std::uint32_t bit_rate = 1200; // the link's rate in bit/s ("Uplink Speed")
    LinkTime tx_delay{200};        // "Tx Delay": the transmitter's key-up time, taken for each end
};

// Bytes a full I frame adds to its information field on the air: two flags, two addresses, control,
// PID and the frame check.
inline constexpr std::size_t kFrameOverhead = 20;

// The round trip of a full frame each way at the link's rate, with each end's key-up delay: what
// the first T1 of a connection must at least cover.
LinkTime full_frame_round_trip(const DataLinkSettings& settings);

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
    bool by_peer = false;  // Disconnected: the peer sent DISC or DM while the link was up
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

    void set_settings(DataLinkSettings settings);
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

    // The smoothed round trip (seeded with full_frame_round_trip until measured) and the T1 a
    // frame sent now would run with.
    LinkTime smoothed_round_trip() const { return srt_; }
    LinkTime current_t1() const;
    // SABM frames sent since connect(); the UA ends the count.
    int sabm_count() const { return sabms_; }

private:
    struct Outgoing {
        std::vector<std::uint8_t> info;
        std::optional<LinkTime> first_sent;
        bool timed = true; // no retransmission and no T1 expiry since it was sent: its ack is a sample
    };

    void send_control(const Control& c, bool command, std::span<const std::uint8_t> info = {}, bool with_pid = false);
    void send_frmr(std::uint8_t rejected, std::uint8_t why, bool final);
    void push_i_frames(LinkTime now);
    bool nr_valid(int nr) const;
    int vs() const { return (va_ + int(sent_)) & 7; }
    void take_ack(int nr, LinkTime now);
    void start_connect(LinkTime now);
    void enter_connected(LinkTime now);
    void enter_disconnected(bool by_peer = false);
    void drop_after_error(LinkTime now);
    void start_t1(LinkTime now) { t1_ = now + current_t1(); }
    void measure(LinkTime round_trip);
    void on_i_frame(const Ax25Frame& f, const Control& c, bool command, LinkTime now);
    void on_s_frame(const Control& c, bool command, LinkTime now);
    void on_t1(LinkTime now);
    void enquiry(LinkTime now);
    void event(LinkEvent::Kind kind) { out_.events.push_back({kind, {}, false}); }
    LinkOutput take();

    Ax25Address me_, peer_;
    DataLinkSettings settings_;
    LinkState state_ = LinkState::Disconnected;
    std::deque<Outgoing> window_; // from V(A) on: the first sent_ are on the air
    std::size_t sent_ = 0;
    int va_ = 0, vr_ = 0;
    int rc_ = 0;
    bool peer_busy_ = false, reject_sent_ = false, ack_pending_ = false;
    std::optional<LinkTime> t1_, t2_, t3_;
    LinkTime srt_{0};
    bool srt_measured_ = false;
    int backoff_ = 0; // T1 expiries since the last acknowledgement
    std::optional<LinkTime> sabm_sent_;
    bool sabm_timed_ = false;
    int sabms_ = 0;
    LinkOutput out_;
};

} // namespace orva::engine

#include "engine/upload/connected_link.h"

#include "common/settings/satellite_record.h"

#include <algorithm>

namespace orva::engine {
namespace {
constexpr std::uint8_t kFrmrW = 0x01; // control field not known
// Backed-off T1 stops growing here (the longest "Retry Time" the TNC box takes).
constexpr LinkTime kLongestT1{60000};
// The slowest uplink a PACSAT works: assumed when the satellite's record gives none.
constexpr std::uint32_t kSlowestBitRate = 1200;
} // namespace

DataLinkSettings data_link_settings_from(const settings::SatelliteRecord& r) {
    DataLinkSettings s;
    s.t1 = LinkTime(std::clamp<std::uint32_t>(r.retry_time, 100, 60000));
    s.window = int(std::clamp<std::uint32_t>(r.max_frame, 1, 7));
    s.retries = int(std::clamp<std::uint32_t>(r.retries, 1, 255));
    s.pac_length = std::clamp<std::uint32_t>(r.pac_length, 10, 244);
    s.bit_rate = r.uplink_speed ? std::clamp<std::uint32_t>(r.uplink_speed, 300, 1'000'000) : kSlowestBitRate;
    s.tx_delay = LinkTime(std::min<std::uint32_t>(r.tx_delay, 2500));
    return s;
}

LinkTime full_frame_round_trip(const DataLinkSettings& s) {
    const std::uint64_t bits = std::uint64_t(s.pac_length + kFrameOverhead) * 8;
    const std::uint64_t rate = std::max<std::uint32_t>(s.bit_rate, 1);
    const auto air = LinkTime(std::int64_t((bits * 1000 + rate - 1) / rate));
    return 2 * (air + s.tx_delay);
}

ConnectedLink::ConnectedLink(Ax25Address me, Ax25Address peer, DataLinkSettings settings)
    : me_(me), peer_(peer), settings_(settings), srt_(full_frame_round_trip(settings)) {}

void ConnectedLink::set_settings(DataLinkSettings settings) {
    // A new rate or frame length makes the seed wrong; what was measured stays.
    settings_ = settings;
    if (!srt_measured_) srt_ = full_frame_round_trip(settings_);
}

LinkTime ConnectedLink::current_t1() const {
    if (!settings_.adaptive_t1) return settings_.t1;
    LinkTime t = std::max(settings_.t1, 2 * srt_);
    // The first SABM's answer may come behind a full frame each way, whatever was measured.
    if (state_ == LinkState::AwaitingConnection) t = std::max(t, full_frame_round_trip(settings_));
    const LinkTime longest = std::max(kLongestT1, settings_.t1);
    for (int i = 0; i < backoff_ && t < longest; ++i) t *= 2;
    return std::min(t, longest);
}

void ConnectedLink::measure(LinkTime round_trip) {
    srt_ = (7 * srt_ + round_trip) / 8;
    srt_measured_ = true;
}

LinkOutput ConnectedLink::take() {
    LinkOutput o = std::move(out_);
    out_ = {};
    return o;
}

void ConnectedLink::send_control(const Control& c, bool command, std::span<const std::uint8_t> info, bool with_pid) {
    std::vector<std::uint8_t> f;
    f.reserve(16 + info.size());
    const auto d = peer_.wire(command, false);
    const auto s = me_.wire(!command, true);
    f.insert(f.end(), d.begin(), d.end());
    f.insert(f.end(), s.begin(), s.end());
    f.push_back(encode_control(c));
    if (with_pid) f.push_back(kPidText);
    f.insert(f.end(), info.begin(), info.end());
    out_.frames.push_back(std::move(f));
}

void ConnectedLink::send_frmr(std::uint8_t rejected, std::uint8_t why, bool final) {
    const std::uint8_t info[3] = {rejected, std::uint8_t((vr_ << 5) | (vs() << 1)), why};
    send_control(u_control(ControlKind::FRMR, final), false, info);
}

std::size_t ConnectedLink::room() const {
    if (!is_up()) return 0;
    const auto k = std::size_t(std::clamp(settings_.window, 1, 7));
    return window_.size() < k ? k - window_.size() : 0;
}

LinkOutput ConnectedLink::connect(LinkTime now) {
    start_connect(now);
    return take();
}

void ConnectedLink::start_connect(LinkTime now) {
    window_.clear();
    sent_ = 0;
    va_ = vr_ = 0;
    rc_ = 0;
    backoff_ = 0;
    peer_busy_ = reject_sent_ = ack_pending_ = false;
    t2_.reset();
    t3_.reset();
    state_ = LinkState::AwaitingConnection;
    send_control(u_control(ControlKind::SABM, true), true);
    sabm_sent_ = now;
    sabm_timed_ = true;
    sabms_ = 1;
    start_t1(now);
}

LinkOutput ConnectedLink::release(LinkTime now) {
    switch (state_) {
    case LinkState::Disconnected:
    case LinkState::AwaitingRelease: break;
    case LinkState::AwaitingConnection:
        send_control(u_control(ControlKind::DISC, true), true);
        enter_disconnected();
        break;
    case LinkState::Connected:
    case LinkState::TimerRecovery:
        window_.clear();
        sent_ = 0;
        rc_ = 0;
        t2_.reset();
        t3_.reset();
        send_control(u_control(ControlKind::DISC, true), true);
        state_ = LinkState::AwaitingRelease;
        start_t1(now);
        break;
    }
    return take();
}

LinkOutput ConnectedLink::disconnect_now(LinkTime) {
    if (state_ != LinkState::Disconnected) {
        send_control(u_control(ControlKind::DISC, true), true);
        enter_disconnected();
    }
    return take();
}

LinkOutput ConnectedLink::send(std::span<const std::uint8_t> info, LinkTime now) {
    if (is_up()) {
        window_.push_back(Outgoing{std::vector<std::uint8_t>(info.begin(), info.end()), std::nullopt, true});
        push_i_frames(now);
    }
    return take();
}

void ConnectedLink::push_i_frames(LinkTime now) {
    const auto k = std::size_t(std::clamp(settings_.window, 1, 7));
    while (is_up() && !peer_busy_ && sent_ < window_.size() && sent_ < k) {
        const int ns = vs();
        Outgoing& o = window_[sent_];
        send_control(i_control(ns, vr_, false), true, o.info, true);
        if (o.first_sent) o.timed = false; // sent again: its acknowledgement says nothing of the round trip
        else o.first_sent = now;
        ++sent_;
        ack_pending_ = false;
        t2_.reset();
        if (!t1_) {
            t3_.reset();
            start_t1(now);
        }
    }
}

bool ConnectedLink::nr_valid(int nr) const { return std::size_t((nr - va_) & 7) <= sent_; }

void ConnectedLink::take_ack(int nr, LinkTime now) {
    const auto n = std::size_t((nr - va_) & 7);
    if (n > 0 && !window_.empty()) {
        // The oldest frame acknowledged times the round trip, unless it went twice or waited out T1.
        const Outgoing& oldest = window_.front();
        if (oldest.timed && oldest.first_sent) measure(now - *oldest.first_sent);
        backoff_ = 0;
    }
    for (std::size_t i = 0; i < n && !window_.empty(); ++i) window_.pop_front();
    sent_ -= std::min(n, sent_);
    va_ = nr & 7;
    if (n > 0) event(LinkEvent::Kind::WindowOpened);
    if (state_ == LinkState::Connected) {
        if (sent_ == 0) {
            t1_.reset();
            t3_ = now + settings_.t3;
        } else if (n > 0) {
            start_t1(now);
        }
    }
}

void ConnectedLink::enter_connected(LinkTime now) {
    state_ = LinkState::Connected;
    window_.clear();
    sent_ = 0;
    va_ = vr_ = 0;
    rc_ = 0;
    backoff_ = 0;
    peer_busy_ = reject_sent_ = ack_pending_ = false;
    t1_.reset();
    t2_.reset();
    t3_ = now + settings_.t3;
}

void ConnectedLink::drop_after_error(LinkTime) {
    // The standard re-establishes with SABM; a server in service takes a second SABM as a new
    // login and ends the first. The link is given up instead, and the caller decides.
    send_control(u_control(ControlKind::DISC, true), true);
    enter_disconnected();
}

void ConnectedLink::enter_disconnected(bool by_peer) {
    const bool was = state_ != LinkState::Disconnected;
    state_ = LinkState::Disconnected;
    window_.clear();
    sent_ = 0;
    t1_.reset();
    t2_.reset();
    t3_.reset();
    ack_pending_ = false;
    backoff_ = 0;
    sabm_sent_.reset();
    if (was) out_.events.push_back({LinkEvent::Kind::Disconnected, {}, false, by_peer});
}

LinkOutput ConnectedLink::on_frame(const Ax25Frame& f, LinkTime now) {
    if (!(f.source == peer_) || !(f.destination == me_)) return take();
    const Control c = decode_control(f.control);
    // Version 1 stations set neither C bit: read as commands.
    const bool command = f.command_response() != 2;
    const bool poll = command && c.pf;

    switch (state_) {
    case LinkState::Disconnected:
        if (command && c.kind != ControlKind::UI && (c.pf || c.kind == ControlKind::SABM || c.kind == ControlKind::DISC))
            send_control(u_control(ControlKind::DM, c.pf), false);
        break;
    case LinkState::AwaitingConnection:
        if (c.kind == ControlKind::UA) {
            if (sabm_sent_ && sabm_timed_) measure(now - *sabm_sent_);
            enter_connected(now);
            event(LinkEvent::Kind::Connected);
        } else if (c.kind == ControlKind::DM) {
            out_.posts.push_back({"Connect refused by satellite", LineColour::DarkRed});
            event(LinkEvent::Kind::Refused);
            enter_disconnected();
        } else if (c.kind == ControlKind::SABM) {
            send_control(u_control(ControlKind::UA, c.pf), false);
        } else if (c.kind == ControlKind::DISC) {
            send_control(u_control(ControlKind::DM, c.pf), false);
        }
        break;
    case LinkState::AwaitingRelease:
        if (c.kind == ControlKind::UA || c.kind == ControlKind::DM) {
            enter_disconnected();
        } else if (c.kind == ControlKind::DISC) {
            send_control(u_control(ControlKind::UA, c.pf), false);
        } else if (poll || c.kind == ControlKind::SABM) {
            send_control(u_control(ControlKind::DM, c.pf), false);
        }
        break;
    case LinkState::Connected:
    case LinkState::TimerRecovery:
        switch (c.kind) {
        case ControlKind::I: on_i_frame(f, c, command, now); break;
        case ControlKind::RR:
        case ControlKind::RNR:
        case ControlKind::REJ: on_s_frame(c, command, now); break;
        case ControlKind::SABM:
            // The peer started again: acknowledge, and whatever was in flight is gone.
            send_control(u_control(ControlKind::UA, c.pf), false);
            enter_connected(now);
            event(LinkEvent::Kind::Reset);
            event(LinkEvent::Kind::Connected);
            break;
        case ControlKind::DISC:
            send_control(u_control(ControlKind::UA, c.pf), false);
            enter_disconnected(true);
            break;
        case ControlKind::DM: enter_disconnected(true); break;
        case ControlKind::FRMR: drop_after_error(now); break;
        case ControlKind::UA:
        case ControlKind::UI: break;
        case ControlKind::Unknown:
            if (command) send_frmr(f.control, kFrmrW, c.pf);
            break;
        }
        break;
    }
    return take();
}

void ConnectedLink::on_i_frame(const Ax25Frame& f, const Control& control, bool command, LinkTime now) {
    Control c = control;
    // I frames are commands, but some servers send them with the response bits: the data is
    // theirs all the same. Only a command's P bit asks for an answer.
    if (!command) c.pf = false;
    if (!f.pid || *f.pid != kPidText) return;
    if (!nr_valid(c.nr)) {
        drop_after_error(now);
        return;
    }
    take_ack(c.nr, now);
    if (c.ns == vr_) {
        vr_ = (vr_ + 1) & 7;
        reject_sent_ = false;
        LinkEvent e{LinkEvent::Kind::Data, {}, false};
        if (f.info.size() > kMaxReceivedInfo) {
            out_.posts.push_back({"Memory Error", LineColour::DarkRed});
            e.oversize = true;
        } else {
            e.data.assign(f.info.begin(), f.info.end());
        }
        out_.events.push_back(std::move(e));
        if (c.pf) {
            send_control(s_control(ControlKind::RR, vr_, true), false);
            ack_pending_ = false;
            t2_.reset();
        } else if (!ack_pending_) {
            ack_pending_ = true;
            t2_ = now + settings_.t2;
        }
    } else if (!reject_sent_) {
        reject_sent_ = true;
        ack_pending_ = false;
        t2_.reset();
        send_control(s_control(ControlKind::REJ, vr_, c.pf), false);
    } else if (c.pf) {
        send_control(s_control(ControlKind::RR, vr_, true), false);
    }
    push_i_frames(now);
}

void ConnectedLink::on_s_frame(const Control& c, bool command, LinkTime now) {
    peer_busy_ = c.kind == ControlKind::RNR;
    if (!nr_valid(c.nr)) {
        drop_after_error(now);
        return;
    }
    if (command && c.pf) {
        send_control(s_control(ControlKind::RR, vr_, true), false);
        ack_pending_ = false;
        t2_.reset();
    }
    if (state_ == LinkState::TimerRecovery && !command && c.pf) {
        // The answer to our poll: what it does not acknowledge goes again.
        t1_.reset();
        rc_ = 0;
        state_ = LinkState::Connected;
        take_ack(c.nr, now);
        if (sent_ > 0) {
            sent_ = 0;
            t1_.reset();
        } else {
            t3_ = now + settings_.t3;
        }
    } else {
        take_ack(c.nr, now);
        if (c.kind == ControlKind::REJ && sent_ > 0) {
            sent_ = 0; // V(S) = N(R)
            if (state_ == LinkState::Connected) t1_.reset();
        }
    }
    push_i_frames(now);
}

void ConnectedLink::enquiry(LinkTime now) {
    send_control(s_control(ControlKind::RR, vr_, true), true);
    ack_pending_ = false;
    t2_.reset();
    start_t1(now);
}

void ConnectedLink::on_t1(LinkTime now) {
    t1_.reset();
    // Whatever is outstanding waited out T1: its answer times the wait, not the link.
    sabm_timed_ = false;
    for (auto& o : window_) o.timed = false;
    if (settings_.adaptive_t1 && backoff_ < 8) ++backoff_;
    switch (state_) {
    case LinkState::Disconnected: break;
    case LinkState::AwaitingConnection:
    case LinkState::AwaitingRelease:
        if (rc_ >= settings_.retries) {
            enter_disconnected();
        } else {
            ++rc_;
            const auto kind = state_ == LinkState::AwaitingConnection ? ControlKind::SABM : ControlKind::DISC;
            send_control(u_control(kind, true), true);
            if (kind == ControlKind::SABM) ++sabms_;
            start_t1(now);
        }
        break;
    case LinkState::Connected:
        rc_ = 1;
        state_ = LinkState::TimerRecovery;
        enquiry(now);
        break;
    case LinkState::TimerRecovery:
        if (rc_ >= settings_.retries) {
            out_.posts.push_back({"Retry count exceeded.  Returning to WAIT state.", LineColour::DarkRed});
            send_control(u_control(ControlKind::DM, false), false);
            enter_disconnected();
        } else {
            ++rc_;
            enquiry(now);
        }
        break;
    }
}

LinkOutput ConnectedLink::poll(LinkTime now) {
    for (int guard = 0; guard < 16; ++guard) {
        if (t1_ && *t1_ <= now) {
            on_t1(now);
        } else if (t2_ && *t2_ <= now) {
            t2_.reset();
            if (ack_pending_ && is_up()) {
                ack_pending_ = false;
                send_control(s_control(ControlKind::RR, vr_, false), false);
            }
        } else if (t3_ && *t3_ <= now) {
            t3_.reset();
            if (state_ == LinkState::Connected) {
                rc_ = 1;
                state_ = LinkState::TimerRecovery;
                enquiry(now);
            }
        } else {
            break;
        }
    }
    return take();
}

std::optional<LinkTime> ConnectedLink::next_deadline() const {
    std::optional<LinkTime> d;
    for (const auto& t : {t1_, t2_, t3_})
        if (t && (!d || *t < *d)) d = t;
    return d;
}

} // namespace orva::engine

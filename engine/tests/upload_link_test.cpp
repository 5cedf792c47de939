#include "engine/upload/connected_link.h"
#include "engine/tests/upload_test_peer.h"

#include <gtest/gtest.h>

namespace orva::engine {
namespace {
using namespace test;
using K = ControlKind;

class LinkTest : public ::testing::Test {
protected:
    Ax25Address me = addr("G0ABC"), bbs = addr("PACSAT-12");
    // T1 fixed at "Retry Time" here; the adaptive T1 has its own cases below.
    DataLinkSettings settings{LinkTime(2000), LinkTime(500), LinkTime(10000), 2, 3, 244, false};
    ConnectedLink link{me, bbs, settings};
    PeerFrames peer{bbs, me};
    LinkTime now{1'000'000'000'000};
    LinkOutput last;

    std::vector<SentFrame> sent(const LinkOutput& o) {
        std::vector<SentFrame> v;
        for (const auto& f : o.frames) v.push_back(read_sent(f));
        return v;
    }
    bool has_event(const LinkOutput& o, LinkEvent::Kind k) {
        for (const auto& e : o.events)
            if (e.kind == k) return true;
        return false;
    }
    void connect() {
        link.connect(now);
        link.on_frame(peer.make(u_control(K::UA, true), false), now);
        ASSERT_EQ(link.state(), LinkState::Connected);
    }
    LinkOutput advance(LinkTime d) {
        now += d;
        return link.poll(now);
    }
};

TEST_F(LinkTest, SabmWithPollToTheBbsAsCommandThenUaConnects) {
    auto o = link.connect(now);
    auto s = sent(o);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].control.kind, K::SABM);
    EXPECT_TRUE(s[0].control.pf);
    EXPECT_TRUE(s[0].command);
    EXPECT_EQ(s[0].destination, bbs);
    EXPECT_EQ(s[0].source, me);
    EXPECT_EQ(o.frames[0][14], 0x3F);
    o = link.on_frame(peer.make(u_control(K::UA, true), false), now);
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Connected));
    EXPECT_EQ(link.state(), LinkState::Connected);
}

TEST_F(LinkTest, DmToSabmIsARefusalAndNothingElseStarts) {
    link.connect(now);
    auto o = link.on_frame(peer.make(u_control(K::DM, true), false), now);
    ASSERT_EQ(o.posts.size(), 1u);
    EXPECT_EQ(o.posts[0].text, "Connect refused by satellite");
    EXPECT_EQ(o.posts[0].colour, LineColour::DarkRed);
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Refused));
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Disconnected));
    EXPECT_TRUE(o.frames.empty());
    EXPECT_FALSE(link.next_deadline());
}

TEST_F(LinkTest, SabmIsRepeatedOnT1ThenGivesUp) {
    link.connect(now);
    for (int i = 0; i < settings.retries; ++i) {
        auto o = advance(settings.t1);
        ASSERT_EQ(sent(o).size(), 1u);
        EXPECT_EQ(sent(o)[0].control.kind, K::SABM);
    }
    auto o = advance(settings.t1);
    EXPECT_TRUE(o.frames.empty());
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Disconnected));
}

TEST_F(LinkTest, FramesFromAnotherStationAreIgnored) {
    link.connect(now);
    PeerFrames other(addr("PACSAT-11"), me);
    link.on_frame(other.make(u_control(K::UA, true), false), now);
    EXPECT_EQ(link.state(), LinkState::AwaitingConnection);
}

TEST_F(LinkTest, WindowHoldsMaxFrameAndAcknowledgementsSendTheRest) {
    connect();
    const Bytes a{1}, b{2}, c{3};
    auto s1 = sent(link.send(a, now));
    auto s2 = sent(link.send(b, now));
    EXPECT_EQ(link.room(), 0u);
    auto s3 = sent(link.send(c, now));
    ASSERT_EQ(s1.size(), 1u);
    ASSERT_EQ(s2.size(), 1u);
    EXPECT_TRUE(s3.empty());
    EXPECT_EQ(s1[0].control.ns, 0);
    EXPECT_EQ(s2[0].control.ns, 1);
    EXPECT_EQ(s1[0].info, (Bytes{1}));
    auto o = link.on_frame(peer.make(s_control(K::RR, 1, false), false), now);
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::WindowOpened));
    auto s = sent(o);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].control.ns, 2);
    EXPECT_EQ(s[0].info, (Bytes{3}));
}

TEST_F(LinkTest, LostFramesGoAgainAfterThePollIsAnswered) {
    connect();
    link.send(Bytes{1}, now);
    link.send(Bytes{2}, now);
    auto o = advance(settings.t1);
    auto s = sent(o);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].control.kind, K::RR);
    EXPECT_TRUE(s[0].control.pf);
    EXPECT_TRUE(s[0].command);
    EXPECT_EQ(link.state(), LinkState::TimerRecovery);
    // The peer has the first only.
    o = link.on_frame(peer.make(s_control(K::RR, 1, true), false), now);
    EXPECT_EQ(link.state(), LinkState::Connected);
    s = sent(o);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].control.ns, 1);
    EXPECT_EQ(s[0].info, (Bytes{2}));
}

TEST_F(LinkTest, RejRewindsTheSendSequence) {
    settings.window = 4;
    link.set_settings(settings);
    connect();
    for (std::uint8_t i = 0; i < 3; ++i) link.send(Bytes{i}, now);
    auto s = sent(link.on_frame(peer.make(s_control(K::REJ, 1, false), false), now));
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].control.ns, 1);
    EXPECT_EQ(s[1].control.ns, 2);
    EXPECT_EQ(s[1].info, (Bytes{2}));
}

TEST_F(LinkTest, BadNrReleasesTheLinkWithoutANewSabm) {
    connect();
    link.send(Bytes{1}, now);
    auto o = link.on_frame(peer.make(s_control(K::RR, 5, false), false), now);
    ASSERT_EQ(sent(o).size(), 1u);
    EXPECT_EQ(sent(o)[0].control.kind, K::DISC);
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Disconnected));
    EXPECT_EQ(link.state(), LinkState::Disconnected);
    EXPECT_EQ(link.unacknowledged(), 0u);
}

TEST_F(LinkTest, FrmrReleasesTheLinkAndSabmFromThePeerResets) {
    connect();
    auto o = link.on_frame(peer.make(u_control(K::FRMR, false), false, Bytes{0, 0, 8}), now);
    ASSERT_EQ(sent(o).size(), 1u);
    EXPECT_EQ(sent(o)[0].control.kind, K::DISC);
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Disconnected));
    EXPECT_FALSE(o.events.back().by_peer);
    connect();
    o = link.on_frame(peer.make(u_control(K::SABM, true), true), now);
    EXPECT_EQ(sent(o)[0].control.kind, K::UA);
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Reset));
    EXPECT_EQ(link.state(), LinkState::Connected);
}

TEST_F(LinkTest, InSequenceDataIsDeliveredAndAcknowledgedAfterT2) {
    connect();
    auto o = link.on_frame(peer.make(i_control(0, 0, false), true, Bytes{9, 9}), now);
    ASSERT_EQ(o.events.size(), 1u);
    EXPECT_EQ(o.events[0].kind, LinkEvent::Kind::Data);
    EXPECT_EQ(o.events[0].data, (Bytes{9, 9}));
    EXPECT_TRUE(o.frames.empty());
    o = advance(settings.t2);
    auto s = sent(o);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].control.kind, K::RR);
    EXPECT_EQ(s[0].control.nr, 1);
    EXPECT_FALSE(s[0].command);
}

TEST_F(LinkTest, OutgoingIFrameCarriesThePendingAcknowledgement) {
    connect();
    link.on_frame(peer.make(i_control(0, 0, false), true, Bytes{1}), now);
    auto s = sent(link.send(Bytes{5}, now));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].control.nr, 1);
    EXPECT_TRUE(sent(advance(settings.t2)).empty());
}

TEST_F(LinkTest, OutOfSequenceIsRejectedOnce) {
    connect();
    auto o = link.on_frame(peer.make(i_control(1, 0, false), true, Bytes{1}), now);
    EXPECT_TRUE(o.events.empty());
    ASSERT_EQ(sent(o).size(), 1u);
    EXPECT_EQ(sent(o)[0].control.kind, K::REJ);
    EXPECT_EQ(sent(o)[0].control.nr, 0);
    o = link.on_frame(peer.make(i_control(2, 0, false), true, Bytes{1}), now);
    EXPECT_TRUE(o.frames.empty());
    o = link.on_frame(peer.make(i_control(0, 0, true), true, Bytes{7}), now);
    ASSERT_EQ(o.events.size(), 1u);
    EXPECT_EQ(sent(o)[0].control.kind, K::RR); // the poll answered at once
    EXPECT_TRUE(sent(o)[0].control.pf);
}

TEST_F(LinkTest, WrongPidIsDroppedAndOversizeIsAMemoryError) {
    connect();
    auto o = link.on_frame(peer.make(i_control(0, 0, false), true, Bytes{1}, 0xCC), now);
    EXPECT_TRUE(o.events.empty());
    o = link.on_frame(peer.make(i_control(0, 0, false), true, Bytes(281, 0)), now);
    ASSERT_EQ(o.events.size(), 1u);
    EXPECT_TRUE(o.events[0].oversize);
    ASSERT_EQ(o.posts.size(), 1u);
    EXPECT_EQ(o.posts[0].text, "Memory Error");
}

TEST_F(LinkTest, RetryCountExceededSendsDm) {
    connect();
    link.send(Bytes{1}, now);
    advance(settings.t1); // timer recovery, first poll
    for (int i = 1; i < settings.retries; ++i) EXPECT_EQ(sent(advance(settings.t1))[0].control.kind, K::RR);
    auto o = advance(settings.t1);
    ASSERT_EQ(o.posts.size(), 1u);
    EXPECT_EQ(o.posts[0].text, "Retry count exceeded.  Returning to WAIT state.");
    EXPECT_EQ(sent(o)[0].control.kind, K::DM);
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Disconnected));
}

TEST_F(LinkTest, IdleLinkIsPolledAfterT3) {
    connect();
    auto o = advance(settings.t3);
    ASSERT_EQ(sent(o).size(), 1u);
    EXPECT_EQ(sent(o)[0].control.kind, K::RR);
    EXPECT_TRUE(sent(o)[0].control.pf);
    link.on_frame(peer.make(s_control(K::RR, 0, true), false), now);
    EXPECT_EQ(link.state(), LinkState::Connected);
}

TEST_F(LinkTest, DiscFromThePeerIsAnsweredAndReleaseEndsOnUa) {
    connect();
    auto o = link.on_frame(peer.make(u_control(K::DISC, true), true), now);
    EXPECT_EQ(sent(o)[0].control.kind, K::UA);
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Disconnected));
    EXPECT_TRUE(o.events.back().by_peer);
    connect();
    o = link.release(now);
    EXPECT_EQ(sent(o)[0].control.kind, K::DISC);
    EXPECT_EQ(link.state(), LinkState::AwaitingRelease);
    o = link.on_frame(peer.make(u_control(K::UA, true), false), now);
    EXPECT_TRUE(has_event(o, LinkEvent::Kind::Disconnected));
}

TEST_F(LinkTest, DisconnectedAnswersCommandsWithDm) {
    auto o = link.on_frame(peer.make(i_control(0, 0, true), true, Bytes{1}), now);
    ASSERT_EQ(sent(o).size(), 1u);
    EXPECT_EQ(sent(o)[0].control.kind, K::DM);
    EXPECT_TRUE(sent(o)[0].control.pf);
}

// T1 from the measured round trip, on an injected clock. At 1200 bit/s a full frame of PacLength
// 244 is 264 bytes on the air (two flags, two addresses, control, PID, frame check): 2112 bits,
// 1760 ms; each way with 200 ms of key-up, 3920 ms in all.
class AdaptiveLinkTest : public LinkTest {
protected:
    static constexpr LinkTime kFullFrameEachWay{2 * (1760 + 200)};
    void SetUp() override {
        settings = DataLinkSettings{LinkTime(2000), LinkTime(500), LinkTime(10000), 2, 12, 244, true, 1200, LinkTime(200)};
        link = ConnectedLink(me, bbs, settings);
    }
    int sabms(const LinkOutput& o) {
        int n = 0;
        for (const auto& f : sent(o)) n += f.control.kind == K::SABM;
        return n;
    }
    // Advances to just before and to `t1` after `from`: nothing, then the T1 frame.
    void expect_t1(LinkTime from, LinkTime t1, K kind) {
        ASSERT_GE(from + t1 - LinkTime(1), now);
        auto o = link.poll(from + t1 - LinkTime(1));
        EXPECT_TRUE(o.frames.empty()) << "T1 ran out before " << t1.count() << " ms";
        now = from + t1;
        o = link.poll(now);
        ASSERT_EQ(sent(o).size(), 1u) << "T1 did not run out at " << t1.count() << " ms";
        EXPECT_EQ(sent(o)[0].control.kind, kind);
    }
};

TEST_F(AdaptiveLinkTest, FirstSabmWaitsAFullFrameEachWayAtTheLinkRate) {
    EXPECT_EQ(full_frame_round_trip(settings), kFullFrameEachWay);
    const LinkTime start = now;
    link.connect(now);
    // T1 is twice the seeded round trip: well over the air time of a full frame each way.
    EXPECT_GE(link.current_t1(), kFullFrameEachWay);
    expect_t1(start, 2 * kFullFrameEachWay, K::SABM);
    // Backed off: the third SABM waits twice as long again.
    expect_t1(now, 4 * kFullFrameEachWay, K::SABM);

    // At 9600 bit/s the round trip is 2 * (220 + 200) ms: "Retry Time" is the larger, and T1.
    settings.bit_rate = 9600;
    link = ConnectedLink(me, bbs, settings);
    EXPECT_EQ(full_frame_round_trip(settings), LinkTime(840));
    const LinkTime again = now;
    link.connect(now);
    expect_t1(again, LinkTime(2000), K::SABM);
}

TEST_F(AdaptiveLinkTest, T1FollowsTheSmoothedRoundTripOfFramesSentOnce) {
    link.connect(now);
    // The UA after 5 s: SRT = 7/8 * 3920 + 1/8 * 5000 = 4055, T1 = 8110.
    now += LinkTime(5000);
    link.on_frame(peer.make(u_control(K::UA, true), false), now);
    ASSERT_EQ(link.state(), LinkState::Connected);
    EXPECT_EQ(link.smoothed_round_trip(), LinkTime(4055));
    EXPECT_EQ(link.current_t1(), LinkTime(8110));

    // An I frame acknowledged after 1 s: SRT = (7 * 4055 + 1000) / 8 = 3673, T1 = 7346.
    link.send(Bytes{1}, now);
    now += LinkTime(1000);
    link.on_frame(peer.make(s_control(K::RR, 1, false), false), now);
    EXPECT_EQ(link.smoothed_round_trip(), LinkTime(3673));
    const LinkTime sent_at = now;
    link.send(Bytes{2}, now);
    expect_t1(sent_at, LinkTime(7346), K::RR); // the poll of timer recovery

    // The poll's answer acknowledges the frame that waited out T1: no sample from it.
    link.on_frame(peer.make(s_control(K::RR, 2, true), false), now);
    EXPECT_EQ(link.state(), LinkState::Connected);
    EXPECT_EQ(link.smoothed_round_trip(), LinkTime(3673));

    // Quick answers bring T1 down to "Retry Time" and no lower.
    for (int i = 0; i < 40; ++i) {
        link.send(Bytes{3}, now);
        now += LinkTime(100);
        link.on_frame(peer.make(s_control(K::RR, (3 + i) & 7, false), false), now);
    }
    EXPECT_LT(link.smoothed_round_trip(), LinkTime(1000));
    EXPECT_EQ(link.current_t1(), settings.t1);
}

TEST_F(AdaptiveLinkTest, ExpiryBacksOffAndTheNextAcknowledgementEndsIt) {
    link.connect(now);
    link.on_frame(peer.make(u_control(K::UA, true), false), now); // SRT 7/8 * 3920 = 3430
    const LinkTime t1 = link.current_t1();
    EXPECT_EQ(t1, LinkTime(6860));
    link.send(Bytes{1}, now);
    const LinkTime sent_at = now;
    expect_t1(sent_at, t1, K::RR);
    expect_t1(now, 2 * t1, K::RR);
    expect_t1(now, 4 * t1, K::RR);
    // The frame went once but waited out T1 three times: acknowledged, it times nothing.
    link.on_frame(peer.make(s_control(K::RR, 1, true), false), now);
    EXPECT_EQ(link.smoothed_round_trip(), LinkTime(3430));
    EXPECT_EQ(link.current_t1(), t1);
}

TEST_F(AdaptiveLinkTest, NoSecondSabmOnceTheUaHasCome) {
    int total = sabms(link.connect(now));
    now += LinkTime(3000);
    total += sabms(link.on_frame(peer.make(u_control(K::UA, true), false), now));
    ASSERT_EQ(link.state(), LinkState::Connected);
    // Whatever follows on this connection: a late second UA, a SABM of the peer's, T1 and T3
    // running out, a bad N(R) and a frame reject.
    total += sabms(link.on_frame(peer.make(u_control(K::UA, true), false), now));
    total += sabms(link.on_frame(peer.make(u_control(K::SABM, true), true), now));
    total += sabms(link.send(Bytes{1}, now));
    for (int i = 0; i < 5; ++i) total += sabms(advance(LinkTime(60000)));
    total += sabms(link.on_frame(peer.make(s_control(K::RR, 6, false), false), now));
    EXPECT_EQ(link.state(), LinkState::Disconnected);
    link.connect(now);
    link.on_frame(peer.make(u_control(K::UA, true), false), now);
    auto o = link.on_frame(peer.make(u_control(K::FRMR, false), false, Bytes{0, 0, 8}), now);
    EXPECT_EQ(sabms(o), 0);
    EXPECT_EQ(sent(o).at(0).control.kind, K::DISC);
    EXPECT_EQ(total, 1);
    EXPECT_EQ(link.sabm_count(), 1);
}

TEST_F(LinkTest, FixedT1IsRetryTimeWhateverIsMeasured) {
    settings.t1 = LinkTime(3000);
    link.set_settings(settings);
    link.connect(now);
    now += LinkTime(2500);
    link.on_frame(peer.make(u_control(K::UA, true), false), now);
    EXPECT_EQ(link.current_t1(), LinkTime(3000));
    link.send(Bytes{1}, now);
    const LinkTime sent_at = now;
    auto o = link.poll(sent_at + LinkTime(2999));
    EXPECT_TRUE(o.frames.empty());
    now = sent_at + LinkTime(3000);
    EXPECT_EQ(sent(link.poll(now)).at(0).control.kind, K::RR);
    now += LinkTime(3000);
    EXPECT_EQ(sent(link.poll(now)).at(0).control.kind, K::RR); // no backing off either
}

TEST(Ax25Control, RoundTripsEveryKind) {
    for (int b = 0; b < 256; ++b) {
        const Control c = decode_control(std::uint8_t(b));
        if (c.kind == ControlKind::Unknown) continue;
        EXPECT_EQ(encode_control(c), b) << b;
    }
    EXPECT_EQ(encode_control(u_control(ControlKind::DISC, true)), 0x53);
    EXPECT_EQ(encode_control(u_control(ControlKind::UA, true)), 0x73);
    EXPECT_EQ(encode_control(s_control(ControlKind::RR, 3, true)), 0x71);
}

} // namespace
} // namespace orva::engine

#include "engine/link/kiss_encoder.h"
#include "engine/link/tnc_sequencer.h"

#include <gtest/gtest.h>

#include <string>

namespace orva::engine {
namespace {

using Kind = TncAction::Kind;
using std::chrono::milliseconds;
using TimePoint = TncSequencer::TimePoint;

const TimePoint t0{std::chrono::seconds(1000)};

// What the port saw, with the time of each write.
struct Trace {
    std::vector<std::pair<long, std::string>> writes;
    std::vector<std::string> posts;
    std::vector<std::pair<long, Kind>> events;

    void take(const std::vector<TncAction>& actions, TimePoint now) {
        const long ms = long(std::chrono::duration_cast<milliseconds>(now - t0).count());
        for (const auto& a : actions) {
            if (a.kind == Kind::WriteRaw) writes.emplace_back(ms, std::string(a.bytes.begin(), a.bytes.end()));
            else if (a.kind == Kind::Post) posts.push_back(a.text);
            else events.emplace_back(ms, a.kind);
        }
    }
};

// Runs the sequencer to its end, waking exactly at each deadline.
void run(TncSequencer& s, Trace& trace) {
    while (auto d = s.next_deadline()) trace.take(s.poll(*d), *d);
}

TEST(TncSequencer, EveryModelSendsItsStartupAndParameters) {
    const std::pair<int, std::string> expected[] = {
        {1, "\rkiss on\rrestart\r"},
        {2, "hb 9600\rxon $00\rxoff $00\rstart $00\rstop $00\rdcd on\r"},
        {3, "\rkiss on\rrestart\r"},
        {4, "\rkiss on\rrestart\r"},
        {6, "\rport 2\rfulldup on\rin terminal\rmaxusers 0/1\rmydrop 1/0\rin kiss\rreset\r"},
        {7, "modem /9\rhbaud /9600\rradio 0/2\rxon $00\rxoff $00\rstart $00\rstop $00\rdcd on\rkiss $03\r"},
        {42, "\rkiss on\rrestart\r"},
    };
    EXPECT_EQ(expected[1].second.size(), 51u);
    EXPECT_EQ(expected[4].second.size(), 69u);
    EXPECT_EQ(expected[5].second.size(), 83u);
    for (const auto& [type, startup] : expected) {
        TncSequencer s;
        Trace trace;
        trace.take(s.start(TncSetup{.tnc_type = type}, std::nullopt, t0), t0);
        run(s, trace);
        ASSERT_EQ(trace.writes.size(), 2u) << type;
        EXPECT_EQ(trace.writes[0], std::make_pair(0L, startup)) << type;
        const auto block = kiss_parameter_block(0, 200, 50);
        EXPECT_EQ(trace.writes[1], std::make_pair(5000L, std::string(block.begin(), block.end())));
        EXPECT_EQ(trace.posts.back(), "TNC set for Full Duplex");
    }
}

TEST(TncSequencer, TheFirmWareGetsItsSecondCommand150msLater) {
    TncSequencer s;
    Trace trace;
    trace.take(s.start(TncSetup{.tnc_type = 5}, std::nullopt, t0), t0);
    EXPECT_EQ(trace.posts[0], "Initialising your TheFirmWare TNC.");
    run(s, trace);
    ASSERT_EQ(trace.writes.size(), 3u);
    EXPECT_EQ(trace.writes[0], std::make_pair(0L, std::string("\x11\x18\x1B")));
    EXPECT_EQ(trace.writes[1], std::make_pair(150L, std::string("@K\r")));
    EXPECT_EQ(trace.writes[2].first, 5000L);
}

TEST(TncSequencer, StartupFileGoesFirstInReadsOf200) {
    TncSequencer s;
    Trace trace;
    std::vector<std::uint8_t> file(450, 'x');
    auto actions = s.start(TncSetup{.tnc_type = 8, .retry_time_ms = 3000, .max_frame = 4, .retries = 7}, file, t0);
    trace.take(actions, t0);
    EXPECT_EQ(trace.posts[0], "Initialising your None TNC.");
    EXPECT_EQ(trace.posts[1], "Sending \"Brek TNC Startup\" file.");
    ASSERT_EQ(trace.writes.size(), 3u);
    EXPECT_EQ(trace.writes[0].second.size(), 200u);
    EXPECT_EQ(trace.writes[2].second.size(), 50u);
    EXPECT_EQ(actions.front().kind, Kind::ResetSmack);
    const auto& link = actions.back();
    ASSERT_EQ(link.kind, Kind::LinkParams);
    EXPECT_EQ(link.link.t1, milliseconds(3000));
    EXPECT_EQ(link.link.t2, milliseconds(500));
    EXPECT_EQ(link.link.t3, milliseconds(10000));
    EXPECT_EQ(link.link.window, 4);
    EXPECT_EQ(link.link.retries, 7);
    run(s, trace);
    EXPECT_EQ(trace.events.back(), std::make_pair(5000L, Kind::ArmSession));
}

TEST(TncSequencer, ExitSequencesAndTheirTiming) {
    struct Case {
        int type;
        std::vector<std::pair<long, std::string>> writes;
        long close;
    };
    const std::string exit_frame("\xC0\xFF\xC0\x0D", 4);
    const Case cases[] = {
        {1, {{0, exit_frame}, {350, "\rmon off\r"}, {525, "fulldup off\r"}}, 700},
        {2, {{1000, "\x03"}, {1250, "\x03"}, {1500, "\x03"}, {3000, "\rmon off\r"}, {3175, "fulldup off\r"}}, 3350},
        {6, {{0, exit_frame}, {350, "\rint term\rreset\rmydrop 0/1\r"}, {550, "\rmon off\r"}, {725, "fulldup off\r"}}, 900},
    };
    for (const auto& c : cases) {
        TncSequencer s;
        Trace trace;
        s.start(TncSetup{.tnc_type = c.type}, std::nullopt, t0);
        trace.take(s.begin_exit(std::nullopt, t0), t0);
        run(s, trace);
        EXPECT_EQ(trace.writes, c.writes) << c.type;
        ASSERT_EQ(trace.events.size(), 2u);
        EXPECT_EQ(trace.events[0], std::make_pair(c.close, Kind::ClosePort)) << c.type;
        EXPECT_EQ(trace.events[1], std::make_pair(c.close + 500, Kind::Finished)) << c.type;
    }
}

TEST(TncSequencer, ExitFileIsSentInReadsOf100ThenThePortCloses) {
    TncSequencer s;
    Trace trace;
    s.start(TncSetup{.tnc_type = 3}, std::nullopt, t0);
    trace.take(s.begin_exit(std::vector<std::uint8_t>(150, 'e'), t0), t0);
    run(s, trace);
    ASSERT_EQ(trace.writes.size(), 5u);
    EXPECT_EQ(trace.writes[3], std::make_pair(700L, std::string(100, 'e')));
    EXPECT_EQ(trace.writes[4], std::make_pair(700L, std::string(50, 'e')));
    EXPECT_EQ(trace.posts.back(), "Sending \"Brek TNC Exit\" file.");
    EXPECT_EQ(trace.events[0], std::make_pair(875L, Kind::ClosePort));
}

TEST(TncSequencer, NoneClosesAtOnceAndExitCancelsPendingStartup) {
    TncSequencer s;
    s.start(TncSetup{.tnc_type = 8}, std::nullopt, t0);
    auto actions = s.begin_exit(std::nullopt, t0 + milliseconds(10));
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0].kind, Kind::ClosePort);
    EXPECT_EQ(actions[1].kind, Kind::Finished);
    EXPECT_TRUE(s.idle());

    TncSequencer k;
    Trace trace;
    k.start(TncSetup{.tnc_type = 1}, std::nullopt, t0);
    k.begin_exit(std::nullopt, t0 + milliseconds(100));
    run(k, trace);
    for (const auto& w : trace.writes) EXPECT_NE(w.second.substr(0, 2), std::string("\xC0\xC0"));
}

} // namespace
} // namespace orva::engine

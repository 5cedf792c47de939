#include "engine/frames/frame_dispatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orva::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::sys_seconds;

Ax25Address addr(std::string_view s) { return *Ax25Address::parse(s); }

struct Fake : FileFragmentReceiver, DirectoryFragmentReceiver, RequestReceiver, UploadReceiver, SessionLogReceiver,
              ElementSetReceiver, MonitorSink, LinkControl, StatusSink {
    std::vector<std::uint32_t> files, dirs;
    std::vector<std::pair<std::string, bool>> queue;
    std::vector<int> refused;
    std::vector<std::string> bbs, monitor, posts, kepsets;
    std::vector<std::optional<std::uint64_t>> status_bytes;
    std::vector<std::uint32_t> times;
    std::vector<Bytes> raw;
    int sessions = 0, closes = 0, connected = 0;

    void on_file_fragment(const FileFragment& f) override { files.push_back(f.file_number); }
    void on_directory_fragment(const DirectoryFragment& f) override { dirs.push_back(f.file_number); }
    void on_queue_line(std::string_view t, bool full) override { queue.emplace_back(std::string(t), full); }
    void on_file_refused(int code) override { refused.push_back(code); }
    void on_bbs_status(std::string_view t) override { bbs.emplace_back(t); }
    void on_connected_frame(const Ax25Frame&) override { ++connected; }
    void on_session_start(sys_seconds) override { ++sessions; }
    void on_server_status(std::string_view, std::optional<std::uint64_t> b) override { status_bytes.push_back(b); }
    void on_satellite_time(std::uint32_t t, std::span<const std::uint8_t>) override { times.push_back(t); }
    void on_element_set(std::string_view t) override { kepsets.emplace_back(t); }
    void show(std::string_view l) override { monitor.emplace_back(l); }
    void write_raw(std::span<const std::uint8_t> b) override { raw.emplace_back(b.begin(), b.end()); }
    bool send_kiss_frame(std::span<const std::uint8_t>) override { return true; }
    void close_engine() override { ++closes; }
    void post(std::string t, LineColour) override { posts.push_back(std::move(t)); }
};

class Dispatch : public ::testing::Test {
protected:
    void make(DispatchSettings s = {}) {
        DispatchReceivers r{&fake, &fake, &fake, &fake, &fake, &fake, &fake, &fake, &fake, &lock};
        d = std::make_unique<FrameDispatcher>(calls, s, r);
    }
    void hear(const Ax25Address& dest, const Ax25Address& src, std::uint8_t pid, const Bytes& info,
              std::uint8_t control = 0x03) {
        auto f = build_ui_frame(dest, src, 0, pid, info);
        f[14] = control;
        d->on_ax25_frame(f, now);
    }
    static Bytes with_crc(Bytes b) {
        std::uint8_t crc[2];
        append_broadcast_crc(b, crc);
        b.insert(b.end(), crc, crc + 2);
        return b;
    }
    static Bytes text(std::string_view s) { return Bytes(s.begin(), s.end()); }

    StationCalls calls{addr("G0ABC"), addr("PACSAT-12"), addr("PACSAT-11")};
    Fake fake;
    std::mutex lock;
    std::unique_ptr<FrameDispatcher> d;
    sys_seconds now{std::chrono::seconds(1000000)};
};

TEST_F(Dispatch, FirstFrameAfterTheParametersStartsTheSession) {
    make();
    hear(calls::pblist(), calls.bdcst_call, 0xF0, text("PB: Empty."));
    EXPECT_EQ(fake.sessions, 0);
    d->arm_session();
    hear(calls::pblist(), calls.bdcst_call, 0xF0, text("PB: Empty."));
    hear(calls::pblist(), calls.bdcst_call, 0xF0, text("PB: Empty."));
    EXPECT_EQ(fake.sessions, 1);
    ASSERT_EQ(fake.raw.size(), 1u);
    EXPECT_EQ(fake.raw[0], (Bytes{0xC0, 0x05, 0x01, 0xC0}));
    EXPECT_EQ(d->last_heard(), now);
    ASSERT_EQ(fake.queue.size(), 3u);
    EXPECT_EQ(fake.queue[0], std::make_pair(std::string("PB: Empty."), false));
}

TEST_F(Dispatch, BroadcastsReachTheirReceivers) {
    make();
    hear(calls::qst1(), calls.bdcst_call, 0xBB, with_crc({0x02, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 'x'}));
    hear(calls::qst1(), calls.bdcst_call, 0xBD, with_crc(Bytes{0x20, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0xAA}));
    EXPECT_EQ(fake.files, std::vector<std::uint32_t>{0x1234});
    EXPECT_EQ(fake.dirs, std::vector<std::uint32_t>{0x12345678});
    EXPECT_EQ(d->counters().broadcast_bytes, 12u + 20u);
    // From a different SSID of the broadcast callsign it is not a broadcast.
    hear(calls::qst1(), addr("PACSAT-3"), 0xBB, with_crc({0x02, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 'x'}));
    EXPECT_EQ(fake.files.size(), 1u);
}

TEST_F(Dispatch, CrcErrorsCountAndCloseAtTheLimit) {
    make(DispatchSettings{.crc_close = 2});
    auto bad = with_crc({0x02, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 'x'});
    bad.back() ^= 1;
    hear(calls::qst1(), calls.bdcst_call, 0xBB, bad);
    EXPECT_EQ(fake.closes, 0);
    hear(calls::qst1(), calls.bdcst_call, 0xBB, bad);
    EXPECT_EQ(d->counters().crc_errors, 2u);
    EXPECT_EQ(fake.closes, 1);
    EXPECT_EQ(fake.posts.back(), "CRC count exceeded");
    EXPECT_TRUE(fake.files.empty());
}

TEST_F(Dispatch, TinyFieldsAreDroppedNotCountedAsGood) {
    make();
    hear(calls::qst1(), calls.bdcst_call, 0xBB, {0, 0});
    hear(calls::qst1(), calls.bdcst_call, 0xBD, with_crc(Bytes(10, 0)));
    EXPECT_EQ(d->counters().malformed, 2u);
    EXPECT_EQ(d->counters().crc_errors, 0u);
    EXPECT_EQ(d->counters().broadcast_bytes, 0u);
    hear(calls::qst1(), calls.bdcst_call, 0xF0, with_crc(text("odd")));
    EXPECT_EQ(fake.posts.back(), "Unknown PID");
    // A fragment whose length field runs past its field is counted and dropped.
    hear(calls::qst1(), calls.bdcst_call, 0xBB, with_crc({0x03, 1, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0xFF, 'x'}));
    EXPECT_EQ(d->counters().bad_fragments, 1u);
    EXPECT_TRUE(fake.files.empty());
}

TEST_F(Dispatch, ShutLinesAreShownAndOnlyActedOnWhenIgnoringShut) {
    make();
    hear(calls::pbshut(), calls.bdcst_call, 0xF0, text("PB: Shut"));
    EXPECT_EQ(fake.monitor.back(), "PB: Shut <<BBS SHUT>>");
    EXPECT_TRUE(fake.queue.empty());
    make(DispatchSettings{.ignore_shut = true});
    hear(calls::pbwait(), calls.bdcst_call, 0xF0, text("PB: W1AW"));
    ASSERT_EQ(fake.queue.size(), 1u);
    EXPECT_FALSE(fake.queue[0].second);
    hear(calls::pbfull(), calls.bdcst_call, 0xF0, text("PB: W1AW"));
    EXPECT_TRUE(fake.queue.back().second);
}

TEST_F(Dispatch, NoAnswersOnlyForThisStation) {
    make();
    hear(addr("W1AW"), addr("PACSAT"), 0xF0, text("NO -2 1234\r\n"));
    EXPECT_TRUE(fake.refused.empty());
    EXPECT_TRUE(fake.posts.empty());
    hear(addr("G0ABC"), addr("PACSAT"), 0xF0, text("NO -2 1234\r\n"));
    EXPECT_EQ(fake.refused, std::vector<int>{2});
    ASSERT_EQ(fake.posts.size(), 2u);
    EXPECT_EQ(fake.posts[0], "NO -2 1234");
    EXPECT_EQ(fake.posts[1], "Requested file doesn't exist.");
    hear(addr("G0ABC"), addr("PACSAT"), 0xF0, text("NO -1"));
    EXPECT_EQ(fake.posts.back(), "Broadcast queue full.");
    hear(addr("G0ABC"), addr("PACSAT"), 0xF0, text("NO -5"));
    EXPECT_EQ(fake.posts.back(), "Directory request error.");
    hear(addr("G0ABC"), addr("PACSAT"), 0xF0, text("NO -9"));
    EXPECT_EQ(fake.posts.back(), "Unknown response.");
    hear(addr("G0ABC"), addr("PACSAT-11"), 0, {}, 0x00);
    EXPECT_EQ(fake.connected, 1);
}

TEST_F(Dispatch, SixthFrameFromTheSameStrangerIsReported) {
    make();
    for (int i = 0; i < 5; ++i) hear(addr("CQ"), addr("W1AW-2"), 0xF0, text("hi"));
    EXPECT_TRUE(fake.posts.empty());
    hear(addr("CQ"), addr("W1AW-2"), 0xF0, text("hi"));
    ASSERT_EQ(fake.posts.size(), 1u);
    EXPECT_EQ(fake.posts[0], "Frames heard from W1AW-2");
    hear(addr("CQ"), addr("W1AW-2"), 0xF0, text("hi"));
    EXPECT_EQ(fake.posts.size(), 2u);
    // Any server frame restarts the count.
    hear(calls::pblist(), calls.bdcst_call, 0xF0, text("PB: Empty."));
    for (int i = 0; i < 5; ++i) hear(addr("CQ"), addr("W1AW-2"), 0xF0, text("hi"));
    EXPECT_EQ(fake.posts.size(), 2u);
}

TEST_F(Dispatch, StatusTelemetryElementsAndTolerances) {
    make(DispatchSettings{.print_headers = true});
    hear(calls::status(), addr("PACSAT"), 0xF0, text(std::string("B: 123456 D: 9", 14) + std::string(1, '\0')));
    ASSERT_EQ(fake.status_bytes.size(), 1u);
    EXPECT_EQ(fake.status_bytes[0], 123456u);
    EXPECT_EQ(d->counters().trailing_nul, 1u);
    EXPECT_EQ(fake.monitor.back(), "[PACSAT to STATUS] Len 31, PID 0xF0");

    hear(calls::tlm(), addr("PACSAT-12"), 0xF0, {0x10, 0x20, 0x30, 0x40, 9, 9});
    EXPECT_EQ(fake.times, std::vector<std::uint32_t>{0x40302010});
    hear(calls::bbstat(), calls.bbs_call, 0xF0, text("Open ABCD"));
    EXPECT_EQ(fake.bbs, std::vector<std::string>{"Open ABCD"});

    const std::string keps = "AO-16\n" + std::string(150, '1');
    hear(calls::kepset(), addr("W1AW"), 0xF0, text("short"));
    hear(calls::kepset(), addr("W1AW"), 0xF0, text(keps));
    hear(calls::kepset(), addr("W1AW"), 0xF0, text(keps));
    EXPECT_EQ(fake.kepsets.size(), 1u);

    // SSID bytes with the reserved bits clear still match.
    auto f = build_ui_frame(calls::pblist(), calls.bdcst_call, 0, 0xF0, text("PB: Empty."));
    f[6] &= 0x9F;
    f[13] &= 0x9F;
    d->on_ax25_frame(f, now);
    EXPECT_EQ(fake.queue.size(), 1u);
    EXPECT_EQ(d->counters().reserved_bits_clear, 1u);
    d->on_ax25_frame(Bytes{1, 2, 3}, now);
    EXPECT_EQ(d->counters().malformed, 1u);
}

} // namespace
} // namespace orva::engine

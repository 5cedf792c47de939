#include "engine/log/capture_file.h"
#include "engine/log/efficiency_meter.h"
#include "engine/log/kiss_replay.h"
#include "engine/log/satellite_clock.h"
#include "engine/log/session_log.h"
#include "engine/log/session_recorder.h"
#include "engine/tests/upload_test_peer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orva::engine {
namespace {
using namespace test;
using namespace std::chrono;
namespace fs = std::filesystem;

const sys_seconds kStart{seconds(1'000'000'000)};

std::string read_text(const fs::path& p) {
    std::ifstream i(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(i), {});
}

TEST(SessionLog, BlockMatchesTheHandWrittenLayout) {
    TempDir dir;
    SessionFigures f;
    f.session_start = kStart;
    f.last_heard = kStart + seconds(600);
    f.total_bytes = 123456;
    f.efficiency = 42;
    f.uploads.push_back({0x1A2B, kStart, 4, 1000, 250, 1});
    f.uploads.push_back({0xBEEF, kStart, 100, 2000, 20, 6});
    ASSERT_TRUE(append_session_log(dir.path(), f).ok());
    const std::string golden = read_text(fs::path(ORVA_SOURCE_DIR) / "engine/tests/data/upload_brek_log_golden.txt");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(read_text(dir / "Brek.LOG"), golden);
    // Appended, not rewritten.
    ASSERT_TRUE(append_session_log(dir.path(), f).ok());
    EXPECT_EQ(read_text(dir / "Brek.LOG"), golden + golden);
}

TEST(SessionLog, NothingHeardWritesNothingAndUnknownEfficiencyIsZero) {
    TempDir dir;
    SessionFigures f;
    f.total_bytes = 99;
    ASSERT_TRUE(append_session_log(dir.path(), f).ok());
    EXPECT_FALSE(fs::exists(dir / "Brek.LOG"));
    f = {};
    f.session_start = kStart;
    f.last_heard = kStart; // no span: no division
    ASSERT_TRUE(append_session_log(dir.path(), f).ok());
    EXPECT_EQ(read_text(dir / "Brek.LOG"),
              read_text(fs::path(ORVA_SOURCE_DIR) / "engine/tests/data/upload_brek_log_quiet_golden.txt"));
}

TEST(SessionLog, ReasonTexts) {
    EXPECT_STREQ(upload_reason_text(4), "Server out of memory");
    EXPECT_STREQ(upload_reason_text(5), "Unexpected packet received");
    EXPECT_STREQ(upload_reason_text(0), "Unknown reason for termination");
    EXPECT_STREQ(upload_reason_text(7), "Unknown reason for termination");
}

TEST(Efficiency, BaselineThenFiguresBetweenLinesAndOverThePass) {
    EfficiencyMeter m;
    auto r = m.on_status_line(10000, 500);
    EXPECT_TRUE(r.baseline);
    EXPECT_FALSE(r.shown);
    r = m.on_status_line(12000, 1500); // 1000 of 2000
    EXPECT_FALSE(r.baseline);
    EXPECT_EQ(r.shown, 50u);
    r = m.on_status_line(12100, 1800); // 300 of 100: not shown
    EXPECT_FALSE(r.shown);
    r = m.on_status_line(12100, 1900); // counter unchanged: nothing
    EXPECT_FALSE(r.shown);
    EXPECT_EQ(m.pass_figure(), 1400u * 100 / 2100);
}

TEST(Efficiency, UnchangedSatelliteCounterIsNotKnownNotADivisionByZero) {
    EfficiencyMeter m;
    EXPECT_FALSE(m.pass_figure());
    m.on_status_line(5000, 100);
    EXPECT_EQ(m.pass_figure(), 0u); // nothing heard since: 0
    m.on_status_line(5000, 900);
    EXPECT_FALSE(m.pass_figure());
}

class FakeSetter : public SystemClockSetter {
public:
    bool allow = true;
    std::vector<system_clock::time_point> calls;
    Status set_utc(system_clock::time_point t) override {
        calls.push_back(t);
        if (!allow) return make_error("Operation not permitted", EPERM);
        return {};
    }
};

TEST(SatelliteTime, NinetySecondsIsTakenNinetyOneIsRefused) {
    FakeSetter setter;
    SatelliteClock clock(true, setter);
    const auto pc = system_clock::time_point(kStart) + milliseconds(300);
    auto posts = clock.on_satellite_time(1'000'000'090, pc);
    ASSERT_EQ(setter.calls.size(), 1u);
    EXPECT_EQ(setter.calls[0], system_clock::time_point(kStart + seconds(90)) + milliseconds(900));
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0], (StatusPost{"The time has been updated [01:48:10 09 Sep 2001]", LineColour::Blue}));
    EXPECT_EQ(clock.offset(), seconds(90));

    SatelliteClock late(true, setter);
    posts = late.on_satellite_time(1'000'000'091, pc);
    EXPECT_EQ(setter.calls.size(), 1u);
    ASSERT_EQ(posts.size(), 4u);
    EXPECT_EQ(posts[0].text, "The time difference is too great.");
    EXPECT_EQ(posts[1].text, "Your PCs time will not be updated.");
    EXPECT_EQ(posts[2].text, "Satellite Time [01:48:11 09 Sep 2001]");
    EXPECT_EQ(posts[3].text, "Your PCs Time  [01:46:40 09 Sep 2001]");
    for (const auto& p : posts) EXPECT_EQ(p.colour, LineColour::Red);
    // Only the first frame of the pass counts, even when it was refused.
    EXPECT_TRUE(late.on_satellite_time(1'000'000'001, pc).empty());
    EXPECT_EQ(setter.calls.size(), 1u);

    SatelliteClock behind(true, setter);
    EXPECT_EQ(behind.on_satellite_time(1'000'000'000 - 90, pc).size(), 1u);
    EXPECT_EQ(behind.offset(), seconds(-90));
}

TEST(SatelliteTime, OffWhenUseClockIsOffAndRefusalIsReported) {
    FakeSetter setter;
    SatelliteClock off(false, setter);
    EXPECT_TRUE(off.on_satellite_time(1'000'000'000, system_clock::time_point(kStart)).empty());
    EXPECT_TRUE(setter.calls.empty());
    setter.allow = false;
    SatelliteClock refused(true, setter);
    const auto posts = refused.on_satellite_time(1'000'000'000, system_clock::time_point(kStart));
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0], (StatusPost{"Error setting time.", LineColour::Red}));
}

bool may_set_clock() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("CapEff:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> 25) & 1; // CAP_SYS_TIME
    return true;
}

// The real call, in a child that has given up the right to set the clock: never changes it.
TEST(SatelliteTime, RealClockCallIsRefusedWithoutThePrivilege) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr), ::setresgid(65534, 65534, 65534) != 0 ||
                                 ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(3);
        if (may_set_clock()) ::_exit(77); // cannot prove the refusal without risking the clock
        PlatformClockSetter setter;
        SatelliteClock clock(true, setter);
        const auto now = system_clock::now();
        const auto posts = clock.on_satellite_time(std::uint32_t(system_clock::to_time_t(now)), now);
        ::_exit(posts.size() == 1 && posts[0].text == "Error setting time." ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "this process may set the clock even after dropping privileges";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Capture, NamesAtPassStartAndFromTheMenu) {
    const sys_seconds t = sys_days{year{2026} / 3 / 7} + hours(5) + minutes(59);
    EXPECT_EQ(pass_capture_name(t, ".KSS"), "2026-03-07-05.KSS");
    EXPECT_EQ(menu_capture_name(t, ".TLM"), "2026030705.TLM");
}

TEST(Capture, TelemetryFramesAreKissFramedAndFilesAppended) {
    TempDir dir;
    {
        CaptureFile f;
        ASSERT_TRUE(f.open(dir / "a.TLM").ok());
        ASSERT_TRUE(f.write_kiss_frame(Bytes{1, 0xC0, 2, 0xDB}).ok());
    }
    {
        CaptureFile f;
        ASSERT_TRUE(f.open(dir / "a.TLM").ok());
        ASSERT_TRUE(f.write(Bytes{7}).ok());
    }
    EXPECT_EQ(read_all(dir / "a.TLM"), (Bytes{0xC0, 0x00, 1, 0xDB, 0xDC, 2, 0xDB, 0xDD, 0xC0, 7}));
    CaptureFile bad;
    EXPECT_FALSE(bad.open(dir / "missing" / "x.KSS").ok());
    EXPECT_FALSE(bad.write(Bytes{1}).ok());
}

TEST(Capture, ReplayGivesBackEveryByteInOrder) {
    TempDir dir;
    const Bytes stream = pattern_bytes(10000, 3);
    write_bytes(dir / "x.KSS", stream);
    Bytes seen;
    int chunks = 0;
    auto n = replay_kiss_capture(dir / "x.KSS", [&](std::span<const std::uint8_t> b) {
        seen.insert(seen.end(), b.begin(), b.end());
        ++chunks;
    }, 4096);
    ASSERT_TRUE(n.ok());
    EXPECT_EQ(*n, 10000u);
    EXPECT_EQ(seen, stream);
    EXPECT_EQ(chunks, 3);
    EXPECT_FALSE(replay_kiss_capture(dir / "none.KSS", [](auto) {}).ok());
}

struct Lines : StatusSink {
    std::vector<StatusPost> lines;
    void post(std::string text, LineColour colour) override { lines.push_back({std::move(text), colour}); }
};

TEST(SessionRecorder, OnePassCapturedAndLogged) {
    TempDir dir;
    Lines lines;
    FakeSetter setter;
    system_clock::time_point now = system_clock::time_point(kStart);
    SessionRecorder rec({dir.path(), true, true, true}, lines, setter, [&] { return now; });
    rec.open(kStart);
    rec.on_session_start(kStart);
    rec.on_raw_bytes(Bytes{0xC0, 0x00, 0x01, 0xC0});
    now += seconds(10);
    rec.set_station_bytes(0);
    rec.on_server_status("B: 1000", 1000); // baseline: the session clock restarts here
    rec.set_station_bytes(800);
    rec.on_server_status("B: 2000", 2000);
    EXPECT_EQ(rec.efficiency(), 80u);
    rec.on_satellite_time(1'000'000'010, Bytes{1, 2, 3});
    EXPECT_EQ(setter.calls.size(), 1u);
    ASSERT_TRUE(rec.close(kStart + seconds(110), 5000, {{0x42, kStart, 2, 200, 100, 1}}).ok());
    EXPECT_EQ(read_all(dir / "2001-09-09-01.KSS"), (Bytes{0xC0, 0x00, 0x01, 0xC0}));
    EXPECT_EQ(read_all(dir / "2001-09-09-01.TLM"), (Bytes{0xC0, 0x00, 1, 2, 3, 0xC0}));
    const std::string log = read_text(dir / "Brek.LOG");
    EXPECT_EQ(log.rfind("Session started at 01:46:50 09 Sep 2001\r\n", 0), 0u) << log;
    EXPECT_NE(log.find("Average BPS             50\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Percent EFFICIENCY    80\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Uploads Made (1)\r\n    42           -    200 bytes sent in     2 seconds. UL rate is   100. File Complete\r\n"),
              std::string::npos) << log;
}

} // namespace
} // namespace orva::engine

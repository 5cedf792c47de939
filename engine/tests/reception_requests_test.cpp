#include "engine/directory/status_codes.h"
#include "engine/requests/request_scheduler.h"
#include "engine/requests/wanted_file.h"
#include "engine/tests/reception_test_util.h"

#include <deque>

namespace orva::engine {
namespace {

using std::chrono::milliseconds;

struct Draws : RandomSource {
    std::deque<std::uint32_t> values;
    std::uint32_t below(std::uint32_t n) override
    {
        if (values.empty())
            return 0;
        const std::uint32_t v = values.front();
        values.pop_front();
        return v % n;
    }
};

struct Host : RequestHost {
    std::optional<std::pair<std::uint32_t, int>> wanted;
    bool complete = false;
    std::size_t holes = 3;
    std::optional<std::uint64_t> up_to_date;
    std::vector<std::string> sent;
    std::vector<milliseconds> armed;
    int closes = 0;
    int tx = 0;
    std::optional<std::pair<std::uint32_t, int>> most_wanted(bool, std::size_t, std::uint32_t) override { return wanted; }
    bool directory_complete() override { return complete; }
    std::size_t directory_hole_count() override { return holes; }
    std::optional<std::uint64_t> up_to_date_time() override { return up_to_date; }
    bool settling = false;
    bool directory_settling() override { return settling; }
    std::uint32_t on_air_file = 0;
    bool on_air(std::uint32_t fn) override { return fn == on_air_file; }
    bool send_file_fill(std::uint32_t fn) override { sent.push_back("file " + std::to_string(fn)); return true; }
    bool send_directory_fill() override { sent.push_back("dir"); return true; }
    void arm_request_timer(milliseconds d) override { armed.push_back(d); }
    void stop_request_timer() override {}
    void close_engine() override { ++closes; }
    void request_tx_switch_on() override { ++tx; }
};

struct SchedulerFixture : ::testing::Test {
    Host host;
    Draws draws;
    RequestSettings settings;
    std::unique_ptr<RequestScheduler> s;
    void SetUp() override { make(); }
    void make()
    {
        settings.my_call = "N0CALL";
        s = std::make_unique<RequestScheduler>(settings, host, draws);
    }
};

TEST(QueueLine, EntriesDirectoryRequestsAndOurPosition)
{
    auto q = parse_queue_line("PB: G0ABC\\D N0CALL W1XYZ\\D", "n0call");
    EXPECT_EQ(q.entries, 3);
    EXPECT_EQ(q.directory_requests, 2);
    EXPECT_EQ(q.file_requests, 1);
    EXPECT_EQ(q.my_position, 1);
    EXPECT_FALSE(q.mine_is_directory);
    EXPECT_TRUE(parse_queue_line("PB: Empty.", "N0CALL").empty);
    EXPECT_TRUE(parse_queue_line("PB: N0CALL\\D", "N0CALL").mine_is_directory);
}

TEST_F(SchedulerFixture, EmptyQueueArmsARequestWithinThreeSeconds)
{
    draws.values = {2699};
    s->on_queue_line("PB: Empty.", false, 100);
    ASSERT_EQ(host.armed.size(), 1u);
    EXPECT_EQ(host.armed[0], milliseconds(2999));
    s->run(101);
    EXPECT_EQ(host.sent, std::vector<std::string>{"dir"});
}

TEST_F(SchedulerFixture, AutoFillOffAndFullQueuesSendNothing)
{
    settings.auto_fill = false;
    make();
    s->on_queue_line("PB: Empty.", false, 100);
    s->on_request_served();
    s->on_request_unheard();
    EXPECT_TRUE(host.armed.empty());
    settings.auto_fill = true;
    make();
    s->on_queue_line("PB: G0ABC W1XYZ", true, 100);
    EXPECT_TRUE(host.armed.empty());
}

TEST_F(SchedulerFixture, ServedOrLostRequestArmsTheNextUnlessOneIsPending)
{
    s->on_request_served();
    ASSERT_EQ(host.armed.size(), 1u);
    EXPECT_EQ(host.armed[0], milliseconds(10));
    // A second notice before the timer has run changes nothing.
    s->on_request_served();
    EXPECT_EQ(host.armed.size(), 1u);
    s->run(5);
    s->on_request_served();
    EXPECT_EQ(host.armed.size(), 2u);
    // A request lost on the way up is asked again after the queue line's spread of delays.
    s->run(6);
    draws.values = {1000};
    s->on_request_unheard();
    ASSERT_EQ(host.armed.size(), 3u);
    EXPECT_EQ(host.armed[2], milliseconds(1300));
}

TEST_F(SchedulerFixture, AServedRequestBringsForwardTheOneAQueueLineSetForLater)
{
    draws.values = {2000};
    s->on_queue_line("PB: Empty.", false, 100);
    ASSERT_EQ(host.armed.size(), 1u);
    EXPECT_EQ(host.armed[0], milliseconds(2300));
    // The broadcast asked for begins: the next request goes now, not 2.3 s later.
    s->on_request_served();
    ASSERT_EQ(host.armed.size(), 2u);
    EXPECT_EQ(host.armed[1], milliseconds(10));
}

TEST_F(SchedulerFixture, SilenceAfterAnAnswerAsksSoonerThanSilenceWithout)
{
    // Unanswered: the queue line's spread, and a queue line's request already set stands.
    draws.values = {2000, 400, 400};
    s->on_request_unheard(false);
    ASSERT_EQ(host.armed.size(), 1u);
    EXPECT_EQ(host.armed[0], milliseconds(2300));
    s->on_request_unheard(false);
    EXPECT_EQ(host.armed.size(), 1u);
    // Answered, then silent: this station's own broadcast ended with its frames lost. A shorter
    // spread, and it brings forward the request the queue line set for later.
    s->on_request_unheard(true);
    ASSERT_EQ(host.armed.size(), 2u);
    EXPECT_EQ(host.armed[1], milliseconds(500));
    // A lost request is sent again with a shorter spread still.
    s->run(5);
    s->on_request_unanswered();
    ASSERT_EQ(host.armed.size(), 3u);
    EXPECT_EQ(host.armed[2], milliseconds(450));
}

TEST_F(SchedulerFixture, AServedDirectoryFillIsFollowedOnlyByAWantedFile)
{
    host.complete = true;
    s->on_directory_served();
    EXPECT_TRUE(host.armed.empty()) << "another directory fill now would repeat the one on air";
    host.wanted = std::pair<std::uint32_t, int>{0x123, 8};
    s->on_directory_served();
    ASSERT_EQ(host.armed.size(), 1u);
    EXPECT_EQ(host.armed[0], milliseconds(10));
    s->run(5);
    EXPECT_EQ(host.sent, std::vector<std::string>{"file 291"});
}

TEST_F(SchedulerFixture, TailActionWhenWeAreLastInTheQueue)
{
    settings.tail_action = 3;
    make();
    s->run(1); // the last-entry flag is now set; another station after us clears it
    s->on_queue_line("PB: N0CALL G0ABC", false, 2);
    s->on_queue_line("PB: G0ABC N0CALL", false, 3);
    EXPECT_TRUE(host.armed.empty());
    settings.tail_action = 1;
    make();
    s->run(1);
    s->on_queue_line("PB: N0CALL G0ABC", false, 2);
    s->on_queue_line("PB: G0ABC N0CALL", false, 3);
    ASSERT_EQ(host.armed.size(), 1u);
    EXPECT_EQ(host.armed[0], milliseconds(10));
    s->on_queue_line("PB: G0ABC N0CALL", false, 4); // once, until another entry follows
    EXPECT_EQ(host.armed.size(), 1u);
}

TEST_F(SchedulerFixture, DirPriorityGatesFilesBeforeTheDirectoryIsComplete)
{
    settings.dir_priority = 10;
    make();
    host.wanted = std::pair<std::uint32_t, int>{0x42, kCodePriority};
    s->run(1);
    EXPECT_EQ(host.sent.back(), "dir");
    host.wanted = std::pair<std::uint32_t, int>{0x43, kCodeMine};
    s->run(2);
    EXPECT_EQ(host.sent.back(), "file 67");
    EXPECT_EQ(s->status_text(), "AUTO 43");
    s->on_file_complete(0x43);
    EXPECT_EQ(s->status_text(), "Auto Idle");
    EXPECT_EQ(s->requested_file(), 0u);
}

TEST_F(SchedulerFixture, WhileTheOnlyWantedFileIsOnAirTheDirectoryFillQueuesBehindIt)
{
    host.wanted = std::pair<std::uint32_t, int>{0x42, kCodeMine};
    host.on_air_file = 0x42;
    s->run(1);
    EXPECT_EQ(host.sent, std::vector<std::string>{"dir"});
    // Its holes are asked for once the broadcast has ended.
    host.on_air_file = 0;
    s->run(2);
    EXPECT_EQ(host.sent.back(), "file 66");
    EXPECT_EQ(s->requested_file(), 0x42u);
    // With nothing to ask of the directory the file is left to the engine, which waits for its end.
    host.on_air_file = 0x42;
    host.holes = 1;
    host.up_to_date = 3;
    s->run(4);
    EXPECT_EQ(host.sent.back(), "file 66");
    EXPECT_EQ(host.sent.size(), 3u);
}

TEST_F(SchedulerFixture, IdleWhenRecentlyUpToDate)
{
    host.holes = 1;
    host.complete = true;
    host.up_to_date = 1000;
    s->run(1500);
    EXPECT_TRUE(host.sent.empty());
    s->run(3000);
    EXPECT_EQ(host.sent, std::vector<std::string>{"dir"});
    // Answered, and waiting to see whether anything newer comes: not asked again meanwhile.
    host.settling = true;
    s->run(3010);
    EXPECT_EQ(host.sent.size(), 1u);
    // With an older hole still open the fill goes out all the same.
    host.holes = 2;
    s->run(3020);
    EXPECT_EQ(host.sent.size(), 2u);
}

TEST_F(SchedulerFixture, SwitchOnRequestsAtMostThreeAMinute)
{
    for (std::uint64_t t = 100; t < 104; ++t)
        s->tx_switch_on(t);
    EXPECT_EQ(host.tx, 3);
    s->tx_switch_on(161);
    EXPECT_EQ(host.tx, 4);
}

TEST_F(SchedulerFixture, TimeoutsCloseTheEngine)
{
    settings.up_to_date_timeout = 60;
    settings.inactivity_timeout = 120;
    make();
    s->on_tick(100, 50, false);
    EXPECT_EQ(host.closes, 0);
    s->on_tick(111, 50, false);
    EXPECT_EQ(host.closes, 1);
    make();
    host.complete = true;
    s->run(100); // sends a directory fill: last sent 100
    s->on_tick(200, 199, true);
    EXPECT_EQ(host.closes, 1);
    s->on_tick(221, 220, true);
    EXPECT_EQ(host.closes, 2);
}

TEST(WantedFile, HighestCodeThenEarliestRecord)
{
    test::TempFolder dir;
    auto t = StatusTable::open(dir / kStatusTableName);
    ASSERT_TRUE(t);
    t->set_status(1, kCodeAuto, true, 300);
    t->set_status(2, kCodeAuto, true, 200);
    t->set_status(3, kCodeGrab, true, 100);
    t->set_status(4, kCodeDownloaded, true, 100);
    auto w = pick_wanted_file(*t, {}, 0, false);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->file_number, 2u);
    // Preferring heard files: the earlier record replaces only when it is being heard.
    const std::uint32_t heard[] = {1};
    w = pick_wanted_file(*t, heard, 0, true);
    EXPECT_EQ(w->file_number, 1u);
    t->set_status(5, kCodePriority, true, 900);
    EXPECT_EQ(pick_wanted_file(*t, heard, 0, true)->file_number, 5u);
}

} // namespace
} // namespace orva::engine

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/manual_event.h"
#include "platform/timers.h"
#include "platform/worker_thread.h"

using namespace orva::platform;
using namespace std::chrono_literals;

namespace {

TEST(ManualClock, TimersFireInDueOrderAtTheirOwnTimes)
{
    ManualClock clock;
    const TimePoint start = clock.now();
    std::vector<std::pair<int, Duration>> fired;
    auto note = [&](int which) { return [&, which] { fired.emplace_back(which, clock.now() - start); }; };
    clock.timers().start(3s, note(3));
    clock.timers().start(1s, note(1));
    clock.timers().start(2s, note(2));
    clock.timers().start(2s, note(22)); // same time: start order

    clock.advance(1500ms);
    ASSERT_EQ(fired.size(), 1u);
    clock.advance(10s);
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_EQ(fired[0], std::make_pair(1, Duration(1s)));
    EXPECT_EQ(fired[1], std::make_pair(2, Duration(2s)));
    EXPECT_EQ(fired[2], std::make_pair(22, Duration(2s)));
    EXPECT_EQ(fired[3], std::make_pair(3, Duration(3s)));
    EXPECT_EQ(clock.now() - start, Duration(11500ms));
}

TEST(ManualClock, RepeatingTimerAndCancelFromItsOwnCallback)
{
    ManualClock clock;
    int beats = 0;
    TimerId id = 0;
    id = clock.timers().start(
        1s, [&] {
            if (++beats == 4)
                clock.timers().cancel(id);
        },
        1s);
    clock.advance(100s);
    EXPECT_EQ(beats, 4);
}

TEST(ManualClock, CancelledTimerNeverFiresAndChainedTimersRun)
{
    ManualClock clock;
    int fired = 0;
    TimerId gone = clock.timers().start(5s, [&] { fired += 100; });
    EXPECT_TRUE(clock.timers().cancel(gone));
    EXPECT_FALSE(clock.timers().cancel(gone));
    // A one-shot chain, as the TNC exit sequence is built: each step starts the next.
    clock.timers().start(1s, [&] {
        ++fired;
        clock.timers().start(175ms, [&] {
            ++fired;
            clock.timers().start(0ms, [&] { ++fired; });
        });
    });
    clock.advance(1175ms);
    EXPECT_EQ(fired, 3);
}

TEST(ManualClock, BackwardJumpFiresNothing)
{
    ManualClock clock;
    bool fired = false;
    clock.timers().start(10s, [&] { fired = true; });
    clock.set(clock.now() - 1h);
    EXPECT_FALSE(fired);
    clock.advance(1h);
    EXPECT_FALSE(fired);
    clock.advance(10s);
    EXPECT_TRUE(fired);
}

TEST(ManualClock, AdvanceToNextTimer)
{
    ManualClock clock;
    const TimePoint start = clock.now();
    int fired = 0;
    clock.timers().start(42s, [&] { ++fired; });
    EXPECT_TRUE(clock.advance_to_next_timer());
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(clock.now() - start, Duration(42s));
    EXPECT_FALSE(clock.advance_to_next_timer());
}

TEST(ManualClock, SleepingThreadWakesWhenTimeReachesItsDeadline)
{
    // Repeated so that a lost wake-up between the waiter's check and its sleep would show.
    for (int round = 0; round < 200; ++round) {
        ManualClock clock;
        const TimePoint deadline = clock.now() + 10s;
        std::atomic<bool> woke{false};
        std::thread sleeper([&] {
            EXPECT_TRUE(clock.sleep_until(deadline));
            woke = true;
        });
        clock.advance(4s);
        clock.advance(6s);
        sleeper.join();
        EXPECT_TRUE(woke);
        EXPECT_GE(clock.now(), deadline);
    }
}

TEST(ManualClock, StopWakesASleeper)
{
    ManualClock clock;
    std::stop_source source;
    std::thread sleeper([&] { EXPECT_FALSE(clock.sleep_for(1h, source.get_token())); });
    source.request_stop();
    sleeper.join();
}

TEST(SystemClock, NowIsUtcUnixTime)
{
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(SystemClock::instance().now().time_since_epoch());
    EXPECT_NEAR(static_cast<double>(seconds.count()), static_cast<double>(::time(nullptr)), 2.0);
}

TEST(SystemClock, StopEndsAWaitWithoutDeadline)
{
    std::stop_source source;
    std::thread sleeper([&] { EXPECT_FALSE(SystemClock::instance().sleep_until(never, source.get_token())); });
    source.request_stop();
    sleeper.join();
}

TEST(TimerThread, FiresInRealTimeAndCancelledTimersStaySilent)
{
    TimerThread timers(SystemClock::instance());
    ManualEvent fired;
    std::atomic<int> wrong{0};
    TimerId late = timers.start(1h, [&] { ++wrong; });
    timers.start(5ms, [&] { fired.set(); });
    EXPECT_TRUE(fired.wait_for(SystemClock::instance(), 10s));
    EXPECT_TRUE(timers.cancel(late));
    EXPECT_EQ(wrong, 0);
}

TEST(TimerThread, FollowsAManualClock)
{
    ManualClock clock;
    TimerThread timers(clock);
    ManualEvent fired;
    timers.start(30s, [&] { fired.set(); });
    clock.advance(29s);
    EXPECT_FALSE(fired.is_set());
    clock.advance(1s);
    EXPECT_TRUE(fired.wait_for(SystemClock::instance(), 10s));
}

TEST(WorkerThread, StopsOnDestructionAndOnRequest)
{
    ManualEvent started;
    std::atomic<bool> ended{false};
    {
        WorkerThread worker([&](std::stop_token stop) {
            started.set();
            SystemClock::instance().sleep_until(never, stop);
            ended = true;
        });
        EXPECT_TRUE(started.wait_for(SystemClock::instance(), 10s));
        EXPECT_TRUE(worker.running());
    }
    EXPECT_TRUE(ended);

    WorkerThread worker;
    EXPECT_FALSE(worker.running());
    worker.stop(); // nothing to stop
    std::atomic<int> rounds{0};
    worker.start([&](std::stop_token stop) {
        while (!stop.stop_requested() && SystemClock::instance().sleep_for(1ms, stop))
            ++rounds;
    });
    worker.stop();
    EXPECT_FALSE(worker.running());
}

} // namespace

#include <gtest/gtest.h>

#include <thread>

#include "platform/manual_event.h"

using namespace orva::platform;
using namespace std::chrono_literals;

namespace {

TEST(ManualEvent, StaysSetUntilReset)
{
    ManualClock clock;
    ManualEvent event(true); // the station's signals are created signalled
    EXPECT_TRUE(event.is_set());
    EXPECT_TRUE(event.wait_for(clock, 0s));
    EXPECT_TRUE(event.wait_for(clock, 0s));
    event.reset();
    EXPECT_FALSE(event.is_set());
    EXPECT_FALSE(event.wait_for(clock, 0s));
}

TEST(ManualEvent, SetWakesEveryWaiter)
{
    ManualClock clock;
    ManualEvent event;
    std::vector<std::thread> waiters;
    std::atomic<int> woken{0};
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (event.wait_until(clock, never))
                ++woken;
        });
    event.set();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(woken, 4);
}

TEST(ManualEvent, TimesOutOnTheInjectedClock)
{
    ManualClock clock;
    ManualEvent event;
    std::atomic<int> result{-1};
    const TimePoint deadline = clock.now() + 12500ms;
    std::thread waiter([&] { result = event.wait_until(clock, deadline) ? 1 : 0; });
    clock.advance(12500ms);
    waiter.join();
    EXPECT_EQ(result, 0);
}

TEST(ManualEvent, StopEndsTheWait)
{
    ManualEvent event;
    std::stop_source source;
    std::thread waiter([&] { EXPECT_FALSE(event.wait(source.get_token())); });
    source.request_stop();
    waiter.join();
}

TEST(WaitAny, ReportsWhichEventWasSet)
{
    ManualClock clock;
    ManualEvent program_stop, modem_ready;
    std::atomic<int> which{-2};
    std::thread waiter([&] { which = wait_any({&program_stop, &modem_ready}, clock, clock.now() + 12500ms); });
    modem_ready.set();
    waiter.join();
    EXPECT_EQ(which, 1);

    program_stop.set();
    EXPECT_EQ(wait_any({&program_stop, &modem_ready}, clock, clock.now()), 0);
}

TEST(WaitAny, TimesOutWhenNothingIsSet)
{
    ManualClock clock;
    ManualEvent a, b;
    std::atomic<int> which{-2};
    const TimePoint deadline = clock.now() + 1s;
    std::thread waiter([&] { which = wait_any({&a, &b}, clock, deadline); });
    clock.advance(1s);
    waiter.join();
    EXPECT_EQ(which, -1);
}

} // namespace

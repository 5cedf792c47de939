#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <thread>

#include "platform/qt/event_loop_timers.h"

using namespace orva::platform;
using namespace std::chrono_literals;

namespace {

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "platform_qt_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

bool spin_until(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
    }
    return true;
}

TEST(EventLoopTimers, FireOnTheLoopThreadInOrderEvenWhenStartedElsewhere)
{
    app();
    auto timers = qt::event_loop_timers(SystemClock::instance());
    std::vector<int> fired;
    bool on_loop_thread = true;
    QThread* loop_thread = QThread::currentThread();
    auto note = [&](int which) {
        return [&, which] {
            on_loop_thread = on_loop_thread && QThread::currentThread() == loop_thread;
            fired.push_back(which);
        };
    };
    timers->start(30ms, note(2));
    TimerId cancelled = timers->start(10ms, note(99));
    std::thread other([&] { timers->start(5ms, note(1)); });
    other.join();
    EXPECT_TRUE(timers->cancel(cancelled));
    ASSERT_TRUE(spin_until([&] { return fired.size() == 2; }));
    EXPECT_EQ(fired, (std::vector<int>{1, 2}));
    EXPECT_TRUE(on_loop_thread);
}

TEST(EventLoopTimers, RepeatingTimerKeepsBeating)
{
    app();
    auto timers = qt::event_loop_timers(SystemClock::instance());
    int beats = 0;
    TimerId id = timers->start(1ms, [&] { ++beats; }, 2ms);
    ASSERT_TRUE(spin_until([&] { return beats >= 5; }));
    timers->cancel(id);
}

TEST(EventLoopTimers, FollowAManualClock)
{
    app();
    ManualClock clock;
    auto timers = qt::event_loop_timers(clock);
    bool fired = false;
    timers->start(10s, [&] { fired = true; });
    clock.advance(10s);
    EXPECT_TRUE(spin_until([&] { return fired; }));
}

} // namespace

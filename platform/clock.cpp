#include "platform/clock.h"

#include "platform/timers.h"

namespace orva::platform {

bool Clock::sleep_until(TimePoint deadline, std::stop_token stop) const
{
    std::mutex mutex;
    std::condition_variable_any cv;
    wait_until(mutex, cv, deadline, stop, [] { return false; });
    return !stop.stop_requested();
}

bool Clock::sleep_for(Duration duration, std::stop_token stop) const
{
    return sleep_until(now() + duration, stop);
}

TimePoint SystemClock::now() const
{
    return std::chrono::system_clock::now();
}

bool SystemClock::wait_until(std::mutex& mutex, std::condition_variable_any& cv, TimePoint deadline,
                             std::stop_token stop, const std::function<bool()>& pred) const
{
    std::unique_lock lock(mutex);
    if (deadline == never)
        return cv.wait(lock, stop, pred);
    // Waits in slices measured on the system clock itself, so a clock step is noticed within one.
    for (;;) {
        if (pred())
            return true;
        if (stop.stop_requested())
            return false;
        auto left = deadline - std::chrono::system_clock::now();
        if (left <= Duration::zero())
            return false;
        if (left > std::chrono::seconds(1))
            left = std::chrono::seconds(1);
        if (cv.wait_for(lock, stop, left, pred))
            return true;
    }
}

const SystemClock& SystemClock::instance()
{
    static const SystemClock clock;
    return clock;
}

ManualClock::ManualClock(TimePoint start)
    : now_(start.time_since_epoch().count()), timers_(std::make_unique<TimerQueue>(*this))
{
}

ManualClock::~ManualClock() = default;

TimePoint ManualClock::now() const
{
    return TimePoint{Duration{now_.load()}};
}

bool ManualClock::wait_until(std::mutex& mutex, std::condition_variable_any& cv, TimePoint deadline,
                             std::stop_token stop, const std::function<bool()>& pred) const
{
    WaitSlot slot{&mutex, &cv};
    WaitRegistration registration(waiters_, &slot);
    std::unique_lock lock(mutex);
    bool met = false;
    cv.wait(lock, stop, [&] {
        met = pred();
        return met || now() >= deadline;
    });
    return met;
}

Timers& ManualClock::timers()
{
    return *timers_;
}

void ManualClock::move_to(TimePoint time)
{
    now_.store(time.time_since_epoch().count());
    waiters_.notify_all();
}

void ManualClock::advance(Duration duration)
{
    set(now() + duration);
}

void ManualClock::set(TimePoint time)
{
    for (;;) {
        auto due = timers_->next_due();
        if (!due || *due > time)
            break;
        if (*due > now())
            move_to(*due);
        timers_->run_due();
    }
    move_to(time);
}

bool ManualClock::advance_to_next_timer()
{
    auto due = timers_->next_due();
    if (!due)
        return false;
    if (*due > now())
        move_to(*due);
    timers_->run_due();
    return true;
}

} // namespace orva::platform

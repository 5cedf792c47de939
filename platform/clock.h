// Time as every waiting component sees it. Components take a `Clock` (and `Timers`, see
// timers.h) instead of reading the system time, so tests drive them with a `ManualClock`.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

#include "platform/wait_list.h"

namespace orva::platform {

// UTC: system_clock counts Unix time (leap seconds not counted), like station time.
using TimePoint = std::chrono::system_clock::time_point;
using Duration = std::chrono::system_clock::duration;
inline constexpr TimePoint never = TimePoint::max();

class TimerQueue;
class Timers;

class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    // Station seconds per wall-clock second just now: 1 but for a shared clock run faster.
    virtual double rate() const { return 1.0; }

    // Blocks until pred() holds (returns true), the deadline passes on this clock or stop is
    // requested (both return false; pred is tested first). `mutex` is unlocked on entry and on
    // return; pred runs with it held, and whoever makes pred true notifies `cv` holding it.
    virtual bool wait_until(std::mutex& mutex, std::condition_variable_any& cv, TimePoint deadline,
                            std::stop_token stop, const std::function<bool()>& pred) const = 0;

    // False when stop was requested before the deadline.
    bool sleep_until(TimePoint deadline, std::stop_token stop = {}) const;
    bool sleep_for(Duration duration, std::stop_token stop = {}) const;
};

class SystemClock final : public Clock {
public:
    TimePoint now() const override;
    bool wait_until(std::mutex& mutex, std::condition_variable_any& cv, TimePoint deadline,
                    std::stop_token stop, const std::function<bool()>& pred) const override;
    // One shared instance for hosts.
    static const SystemClock& instance();
};

// A clock that moves only when told. Its timers fire during advance() and set(), on the caller's
// thread, each at its own due time (now() inside a callback reads that due time).
class ManualClock final : public Clock {
public:
    // Starts at 2001-09-09 01:46:40 UTC (10^9 s), a round station time.
    explicit ManualClock(TimePoint start = TimePoint{std::chrono::seconds{1'000'000'000}});
    ~ManualClock() override;

    TimePoint now() const override;
    bool wait_until(std::mutex& mutex, std::condition_variable_any& cv, TimePoint deadline,
                    std::stop_token stop, const std::function<bool()>& pred) const override;

    Timers& timers();
    void advance(Duration duration);
    // A jump: forward it fires what falls due on the way; backward it only moves the time.
    void set(TimePoint time);
    // Moves to the next pending timer and fires it; false when none is pending.
    bool advance_to_next_timer();

private:
    void move_to(TimePoint time);
    std::atomic<Duration::rep> now_;
    mutable WaitList waiters_;
    std::unique_ptr<TimerQueue> timers_;
};

} // namespace orva::platform

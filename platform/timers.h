// Timer scheduling. Components are handed a `Timers` and never start threads of their own to wait:
// a `ManualClock` fires its timers when a test advances it, a `TimerThread` fires them in real
// time for hosts, and a host with its own event loop can drive a `TimerQueue` directly.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/clock.h"

namespace orva::platform {

using TimerId = std::uint64_t; // 0 is never a timer

class Timers {
public:
    using Callback = std::function<void()>;
    virtual ~Timers() = default;
    // Fires once after `delay`; with a non-zero `period` it then repeats every period until cancelled.
    virtual TimerId start(Duration delay, Callback callback, Duration period = Duration::zero()) = 0;
    // True when the timer was pending; a cancelled timer never fires again, even from its own callback.
    virtual bool cancel(TimerId id) = 0;
};

class TimerQueue final : public Timers {
public:
    explicit TimerQueue(const Clock& clock);

    TimerId start(Duration delay, Callback callback, Duration period = Duration::zero()) override;
    bool cancel(TimerId id) override;

    std::optional<TimePoint> next_due() const;
    std::size_t pending() const;
    // Runs every timer due at the clock's now, in due order (equal times in start order); callbacks
    // run without the queue locked and may start or cancel timers. Returns how many ran.
    std::size_t run_due();
    // Called (outside the lock) whenever a timer is started, so a driver can wake up early.
    void set_on_change(std::function<void()> on_change);

private:
    struct Key {
        TimePoint due;
        std::uint64_t order;
        auto operator<=>(const Key&) const = default;
    };
    struct Entry {
        TimerId id;
        Duration period;
        std::shared_ptr<Callback> callback;
    };
    const Clock& clock_;
    mutable std::mutex mutex_;
    std::map<Key, Entry> by_due_;
    std::map<TimerId, Key> by_id_;
    std::uint64_t next_order_ = 0;
    TimerId next_id_ = 1;
    std::function<void()> on_change_;
};

// Fires timers on its own thread as the clock reaches them. Stops (without firing what is left)
// when destroyed.
class TimerThread final : public Timers {
public:
    explicit TimerThread(const Clock& clock);
    ~TimerThread() override;

    TimerId start(Duration delay, Callback callback, Duration period = Duration::zero()) override;
    bool cancel(TimerId id) override;

private:
    void run(std::stop_token stop);
    const Clock& clock_;
    TimerQueue queue_;
    std::mutex mutex_;
    std::condition_variable_any cv_;
    bool changed_ = false;
    std::jthread thread_;
};

} // namespace orva::platform

// A manual-reset event: once set it stays set, waking every waiter, until reset.
#pragma once

#include <atomic>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <stop_token>

#include "platform/clock.h"
#include "platform/wait_list.h"

namespace orva::platform {

class ManualEvent {
public:
    explicit ManualEvent(bool initially_set = false);
    ManualEvent(const ManualEvent&) = delete;
    ManualEvent& operator=(const ManualEvent&) = delete;

    void set();
    void reset();
    bool is_set() const;

    // True when set; false when the deadline passed on `clock` or stop was requested first.
    bool wait_until(const Clock& clock, TimePoint deadline, std::stop_token stop = {}) const;
    bool wait_for(const Clock& clock, Duration timeout, std::stop_token stop = {}) const;
    // Without a time limit: false only when stopped.
    bool wait(std::stop_token stop = {}) const;

private:
    friend int wait_any(std::initializer_list<const ManualEvent*>, const Clock&, TimePoint, std::stop_token);
    std::atomic<bool> set_;
    mutable std::mutex mutex_;
    mutable std::condition_variable_any cv_;
    mutable WaitList watchers_;
};

// Waits for the first of several events: the index of one that is set (the lowest when several
// are), or -1 when the deadline passed or stop was requested.
int wait_any(std::initializer_list<const ManualEvent*> events, const Clock& clock, TimePoint deadline,
             std::stop_token stop = {});

} // namespace orva::platform

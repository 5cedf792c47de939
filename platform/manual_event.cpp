#include "platform/manual_event.h"

#include <vector>

namespace orva::platform {

ManualEvent::ManualEvent(bool initially_set) : set_(initially_set) {}

void ManualEvent::set()
{
    {
        std::lock_guard lock(mutex_);
        set_.store(true);
        cv_.notify_all();
    }
    watchers_.notify_all();
}

void ManualEvent::reset()
{
    std::lock_guard lock(mutex_);
    set_.store(false);
}

bool ManualEvent::is_set() const
{
    return set_.load();
}

bool ManualEvent::wait_until(const Clock& clock, TimePoint deadline, std::stop_token stop) const
{
    return clock.wait_until(mutex_, cv_, deadline, stop, [this] { return set_.load(); });
}

bool ManualEvent::wait_for(const Clock& clock, Duration timeout, std::stop_token stop) const
{
    return wait_until(clock, clock.now() + timeout, stop);
}

bool ManualEvent::wait(std::stop_token stop) const
{
    return wait_until(SystemClock::instance(), never, stop);
}

int wait_any(std::initializer_list<const ManualEvent*> events, const Clock& clock, TimePoint deadline,
             std::stop_token stop)
{
    std::mutex mutex;
    std::condition_variable_any cv;
    WaitSlot slot{&mutex, &cv};
    for (const ManualEvent* event : events)
        event->watchers_.add(&slot);
    int found = -1;
    clock.wait_until(mutex, cv, deadline, stop, [&] {
        int index = 0;
        for (const ManualEvent* event : events) {
            if (event->is_set()) {
                found = index;
                return true;
            }
            ++index;
        }
        return false;
    });
    for (const ManualEvent* event : events)
        event->watchers_.remove(&slot);
    return found;
}

} // namespace orva::platform

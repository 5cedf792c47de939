// Threads blocked on a condition that another object changes (a manual clock moving, an event
// being set) register here so the change wakes them without polling.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

namespace orva::platform {

struct WaitSlot {
    std::mutex* mutex;
    std::condition_variable_any* cv;
};

class WaitList {
public:
    void add(WaitSlot* slot);
    // After remove returns no notify touches the slot, so its mutex and cv may go away.
    void remove(WaitSlot* slot);
    // Takes each waiter's mutex before notifying, so a waiter between testing its condition and
    // sleeping cannot miss the change.
    void notify_all();

private:
    std::mutex mutex_;
    std::vector<WaitSlot*> slots_;
};

// Registers a slot for the lifetime of the guard.
class WaitRegistration {
public:
    WaitRegistration(WaitList& list, WaitSlot* slot) : list_(list), slot_(slot) { list_.add(slot_); }
    ~WaitRegistration() { list_.remove(slot_); }
    WaitRegistration(const WaitRegistration&) = delete;
    WaitRegistration& operator=(const WaitRegistration&) = delete;

private:
    WaitList& list_;
    WaitSlot* slot_;
};

} // namespace orva::platform

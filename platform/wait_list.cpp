#include "platform/wait_list.h"

#include <algorithm>

namespace orva::platform {

void WaitList::add(WaitSlot* slot)
{
    std::lock_guard lock(mutex_);
    slots_.push_back(slot);
}

void WaitList::remove(WaitSlot* slot)
{
    std::lock_guard lock(mutex_);
    slots_.erase(std::remove(slots_.begin(), slots_.end(), slot), slots_.end());
}

void WaitList::notify_all()
{
    std::lock_guard lock(mutex_);
    for (WaitSlot* slot : slots_) {
        std::lock_guard waiter(*slot->mutex);
        slot->cv->notify_all();
    }
}

} // namespace orva::platform

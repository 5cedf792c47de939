// Timers for Qt hosts: callbacks run on the thread that created them, from its event loop, as the
// window thread's timers did. Any thread may start or cancel them.
#pragma once

#include <memory>

#include "platform/clock.h"
#include "platform/timers.h"

namespace orva::platform::qt {

// The calling thread must run a Qt event loop; the clock is usually SystemClock::instance().
std::unique_ptr<Timers> event_loop_timers(const Clock& clock);

} // namespace orva::platform::qt

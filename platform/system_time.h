// Setting the system clock from the satellite's time. Only a process with CAP_SYS_TIME may; any
// other gets a clear refusal, never a silent success.
#pragma once

#include <ctime>
#include <functional>

#include "platform/clock.h"
#include "platform/result.h"

namespace orva::platform {

// Whether this process holds CAP_SYS_TIME in its effective set.
bool process_may_set_clock();

class SystemTimeSetter {
public:
    // The two system calls, replaceable so tests never touch the machine's clock.
    struct Hooks {
        std::function<bool()> may_set_clock;
        std::function<int(const timespec&)> set_realtime; // 0, or an errno value
    };
    static Hooks system_hooks();

    explicit SystemTimeSetter(Hooks hooks = system_hooks());

    // Sets the clock to `utc`. Times before 2000 or from 2100 on are refused as implausible (a
    // damaged time frame must not throw the station back to 1970).
    Status set(TimePoint utc) const;

private:
    Hooks hooks_;
};

} // namespace orva::platform

// Passes edited, deleted and added by hand (the Edit Schedule dialog and Add Pass): what an edit
// carries, its checks, and the operator's texts when it is refused. The core's edit_pass,
// delete_pass and add_pass take them into the live schedule (pass_edit.cpp).
#pragma once

#include <cstdint>

#include "platform/result.h"

namespace orva::station {

inline constexpr const char* kPriorityOutOfRange =
    "You must ensure that the PRIORITY for this pass is set between 1 and 100.";
inline constexpr const char* kPassIsRunning =
    "This pass is running now.  End it with \"End this pass now\" before you change it.";
inline constexpr const char* kLosBeforeAos = "The LOS of this pass must come after its AOS.";
inline constexpr const char* kPassAlreadyOver = "The LOS of this pass has already passed.";
inline constexpr const char* kPassGone = "This pass is no longer in the schedule.";
inline constexpr const char* kPassNotRunning = "This pass is not running.";

// What the Edit Schedule dialog sets on a pass (times are station times, UTC).
struct PassEdit {
    std::int64_t aos = 0, los = 0;
    std::int32_t priority = 0; // outside 1-100 only with dont_run (then stored as 0)
    bool dont_run = false;
    bool run_regardless = false;
    bool ignore_pass_checking = false;
};

// Checks an edit and settles its priority: outside 1-100 it becomes 0 when the pass is not to run,
// otherwise the edit is refused with the dialog's warning.
Status check_pass_edit(PassEdit& edit, std::int64_t now);

} // namespace orva::station

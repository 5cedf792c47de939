// The demo's changes to what `orva setup --demo` wrote, for a pass against the simulated
// satellite on `pty`: AO-16 runs brek on the simulator's line, UO-22 is listed but not run, and
// the pass ends promptly. Shared by `orva demo` and the tests that run a simulated pass.
#pragma once

#include <string>

#include "platform/result.h"
#include "platform/store/store.h"

namespace orva::tools {

Status configure_demo_pass(platform::Store& store, const std::string& pty);

} // namespace orva::tools

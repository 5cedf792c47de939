// The command that sets a station up without a display, named wherever a program finds the
// store not set up.
#pragma once

namespace orva::settings {

inline constexpr const char* setup_command = "orva setup --callsign CALL --locator LOC";

} // namespace orva::settings

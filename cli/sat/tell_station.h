// After a setting changed outside Helmo, its window ("HelmoCtl") is told with message 2037 so it
// reads the satellites and element sets again. Helmo not running is not an error.
#pragma once

#include <string>

namespace orva::tools {

// Needs a QCoreApplication. Returns what happened, for the verbose output.
std::string tell_station_to_reload();

} // namespace orva::tools

// A complete station for trying Orva without a radio: station values, the suite directory and
// two PacSat satellites, written through the same record code the setup pages use.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/store/store.h"

namespace orva::tools {

struct DemoSatellite {
    const char* name;
    const char* bbs_callsign;
    const char* bdcst_callsign;
};

inline constexpr DemoSatellite demo_satellites[] = {
    {"AO-16", "PACSAT-12", "PACSAT-11"},
    {"UO-22", "UOSAT5-12", "UOSAT5-11"},
};

inline constexpr const char* demo_callsign = "N0CALL";
inline constexpr double demo_latitude = 52.2;   // degrees north
inline constexpr double demo_longitude = 0.12;  // degrees, west positive
inline constexpr double demo_altitude = 20.0;   // metres

// Writes the demo station into the store with `suite_directory` as "Orva Directory"; creates
// the folders. Messages the operator should see (a folder that could not be made) come back.
Result<std::vector<std::string>> create_demo_station(platform::Store& store, const std::filesystem::path& suite_directory);

} // namespace orva::tools

// A complete station for trying Orva without a radio: station values, the suite directory and
// two PacSat satellites, written through the same record code the setup pages use.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/store/store.h"

namespace orva::tools {

// Modes are indexes into the Frequencies page's list: 0 "FM", 3 "USB".
struct DemoSatellite {
    const char* name;
    const char* bbs_callsign;
    const char* bdcst_callsign;
    double uplink, downlink; // MHz, the satellites' published amateur frequencies
    std::uint32_t uplink_mode, downlink_mode;
};

inline constexpr DemoSatellite demo_satellites[] = {
    // 1200 bit/s FSK up on FM; the PSK downlink is received in USB.
    {"AO-16", "PACSAT-12", "PACSAT-11", 145.920, 437.025, 0, 3},
    // 9600 bit/s FSK on FM both ways.
    {"UO-22", "UOSAT5-12", "UOSAT5-11", 145.900, 435.120, 0, 0},
};

inline constexpr const char* demo_callsign = "N0CALL";
inline constexpr double demo_latitude = 52.2;   // degrees north
inline constexpr double demo_longitude = 0.12;  // degrees, west positive
inline constexpr double demo_altitude = 20.0;   // metres

// The bundled element sets of the demo satellites (NASA two-line text) and their file's name.
extern const char* const demo_elements_file;
extern const std::string_view demo_elements_text;

struct DemoPlace {
    const char* name;
    double latitude, longitude_east, altitude;
};

// The observer file's places: the demo station itself and a few others for the map and images.
inline constexpr DemoPlace demo_places[] = {
    {"N0CALL", 52.2, -0.12, 20.0},
    {"Greenwich", 51.4769, -0.0005, 46.0},
    {"Boulder", 40.015, -105.2705, 1655.0},
    {"Sydney", -33.8688, 151.2093, 58.0},
    {"Kourou", 5.1597, -52.6503, 10.0},
};

// Writes the demo station into the store with `suite_directory` as "Orva Directory"; creates
// the folders, merges the bundled element sets into "Orva.KEP" and the places into "ORVA.OBS".
// Messages the operator should see (a folder that could not be made) come back.
Result<std::vector<std::string>> create_demo_station(platform::Store& store, const std::filesystem::path& suite_directory);

} // namespace orva::tools

// Editing the station: the Position, Rotator and Radio Horizon pages of the "Station" sheet (the
// Transverters page edits one transverter key at a time, see transverter_setup.h).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/store/store.h"
#include "station/setup/form.h"

namespace orva::station::setup {

inline constexpr const char* kPagePosition = "Position";
inline constexpr const char* kPageRotator = "Rotator";
inline constexpr const char* kPageTransverters = "Transverters";
inline constexpr const char* kPageHorizon = "Radio Horizon";

// The sheet's values as the pages hold them: magnitudes with their hemisphere, and the rotator
// values as stored (the start-up clamps of the tracking loop do not apply to the editor).
struct StationForm {
    std::string callsign;
    double latitude = 0, longitude = 0, altitude = 0; // magnitudes as typed
    std::uint32_t south = 0, east = 0;
    std::uint32_t limit_hours = 0, stop_hour = 0, start_hour = 0;

    std::uint32_t rotator_type = 0, port = 1, speed = 9600, stop_position = 1, flip = 0, pacing_delay = 0;
    std::uint32_t park = 0, park_az = 0, park_el = 0, park_delay = 60;
    std::uint32_t display_actual = 0; // "Display actual position": "Rotor Display" 0 when ticked

    std::array<std::uint32_t, 12> horizon{};
    std::uint32_t use_horizon = 0, display_horizon = 0;
};

const std::vector<std::string>& station_pages(); // Position, Rotator, Transverters, Radio Horizon
const std::vector<FormField<StationForm>>& station_form();

inline constexpr const char* kHoursChanged =
    "You have changed the station operating hours.  Before this change will take effect you must redo the schedule.";

StationForm read_station_form(const platform::Store& store);

struct StationSave {
    std::vector<std::string> messages; // kHoursChanged when the operating hours changed
};
// Writes the values of the three pages; the first failed write is the error.
Result<StationSave> write_station_form(platform::Store& store, const StationForm& form);

} // namespace orva::station::setup

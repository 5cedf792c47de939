// The ten rotator interface types: one row each with how it is reached, what it is sent when
// a satellite starts, on every tick and when tracking stops, and which dialogue it runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "station/rotator/aim.h"

namespace orva::station {

enum class RotatorLink { None, Serial, Library };
enum class RotatorDialogue { None, TrakBoxMenu, SatTrakPrompt };

enum class RotatorType : std::uint32_t {
    None = 0, TrakBox = 1, Level1 = 2, SatTrak = 3, EasyComm1 = 4, EasyComm2 = 5,
    Norbin = 6, Gs232 = 7, Dde = 8, TrakBoxHost = 9,
};

struct StartContext {
    std::string name;
    std::uint16_t uplink_mode = 2, downlink_mode = 2;
};

struct RotatorModel {
    RotatorType type;
    const char* name;
    RotatorLink link;
    bool port_at_program_start;  // opened when Helmo starts (reply reader or host-mode dialogue)
    bool port_per_satellite;     // opened when a satellite is started
    RotatorDialogue dialogue;    // run when a satellite is started
    std::chrono::milliseconds dialogue_timeout;
    std::string (*start)(const StartContext&);
    std::string (*tick)(LastSent&, const Aim&);
    std::string (*stop)();
};

std::span<const RotatorModel> rotator_models();
// Types outside the table read as "None".
const RotatorModel& rotator_model(std::uint32_t type);

// Texts the operator sees.
inline constexpr const char* kRotatorErrorCaption = "Rotator Error";
inline constexpr const char* kPortFailedText = "Unable to initialise rotator communications";
inline constexpr const char* kRotorDriverFailedText =
    "An error was encountered while trying to install the rotor driver.  The rotator will not be tracked.";
inline constexpr const char* kRadioErrorCaption = "Radio Error";
inline constexpr const char* kRadioDriverFailedText =
    "An error was encountered while trying to install the radio driver. The radio will not be tuned.";
inline constexpr const char* kRotorErrorCaption = "Rotor Error";
inline constexpr const char* kNotTrackableText =
    "An error was encountered while trying to install the rotor driver. The rotator will not be moved.";
inline constexpr const char* kTrakBoxErrorCaption = "TrakBox Error";
inline constexpr const char* kTrakBoxNotFoundText = "Satellite not found in TrakBox database";
inline constexpr const char* kRotatorProblemCaption = "Rotator Problem";
inline constexpr const char* kTimedOutText = "The rotator has timed out.";

// Park after tracking: only with "Park" set, and not when the next pass starts within
// "Park Delay" seconds (no next pass: park).
bool should_park(bool park, std::int64_t now, std::int64_t park_delay_s, const std::int64_t* next_pass_start);

} // namespace orva::station

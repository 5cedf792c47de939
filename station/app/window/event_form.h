// The Schedule Events dialog's fields and the rules its OK applies before storing an event.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/settings/subkey_records.h"

namespace orva::station {

inline constexpr const char* kNoSatelliteChosen =
    "You have elected to associate this event with a single satellite, but have not selected a satellite.  Please "
    "select a satellite.";
inline constexpr const char* kSatelliteWithRegular =
    "You can not associate satellite related event with the Regular or Every Day options.";
inline constexpr const char* kLongLead =
    "This event is set to run more than 45 seconds before or after a pass.  You should note that this will hold up "
    "scheduling and you should consider if this event should be run at a time closer to the pass.";
inline constexpr const char* kNonSatelliteAtPass =
    "You can not associate a non satellite related event with the start or end of a pass.";

enum EventFormTiming : std::uint32_t {
    kBeforePass, kAfterPass, kDaily, kRegularly, kWeekDays, kWeekendDays, kStartup, kShutdown, kOnIdle, kOnEndIdle
};
enum EventFormAssociate : std::uint32_t { kNoSatellite, kSingleSatellite, kAllSatellites, kHousekeeping };

struct EventForm {
    std::string name, program, directory, time_text, satellite; // satellite: "" or "[None]" when none
    bool minutes = false; // Min checked (else Sec)
    std::uint32_t run = 0, associate = 0;
    bool active = true, display = false, minimise = true;
};

struct EventFormOutcome {
    std::optional<settings::EventRecord> record; // none: refused, nothing stored
    std::string error;                           // the refusal (caption "Error")
    std::string note;                            // shown, and the event is stored
};

EventFormOutcome check_event_form(const EventForm& form);

// The Time field as shown for a stored event: "%H%M" for the daily timings, otherwise minutes
// (Min checked) when whole, else seconds.
std::string event_time_text(std::uint32_t run, std::uint32_t time, bool& minutes);
// "%H:%M %d/%m/%y" in UTC, or "n/a" for 0.
std::string event_history_text(std::uint32_t t);

} // namespace orva::station

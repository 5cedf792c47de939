// SatTrak controllers answer a prompt ("Orva"); the station picks the satellite by name and
// changes its uplink or downlink frequency through the same prompt.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "station/rotator/dialogue_step.h"

namespace orva::station::sattrak {

inline constexpr std::string_view kLineEnds = ">\r";
inline constexpr std::size_t kLineLimit = 255;
inline constexpr std::chrono::milliseconds kTimeout{55000};
inline constexpr std::chrono::milliseconds kAfterWake{50};
inline constexpr std::chrono::milliseconds kPause{125};

// States: 1 select a satellite, 11 send the uplink, 21 send the downlink.
enum : int { kSelect = 1, kUplink = 11, kDownlink = 21 };

class PromptDialogue {
public:
    static constexpr std::string_view kOpening = "W";

    // `frequency_hz` is the frequency a state 11 or 21 dialogue sends; none when it could not be
    // read, in which case the dialogue ends without sending one.
    PromptDialogue(int state, std::string satellite, std::optional<double> frequency_hz = {});
    DialogueStep on_line(std::string_view line);
    int state() const { return state_; }

private:
    int state_;
    std::string satellite_;
    std::optional<double> frequency_;
};

} // namespace orva::station::sattrak

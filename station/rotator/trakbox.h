// TrakBox controllers. The plain "TrakBox" tracks by itself from its own database: the station
// only walks its menus to pick the satellite. "TrakBox Host" is put in host mode at start-up
// and then sent positions and frequencies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "station/rotator/aim.h"
#include "station/rotator/dialogue_step.h"
#include "station/rotator/rotator_models.h"

namespace orva::station::trakbox {

inline constexpr std::string_view kLineEnds = "\r:";
inline constexpr std::size_t kLineLimit = 255;
inline constexpr std::chrono::milliseconds kTimeout{12000};

// States: 1 choose a satellite for tracking, 11 list the satellites for "Enable Rotator",
// 41 put the host-mode controller on line. 0 is no dialogue.
enum : int { kSelect = 1, kList = 11, kHostMode = 41 };

class MenuDialogue {
public:
    // The opening bytes the host sends when it starts the dialogue.
    static constexpr std::string_view kOpening = "Q\n";

    MenuDialogue(int state, std::string satellite);
    DialogueStep on_line(std::string_view line);
    int state() const { return state_; }

private:
    int state_;
    std::string satellite_upper_;
    std::string number_;
};

std::string host_start(const StartContext& start); // "MU%c\nMD%c\n"
std::string host_tick(LastSent& last, const Aim& aim);
std::string stop(); // "Q\n" on a freshly opened port
char mode_letter(std::uint16_t mode_index);

} // namespace orva::station::trakbox

// Playing Helmo's event sounds. Qt Multimedia is not part of the suite's packages, so a wave file
// is played by the first of `paplay`, `pw-play` or `aplay` found on $PATH, without waiting; with
// none of them (or no sound device) nothing is heard and nothing fails. Beeps use the desktop's.
#pragma once

#include <string>

#include "platform/store/store.h"
#include "station/setup/option_setup.h"

namespace orva::station::app {

class SoundPlayer {
public:
    explicit SoundPlayer(const platform::Store& store) : store_(store) {}
    // What was done, for the log: "", "beep", or "play FILE with PROGRAM".
    std::string play(setup::SoundEvent event, const std::string& satellite = "");

private:
    const platform::Store& store_;
};

} // namespace orva::station::app

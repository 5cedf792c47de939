// Plays a wave file through whichever command-line player the desktop has (PipeWire, PulseAudio
// or ALSA), not waited for. A machine without a player or a sound device stays silent: a missing
// sound is never an error the operator has to answer.
#pragma once

#include <filesystem>
#include <string>

#include "platform/launcher.h"

namespace orva::platform {

class SoundPlayer {
public:
    explicit SoundPlayer(Launcher launcher = Launcher()) : launcher_(std::move(launcher)) {}
    // The player started, or an empty string when none could be (no file, no player).
    std::string play_wave(const std::filesystem::path& wave) const;

private:
    Launcher launcher_;
};

} // namespace orva::platform

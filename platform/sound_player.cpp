#include "platform/sound_player.h"

#include <system_error>

namespace orva::platform {

std::string SoundPlayer::play_wave(const std::filesystem::path& wave) const
{
    std::error_code ec;
    if (wave.empty() || !std::filesystem::is_regular_file(wave, ec))
        return {};
    for (const char* player : {"pw-play", "paplay", "aplay"}) {
        std::vector<std::string> words{player};
        if (std::string(player) == "aplay")
            words.push_back("-q");
        words.push_back(wave.string());
        if (auto p = launcher_.start(words))
            return player; // reaped in the background when it ends
    }
    return {};
}

} // namespace orva::platform

#include "station/app/setup/sound_player.h"

#include <QApplication>

#include "platform/sound_player.h"

namespace orva::station::app {

std::string SoundPlayer::play(setup::SoundEvent event, const std::string& satellite)
{
    auto choice = setup::sound_for(store_, event, satellite);
    if (!choice)
        return "";
    if (choice->kind != setup::SoundChoice::Kind::Wave) {
        QApplication::beep();
        return "beep";
    }
    if (std::string player = platform::SoundPlayer().play_wave(choice->wave); !player.empty())
        return "play " + choice->wave + " with " + player;
    return "";
}

} // namespace orva::station::app

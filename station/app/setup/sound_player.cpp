#include "station/app/setup/sound_player.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>

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
    for (const char* player : {"paplay", "pw-play", "aplay"}) {
        QString exe = QStandardPaths::findExecutable(player);
        if (exe.isEmpty())
            continue;
        // Detached: the sound plays on while the station goes on; a player without a device just ends.
        if (QProcess::startDetached(exe, {QString::fromStdString(choice->wave_file)}))
            return "play " + choice->wave_file + " with " + player;
    }
    return "";
}

} // namespace orva::station::app

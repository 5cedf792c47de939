#include "common/settings/event_sound.h"

#include <filesystem>

namespace orva::settings {

SoundChoice choose_sound(const GeneralSettings& g, SoundEvent event, std::string_view satellite)
{
    std::uint32_t on = 0;
    const std::string* wave = nullptr;
    switch (event) {
    case SoundEvent::Error: on = g.error_sound; wave = &g.error_wav; break;
    case SoundEvent::PrePass: on = g.prepass_sound; wave = &g.prepass_wav; break;
    case SoundEvent::NewMail: on = g.new_mail_sound; wave = &g.new_mail_wav; break;
    case SoundEvent::NewDownload: on = g.new_dl_sound; wave = &g.new_dl_wav; break;
    case SoundEvent::TrackAos: on = g.track_aos_sound; wave = &g.track_aos_wav; break;
    }
    if (!on || !wave)
        return {};
    if (g.sound_type == 2) {
        if (event == SoundEvent::Error)
            return {SoundChoice::Kind::ExclamationBeep, {}};
        if (event == SoundEvent::PrePass || event == SoundEvent::TrackAos)
            return {SoundChoice::Kind::QuestionBeep, {}};
        return {};
    }
    if (g.sound_type != 3)
        return {};
    if (event == SoundEvent::PrePass && g.prepass_sat_wav && !satellite.empty())
        return {SoundChoice::Kind::Wave,
                (std::filesystem::path(g.orva_directory) / (std::string(satellite) + ".WAV")).string()};
    if (wave->empty())
        return {};
    return {SoundChoice::Kind::Wave, *wave};
}

} // namespace orva::settings

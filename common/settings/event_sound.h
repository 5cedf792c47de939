// Which sound an event of the suite makes, by the suite's sound settings: none, one of the
// system's beeps, or a wave file.
#pragma once

#include <string>
#include <string_view>

#include "common/settings/suite_settings.h"

namespace orva::settings {

enum class SoundEvent { Error = 1, PrePass = 2, NewMail = 3, NewDownload = 4, TrackAos = 5 };

struct SoundChoice {
    enum class Kind { None, ExclamationBeep, QuestionBeep, Wave } kind = Kind::None;
    std::string wave; // with Kind::Wave
    bool operator==(const SoundChoice&) const = default;
};

// The event's switch off (or missing) is silence; "Sound Type" 2 beeps for errors (exclamation),
// pre-pass and tracking AOS (question); 3 plays the event's wave file, or for pre-pass with
// "PrePass Sat WAV" the satellite's "<Orva Directory>/<satellite>.WAV".
SoundChoice choose_sound(const GeneralSettings& general, SoundEvent event, std::string_view satellite = {});

} // namespace orva::settings

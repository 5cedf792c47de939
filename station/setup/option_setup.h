// The suite's option dialogs as forms over one key each: "General Setup", "Quillet Setup",
// "Brek Setup", "Dispo Setup", "Tessel Setup" and "Setup Sounds". Each shows the stored values
// (the page's own defaults where a value is missing) and writes every value on OK.
#pragma once

#include "common/settings/event_sound.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/store/store.h"
#include "station/setup/form.h"

namespace orva::station::setup {

// The values of one option form, by store value name.
struct OptionValues {
    std::map<std::string, std::uint32_t> numbers;
    std::map<std::string, std::string> texts;
};

struct OptionField {
    FormField<OptionValues> field;
    const char* key;            // the store key the value lives in
    bool text = false;          // a string value, else a 32-bit number
    std::uint32_t default_number = 0;
    std::string default_text;
    bool directory = false;     // normalised on save; `create` also creates it
    bool create = false;
};

struct OptionForm {
    std::string title;
    std::vector<OptionField> fields;
    std::vector<FormField<OptionValues>> form() const; // the rows for apply_text/find_form_field
};

const OptionForm& general_setup_form();
const OptionForm& quillet_setup_form();
const OptionForm& brek_setup_form();
inline constexpr const char* kAllSpacecraft = "[All]"; // stored as an empty "Update Spacecraft"
const OptionForm& dispo_setup_form(); // "Spacecraft": any name, "[All]" stored as empty
// "[All]", then the PacSat satellites of the store in its order, then the stored name when it
// is none of them.
std::vector<std::string> spacecraft_choices(const platform::Store& store);
// The dialog's form: "Spacecraft" is a choice of spacecraft_choices().
OptionForm dispo_setup_form(const platform::Store& store);
const OptionForm& tessel_setup_form();
const OptionForm& sounds_setup_form();

OptionValues read_options(const platform::Store& store, const OptionForm& form);
struct OptionSave {
    std::vector<std::string> messages; // "Unable to create directory ..."
};
// Writes every value; the first failed write is the error (and the dialog stays open).
Result<OptionSave> write_options(platform::Store& store, const OptionForm& form, OptionValues values);

// Which sound an event of Helmo makes, by the "Setup Sounds" values as the store holds them now
// (the suite's one rule); none: silence.
using settings::SoundChoice;
using settings::SoundEvent;
std::optional<SoundChoice> sound_for(const platform::Store& store, SoundEvent event, const std::string& satellite = "");

} // namespace orva::station::setup

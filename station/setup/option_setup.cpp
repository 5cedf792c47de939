#include "station/setup/option_setup.h"

#include <filesystem>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"

namespace orva::station::setup {

namespace keys = settings::keys;
using V = OptionValues;
using F = FormField<V>;

namespace {

OptionField flag(const char* key, const char* label, const char* value, std::uint32_t def)
{
    std::string name = value;
    return {F{"", label, value, Input::Flag, 0, {}, [name](const V& v) { return v.numbers.at(name) ? "1" : "0"; },
              [name](V& v, const std::string& t) { v.numbers[name] = t == "1" ? 1 : 0; }},
            key, false, def, {}};
}

OptionField digits(const char* key, const char* label, const char* value, int limit, std::uint32_t def,
                   std::uint32_t scale = 1)
{
    std::string name = value;
    return {F{"", label, value, Input::Digits, limit, {}, [name, scale](const V& v) { return std::to_string(v.numbers.at(name) / scale); },
              [name, scale](V& v, const std::string& t) { v.numbers[name] = digits_value(t) * scale; }},
            key, false, def, {}};
}

// A list: position i is stored as codes[i]; a stored number not in the list shows as `shown_for_other`.
OptionField choice(const char* key, const char* label, const char* value, std::vector<std::string> texts,
                   std::vector<std::uint32_t> codes, std::uint32_t def, std::optional<std::size_t> shown_for_other = {})
{
    std::string name = value;
    return {F{"", label, value, Input::Choice, 0, texts,
              [name, texts, codes, shown_for_other](const V& v) {
                  std::uint32_t n = v.numbers.at(name);
                  for (std::size_t i = 0; i < codes.size(); ++i)
                      if (codes[i] == n)
                          return texts[i];
                  return shown_for_other ? texts[*shown_for_other] : std::string();
              },
              [name, texts, codes](V& v, const std::string& t) { v.numbers[name] = codes[*choice_index(texts, t)]; }},
            key, false, def, {}};
}

OptionField text(const char* key, const char* label, const char* value, int limit, std::string def = "")
{
    std::string name = value;
    return {F{"", label, value, Input::Text, limit, {}, [name](const V& v) { return v.texts.at(name); },
              [name](V& v, const std::string& t) { v.texts[name] = t; }},
            key, true, 0, def};
}

OptionField directory(const char* key, const char* label, const char* value, bool create)
{
    OptionField f = text(key, label, value, 259);
    f.directory = true;
    f.create = create;
    return f;
}

} // namespace

std::vector<FormField<OptionValues>> OptionForm::form() const
{
    std::vector<F> out;
    for (const auto& f : fields)
        out.push_back(f.field);
    return out;
}

const OptionForm& general_setup_form()
{
    static const OptionForm f{"General Setup",
                              {
                                  flag(keys::helmo, "Send message before pass", "Message Pop Ups", 1),
                                  digits(keys::helmo, "Time before pass to send message", "Pop Up Time", 2, 180, 60),
                                  digits(keys::helmo, "Time after pass to close Brek", "Pass End Time", 2, 10),
                                  digits(keys::helmo, "Number of days to schedule", "Schedule Days", 2, 1),
                                  flag(keys::helmo, "Display run satellite on map", "Map Display", 1),
                                  directory(keys::general, "Orva Program Directory", "Orva Directory", true),
                                  choice(keys::helmo, "Display times in", "Display Time", {"UTC", "Local"}, {1, 0}, 1, 0),
                              }};
    return f;
}

const OptionForm& quillet_setup_form()
{
    static const OptionForm f{"Quillet Setup",
                              {
                                  text(keys::quillet, "Signature File", "Signature", 13),
                                  text(keys::quillet, "Greeting", "Greeting", 29, "Hello"),
                                  text(keys::quillet, "Editor name", "Editor", 259, "NOTEPAD.EXE"),
                                  directory(keys::quillet, "Source save directory", "Source Save Directory", false),
                                  digits(keys::quillet, "Message expiry time", "Message Expiry Days", 2, 2),
                                  digits(keys::quillet, "Compression threshold", "Compression Threshold", 6, 1008),
                                  choice(keys::quillet, "Compression type", "Compression Type", {"None", "PKZIP", "LHArc"},
                                         {0, 2, 3}, 2, 0),
                                  flag(keys::quillet, "Remove message source", "Remove Source", 0),
                                  flag(keys::quillet, "Copy original file", "Copy Original", 0),
                              }};
    return f;
}

const OptionForm& brek_setup_form()
{
    static const OptionForm f{"Brek Setup",
                              {
                                  flag(keys::brek, "Maximise upload pop up", "Maximise Upload", 1),
                                  choice(keys::brek, "Sat Change", "Switching", {"Automatic", "Manual", "Ask First"},
                                         {0, 1, 2}, 1, 1),
                              }};
    return f;
}

const OptionForm& dispo_setup_form()
{
    OptionField spacecraft = text(keys::dispo, "Spacecraft", "Update Spacecraft", 19);
    spacecraft.field.show = [](const V& v) {
        const std::string& s = v.texts.at("Update Spacecraft");
        return s.empty() ? std::string(kAllSpacecraft) : s;
    };
    spacecraft.field.store = [](V& v, const std::string& t) {
        v.texts["Update Spacecraft"] = same_text_ignoring_case(t, kAllSpacecraft) ? "" : t;
    };
    static const OptionForm f{"Dispo Setup",
                              {
                                  flag(keys::dispo, "Decompress binary files", "Decompress Binaries", 0),
                                  flag(keys::dispo, "Allow reading of personal messages", "View Mine", 1),
                                  flag(keys::dispo, "Add a header to received messages", "Add Header", 1),
                                  flag(keys::dispo, "Process Keps to original filename", "Process Keps", 1),
                                  flag(keys::dispo, "Place all BBS files in BBS dir.", "Process BBS", 0),
                                  choice(keys::dispo, "Automatic keps update", "Update Keps",
                                         {"Don't automatically update", "Update only with ORBSxxxA.ELE",
                                          "Update with any keps file"},
                                         {3, 1, 2}, 1, 1),
                                  flag(keys::dispo, "Add any new satellites", "Keps Append", 0),
                                  text(keys::dispo, "Source Callsign", "Update Callsign", 9),
                                  spacecraft,
                              }};
    return f;
}

std::vector<std::string> spacecraft_choices(const platform::Store& store)
{
    std::vector<std::string> names{kAllSpacecraft};
    for (const auto& sub : store.subkeys(keys::satellites)) {
        settings::SatelliteRecord r = settings::read_satellite_key(store, platform::join_key_path(keys::satellites, sub));
        if (r.type() == settings::SatelliteType::PacSat && !r.name.empty() && !choice_index(names, r.name))
            names.push_back(r.name);
    }
    // A stored name that is no PacSat satellite of this station (deleted, retyped, or set by
    // hand) stays a choice, so that OK writes it back instead of losing it.
    std::string stored = store.read_string(keys::dispo, "Update Spacecraft", 20).value_or("");
    if (!stored.empty() && !choice_index(names, stored))
        names.push_back(stored);
    return names;
}

OptionForm dispo_setup_form(const platform::Store& store)
{
    OptionForm f = dispo_setup_form();
    for (OptionField& o : f.fields) {
        if (std::string_view(o.field.value) != "Update Spacecraft")
            continue;
        std::vector<std::string> names = spacecraft_choices(store);
        o.field.input = Input::Choice;
        o.field.choices = names;
        o.field.show = [names](const V& v) {
            const std::string& s = v.texts.at("Update Spacecraft");
            if (s.empty())
                return std::string(kAllSpacecraft);
            auto i = choice_index(names, s);
            return i ? names[*i] : s;
        };
    }
    return f;
}

const OptionForm& tessel_setup_form()
{
    static const OptionForm f{"Tessel Setup",
                              {
                                  digits(keys::tessel, "Maximum PFH files to load", "Maximum PFH Files", 4, 3),
                                  digits(keys::tessel, "Maximum messages to load", "Maximum Messages", 4, 450),
                                  flag(keys::tessel, "Mark files NEVER after deleting", "Mark Never", 1),
                                  flag(keys::tessel, "Load BBS messages into Tessel", "Load BBS", 1),
                                  flag(keys::tessel, "Confirm message deletion", "Confirm Delete", 1),
                              }};
    return f;
}

const OptionForm& sounds_setup_form()
{
    static const OptionForm f{"Setup Sounds",
                              {
                                  choice(keys::general, "Sounds", "Sound Type", {"No sounds", "Beeps only", "WAV sounds"},
                                         {1, 2, 3}, 1, 0),
                                  flag(keys::general, "Errors", "Error Sound", 0),
                                  text(keys::general, "Errors WAV", "Error WAV", 259),
                                  flag(keys::general, "Pre pass", "PrePass Sound", 1),
                                  text(keys::general, "Pre pass WAV", "PrePass WAV", 259),
                                  flag(keys::general, "New Mail", "New Mail Sound", 1),
                                  text(keys::general, "New Mail WAV", "New Mail WAV", 259),
                                  flag(keys::general, "New DL", "New DL Sound", 0),
                                  text(keys::general, "New DL WAV", "New DL WAV", 259),
                                  flag(keys::general, "Track AOS", "Track AOS Sound", 0),
                                  text(keys::general, "Track AOS WAV", "Track AOS WAV", 259),
                                  flag(keys::general, "Different pre-pass WAV per satellite", "PrePass Sat WAV", 0),
                              }};
    return f;
}

OptionValues read_options(const platform::Store& store, const OptionForm& form)
{
    OptionValues v;
    for (const auto& f : form.fields) {
        if (f.text)
            v.texts[f.field.value] = store.read_string(f.key, f.field.value, 260).value_or(f.default_text);
        else
            v.numbers[f.field.value] = store.read_integer(f.key, f.field.value).value_or(f.default_number);
    }
    return v;
}

Result<OptionSave> write_options(platform::Store& store, const OptionForm& form, OptionValues values)
{
    OptionSave save;
    for (const auto& f : form.fields) {
        Status s;
        if (f.text) {
            std::string& t = values.texts[f.field.value];
            if (f.directory)
                t = f.create ? settings::prepare_directory(t, save.messages) : settings::normalise_directory(t);
            s = store.write_string(f.key, f.field.value, t);
        } else {
            s = store.write_integer(f.key, f.field.value, values.numbers[f.field.value]);
        }
        if (!s)
            return s.error();
    }
    return save;
}

std::optional<SoundChoice> sound_for(const platform::Store& store, SoundEvent event, const std::string& satellite)
{
    SoundChoice c = settings::choose_sound(settings::read_general(store, settings::Program::Helmo), event, satellite);
    if (c.kind == SoundChoice::Kind::None)
        return std::nullopt;
    return c;
}

} // namespace orva::station::setup

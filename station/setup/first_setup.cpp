#include "station/setup/first_setup.h"

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <span>

#include "common/elements/kep_database.h"
#include "common/elements/observer_file.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "station/setup/option_setup.h"
#include "station/setup/station_setup.h"

namespace orva::station::setup {

namespace fs = std::filesystem;
namespace keys = settings::keys;

namespace {

constexpr std::size_t kCallsignLimit = 9;   // the Position page's
constexpr std::size_t kDirectoryLimit = 259; // "Orva Directory" is read with 260 bytes

std::string trimmed(std::string_view t)
{
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front())))
        t.remove_prefix(1);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back())))
        t.remove_suffix(1);
    return std::string(t);
}

// "~" and "~/..." name the home folder; any other relative name is taken from the current folder.
Result<fs::path> absolute_folder(std::string_view text)
{
    std::string t = trimmed(text);
    if (t.empty())
        return make_error("give the Orva folder");
    if (t == "~" || t.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        if (!home || !*home)
            return make_error("\"" + t + "\" names the home folder, but HOME is not set");
        t = std::string(home) + t.substr(1);
    }
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(t), ec);
    if (ec)
        return make_error("cannot use the folder \"" + t + "\": " + ec.message());
    return fs::path(settings::normalise_directory(p.lexically_normal().string()));
}

std::string degrees(double v)
{
    char b[64];
    std::snprintf(b, sizeof b, "%lf", std::fabs(v));
    return b;
}

// The callsign and position as the Position page takes them: typed text through its own rows,
// so the stored bytes are what the Station sheet stores for the same entry.
Result<StationForm> station_values(const platform::Store& store, const std::string& callsign, const GeoPosition& at)
{
    StationForm form = read_station_form(store);
    const std::pair<const char*, std::string> typed[] = {
        {"Callsign", callsign},
        {"Latitude", degrees(at.latitude)},
        {"North/South", at.latitude < 0 ? "South" : "North"},
        {"Longitude", degrees(at.longitude)},
        {"East/West", at.longitude > 0 ? "East" : "West"},
    };
    for (const auto& [field, text] : typed)
        if (Status s = apply_text(*find_form_field(station_form(), field), form, text); !s)
            return s.error();
    return form;
}

// The defaults the installer leaves in a fixed key: the readers' own, except where an option page
// edits the value, which then starts as the page shows it.
template <class R>
R with_page_defaults(R record, std::span<const settings::Field<R>> table, std::string_view key)
{
    for (const OptionForm* form : {&general_setup_form(), &sounds_setup_form(), &quillet_setup_form(),
                                   &brek_setup_form(), &dispo_setup_form(), &tessel_setup_form()}) {
        for (const OptionField& o : form->fields) {
            if (key != o.key || o.directory)
                continue;
            const settings::Field<R>* f = settings::find_field(table, o.field.value);
            if (!f)
                continue;
            if (auto text = std::get_if<std::string R::*>(&f->member); text && o.text)
                record.**text = o.default_text;
            else if (auto number = std::get_if<std::uint32_t R::*>(&f->member); number && !o.text)
                record.**number = o.default_number;
        }
    }
    return record;
}

// Creates the key and writes each of its values that is missing; a value that is there, of any
// type, is the operator's and stays.
template <class R>
Status write_missing(platform::Store& store, const char* key, std::span<const settings::Field<R>> table, const R& defaults)
{
    if (auto created = store.create_key(key); !created)
        return created.error();
    for (const auto& f : table)
        if (!store.read_value(key, f.name))
            if (Status s = settings::write_field(store, key, f, defaults); !s)
                return s;
    return {};
}

template <class R>
Status write_missing(platform::Store& store, const char* key, std::span<const settings::Field<R>> table)
{
    return write_missing(store, key, table, with_page_defaults(R{}, table, key));
}

Status create_key(platform::Store& store, const char* key)
{
    if (auto created = store.create_key(key); !created)
        return created.error();
    return {};
}

Status write_fixed_keys(platform::Store& store, const std::string& orva_directory)
{
    using namespace settings;
    const std::function<Status()> steps[] = {
        [&] { return write_missing(store, keys::station, station_fields()); },
        [&] { return write_missing(store, keys::helmo, helmo_fields()); },
        [&] { return create_key(store, keys::helmo_programs); },
        [&] { return create_key(store, keys::helmo_events); },
        [&] { return create_key(store, keys::satellites); },
        [&] { return write_missing(store, keys::rotator, rotator_fields()); },
        [&] { return create_key(store, keys::transverters); },
        [&] { return write_missing(store, keys::quillet, quillet_fields()); },
        [&] { return write_missing(store, keys::dispo, dispo_fields()); },
        [&] { return write_missing(store, keys::tessel, tessel_fields()); },
        [&] { return write_missing(store, keys::brek, brek_fields()); },
        // Last: Helmo takes a store with this key for one that is set up.
        [&] { return store.write_string(keys::general, "Orva Directory", orva_directory); },
        [&] { return write_missing(store, keys::general, general_fields()); },
    };
    for (const auto& step : steps)
        if (Status s = step(); !s)
            return s;
    return {};
}

} // namespace

std::string default_orva_directory()
{
    // A relative XDG_DATA_HOME is to be ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return (fs::path(data) / "orva").lexically_normal().string();
    if (const char* home = std::getenv("HOME"); home && *home)
        return (fs::path(home) / ".local" / "share" / "orva").lexically_normal().string();
    return {};
}

Result<std::string> check_callsign(std::string_view text)
{
    std::string call = trimmed(text);
    if (call.empty())
        return make_error("give the station's callsign");
    if (call.size() > kCallsignLimit)
        return make_error("the callsign \"" + call + "\" has more than 9 characters");
    bool letter = false, digit = false;
    for (char& c : call) {
        unsigned char u = static_cast<unsigned char>(c);
        if (std::isalpha(u) && u < 0x80)
            letter = true;
        else if (std::isdigit(u))
            digit = true;
        else if (c != '/' && c != '-')
            return make_error("the callsign \"" + call + "\" may hold only letters, digits, \"/\" and \"-\"");
        c = static_cast<char>(std::toupper(u));
    }
    if (!letter || !digit)
        return make_error("\"" + call + "\" is not a callsign: a callsign has letters and a digit");
    return call;
}

std::optional<SetupProblem> check_first_setup(const FirstSetup& setup)
{
    if (auto call = check_callsign(setup.callsign); !call)
        return SetupProblem{SetupField::Callsign, call.error().message};
    const GeoPosition& p = setup.position;
    if (!std::isfinite(p.latitude) || std::fabs(p.latitude) > 90)
        return SetupProblem{SetupField::Position, "the latitude must be between 90 S and 90 N"};
    if (!std::isfinite(p.longitude) || std::fabs(p.longitude) > 180)
        return SetupProblem{SetupField::Position, "the longitude must be between 180 W and 180 E"};
    auto folder = absolute_folder(setup.orva_directory);
    if (!folder)
        return SetupProblem{SetupField::Folder, folder.error().message};
    const std::string dir = folder->string();
    if (dir.size() > kDirectoryLimit)
        return SetupProblem{SetupField::Folder, "the folder name \"" + dir + "\" is longer than 259 characters"};
    std::error_code ec;
    if (fs::exists(*folder, ec) && !fs::is_directory(*folder, ec))
        return SetupProblem{SetupField::Folder, "\"" + dir + "\" is a file, not a folder"};
    if (fs::is_directory(*folder, ec) && ::access(dir.c_str(), W_OK | X_OK) != 0)
        return SetupProblem{SetupField::Folder, "cannot write in the folder \"" + dir + "\""};
    return std::nullopt;
}

FirstSetupResult write_first_setup(platform::Store& store, const FirstSetup& setup)
{
    FirstSetupResult out;
    if ((out.problem = check_first_setup(setup)))
        return out;
    auto refuse = [&out](SetupField field, std::string message) {
        out.problem = SetupProblem{field, std::move(message)};
        return out;
    };
    const fs::path folder = *absolute_folder(setup.orva_directory);
    out.orva_directory = folder.string();

    auto form = station_values(store, *check_callsign(setup.callsign), setup.position);
    if (!form)
        return refuse(SetupField::Position, form.error().message);
    out.latitude = form->south ? -form->latitude : form->latitude;
    out.longitude_west = form->east ? -form->longitude : form->longitude;

    // The folder and its files first: a folder that cannot be made leaves the store untouched.
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder))
        return refuse(SetupField::Folder, "Unable to create directory \"" + out.orva_directory + "\"" +
                                              (ec ? ": " + ec.message() : std::string()));
    if (::access(out.orva_directory.c_str(), W_OK | X_OK) != 0)
        return refuse(SetupField::Folder, "cannot write in the folder \"" + out.orva_directory + "\"");
    const fs::path kep = elements::kep_database_path(folder);
    if (!fs::exists(kep, ec))
        if (Status s = elements::KepDatabase{}.save(kep); !s)
            return refuse(SetupField::Folder, s.error().message);
    elements::ObserverFile places(elements::observer_file_path(folder));
    if (auto s = places.store_observer({form->callsign, out.latitude, out.longitude_west == 0 ? 0.0 : -out.longitude_west,
                                        form->altitude});
        !s)
        return refuse(SetupField::Folder, s.error().message);

    if (auto saved = write_station_form(store, *form); !saved)
        return refuse(SetupField::Store, saved.error().message);
    if (Status s = write_fixed_keys(store, out.orva_directory); !s)
        return refuse(SetupField::Store, s.error().message);
    return out;
}

} // namespace orva::station::setup

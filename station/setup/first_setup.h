// A station's first setup, as the suite's installer leaves it: the callsign, the position and the
// Orva folder, and every fixed key of the store with its defaults. Helmo's first start and
// `orva setup` both write through here, so the two store the same bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/store/store.h"
#include "station/setup/locator.h"

namespace orva::station::setup {

struct FirstSetup {
    std::string callsign;
    GeoPosition position; // north and east positive
    std::string orva_directory;
};

// "$XDG_DATA_HOME/orva", else "~/.local/share/orva".
std::string default_orva_directory();

// The callsign as the station stores it (upper case), or why it cannot be one.
Result<std::string> check_callsign(std::string_view text);

// Store: the store could not be written (the other fields name what the operator can correct).
enum class SetupField { Callsign, Position, Folder, Store };
struct SetupProblem {
    SetupField field;
    std::string message;
};
// What the setup would refuse, found before anything is written.
std::optional<SetupProblem> check_first_setup(const FirstSetup& setup);

struct FirstSetupResult {
    std::optional<SetupProblem> problem; // none: done
    std::string orva_directory;          // absolute, as stored
    double latitude = 0, longitude_west = 0; // as stored
    bool ok() const { return !problem; }
};
// Creates the folder with an empty element database and the station in the observer file; writes
// the callsign and position as the Station sheet's Position page stores them, then every value of
// the fixed keys that the store lacks with the default the installer leaves (an option page's own
// where a page edits the value), "SOFTWARE\Orva\General" last: a store that has that key is set
// up. Values already stored are kept, except the callsign, the position and "Orva Directory".
// A refusal (check_first_setup, or a folder that cannot be made) writes nothing to the store.
FirstSetupResult write_first_setup(platform::Store& store, const FirstSetup& setup);

} // namespace orva::station::setup

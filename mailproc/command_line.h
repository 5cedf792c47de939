// Dispo's command line: "S~" satellite and "F~" file name or wildcard, anywhere in the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orva::mailproc {

struct DispoCommand {
    std::optional<std::string> satellite; // S~
    std::optional<std::string> pattern;   // F~
};

// Each value ends at the next blank and keeps at most 13 characters.
DispoCommand parse_dispo_command(std::string_view text);
// The argument vector (without the program) joined with blanks, as one command text.
DispoCommand parse_dispo_command(int argc, char** argv);

} // namespace orva::mailproc

// Command texts as the suite writes them ("BREK.EXE AO-16", "%s\DISPO.EXE S~%s F~*.DL"), turned
// into argument vectors. Nothing here goes near a shell: ";", "$()", "*" and the like are data.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace orva::platform {

// The satellite's "Program" text with its name in place of each "%S" or "%s". The rest of the
// text is kept exactly as written (paths keep their capitals), any other "%" stays literal, and a
// result longer than `max_length` characters is an error rather than a cut-off command.
Result<std::string> substitute_satellite_name(std::string_view program_text, std::string_view name,
                                              std::size_t max_length = 259);

// Words separated by blanks, tabs, carriage returns and line feeds; a double-quoted stretch
// keeps its blanks (the quotes are dropped; \" inside quotes is a quote). Backslashes are
// otherwise literal, so DOS paths survive. Empty text, or an unclosed quote, is an error.
Result<std::vector<std::string>> split_command_line(std::string_view text);

// Quotes a word when needed so that split_command_line gives it back unchanged.
std::string quote_argument(std::string_view word);

} // namespace orva::platform

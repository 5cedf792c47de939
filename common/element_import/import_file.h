// The station's Update Satellite Database command without its dialogs: reads an element file and
// merges it into the database under the database lock.
#pragma once

#include <filesystem>

#include "platform/result.h"
#include "common/element_import/element_import.h"

namespace orva::station {

inline constexpr const char* kKepsFileUnopened = "Keps file unable to be opened";

// The error carries kKepsFileUnopened when the text file cannot be read, and the database's
// own message when that cannot be read; in both cases nothing is written.
Result<ImportResult> import_elements_file(const std::filesystem::path& database,
                                          const std::filesystem::path& text_file, ElementFormat format,
                                          const MergeRules& rules = {});

} // namespace orva::station

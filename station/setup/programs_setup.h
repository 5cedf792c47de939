// The user's Programs menu: entries below "SOFTWARE\Orva\Helmo\Programs", edited by the
// "Setup Programs" dialog and started by their menu title.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/settings/subkey_records.h"
#include "platform/store/store.h"

namespace orva::station::setup {

inline constexpr std::size_t kMaxProgramEntries = 100;
inline constexpr std::uint32_t kFirstProgramCommand = 501;

// (key path, entry) in the store's order, at most 100.
std::vector<std::pair<std::string, settings::ToolbarProgram>> program_entries(const platform::Store& store);

// OK of "Setup Programs": the entry whose "Name" is `entry.name` (letter case counts) takes the
// four values, else a new key numbered by the never-decreasing "Programs" counter. The key path
// written is returned.
Result<std::string> save_program_entry(platform::Store& store, const settings::ToolbarProgram& entry);
Status delete_program_entry(platform::Store& store, const std::string& key_path);

// The first entry with that exact menu title.
Result<settings::ToolbarProgram> find_program_entry(const platform::Store& store, const std::string& title);

} // namespace orva::station::setup

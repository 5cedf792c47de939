#include "station/setup/programs_setup.h"

namespace orva::station::setup {

std::vector<std::pair<std::string, settings::ToolbarProgram>> program_entries(const platform::Store& store)
{
    auto all = settings::read_toolbar_programs(store);
    if (all.size() > kMaxProgramEntries)
        all.resize(kMaxProgramEntries);
    return all;
}

Result<std::string> save_program_entry(platform::Store& store, const settings::ToolbarProgram& entry)
{
    if (entry.name.empty())
        return make_error("Give the program a menu title.");
    if (entry.name.size() > 29)
        return make_error("\"Menu Title\" takes at most 29 characters");
    std::string key;
    for (const auto& [path, p] : program_entries(store))
        if (p.name == entry.name) {
            key = path;
            break;
        }
    settings::ToolbarProgram p = entry;
    if (key.empty()) {
        auto created = settings::create_toolbar_program_key(store);
        if (!created)
            return created.error();
        key = *created;
    } else {
        // The dialog edits four values; a "Run" added by hand stays.
        p.run = store.read_integer(key, "Run").value_or(2);
    }
    for (Status s : {store.write_string(key, "Name", p.name), store.write_string(key, "Directory", p.directory),
                     store.write_string(key, "FileName", p.file_name), store.write_integer(key, "Toolbar", p.toolbar)})
        if (!s)
            return s.error();
    return key;
}

Status delete_program_entry(platform::Store& store, const std::string& key_path) { return store.delete_key(key_path); }

Result<settings::ToolbarProgram> find_program_entry(const platform::Store& store, const std::string& title)
{
    for (const auto& [path, p] : program_entries(store))
        if (p.name == title)
            return p;
    return make_error("There is no program \"" + title + "\" in the Programs menu.");
}

} // namespace orva::station::setup

#include "common/settings/subkey_records.h"

#include "common/settings/field_table.h"
#include "common/settings/keys.h"

namespace orva::settings {

namespace {

using K = Kind;

const Field<TransverterRecord> transverter_table[] = {
    {"Name", K::String, 260, &TransverterRecord::name},
    {"Program", K::String, 260, &TransverterRecord::program},
    {"Start Freq", K::Double, 0, &TransverterRecord::start_freq},
    {"Finish Freq", K::Double, 0, &TransverterRecord::finish_freq},
    {"TX IF", K::Double, 0, &TransverterRecord::tx_if},
    {"RX IF", K::Double, 0, &TransverterRecord::rx_if},
    {"RX", K::Binary32, 0, &TransverterRecord::rx},
    {"TX", K::Binary32, 0, &TransverterRecord::tx},
};

const Field<ToolbarProgram> program_table[] = {
    {"Name", K::String, 260, &ToolbarProgram::name},
    {"Directory", K::String, 260, &ToolbarProgram::directory},
    {"FileName", K::String, 260, &ToolbarProgram::file_name},
    {"Toolbar", K::Integer, 0, &ToolbarProgram::toolbar},
    {"Run", K::Integer, 0, &ToolbarProgram::run},
};

const Field<EventRecord> event_table[] = {
    {"Name", K::String, 260, &EventRecord::name},
    {"Program", K::String, 260, &EventRecord::program},
    {"Directory", K::String, 260, &EventRecord::directory},
    {"Satellite", K::String, 260, &EventRecord::satellite},
    {"Display", K::Integer, 0, &EventRecord::display},
    {"Associate", K::Integer, 0, &EventRecord::associate},
    {"Time", K::Integer, 0, &EventRecord::time},
    {"Run", K::Integer, 0, &EventRecord::run},
    {"Active", K::Integer, 0, &EventRecord::active},
    {"Minimise", K::Integer, 0, &EventRecord::minimise},
    {"Last Run Time", K::Integer, 0, &EventRecord::last_run_time},
    {"Last Success Time", K::Integer, 0, &EventRecord::last_success_time},
    {"Last Return", K::Integer, 0, &EventRecord::last_return},
};

template <class R, std::size_t N>
std::vector<std::pair<std::string, R>> read_all(const platform::Store& store, const char* parent, const Field<R> (&table)[N])
{
    std::vector<std::pair<std::string, R>> out;
    for (const auto& sub : store.subkeys(parent)) {
        std::string path = platform::join_key_path(parent, sub);
        R record;
        read_fields(store, path, std::span<const Field<R>>(table), record);
        out.emplace_back(path, std::move(record));
    }
    return out;
}

} // namespace

std::vector<std::pair<std::string, TransverterRecord>> read_transverters(const platform::Store& store)
{
    return read_all(store, keys::transverters, transverter_table);
}

std::vector<std::pair<std::string, ToolbarProgram>> read_toolbar_programs(const platform::Store& store)
{
    return read_all(store, keys::helmo_programs, program_table);
}

std::vector<std::pair<std::string, EventRecord>> read_events(const platform::Store& store)
{
    return read_all(store, keys::helmo_events, event_table);
}

Status write_transverter(platform::Store& store, const TransverterRecord& t)
{
    if (t.name.empty() || t.name.find('\\') != std::string::npos)
        return make_error("invalid transverter name \"" + t.name + "\"");
    return write_fields(store, platform::join_key_path(keys::transverters, t.name),
        std::span<const Field<TransverterRecord>>(transverter_table), t);
}

Status write_toolbar_program(platform::Store& store, const std::string& key_path, const ToolbarProgram& p)
{
    return write_fields(store, key_path, std::span<const Field<ToolbarProgram>>(program_table), p);
}

Result<std::string> create_toolbar_program_key(platform::Store& store)
{
    std::uint32_t count = store.read_integer(keys::helmo, "Programs").value_or(0);
    for (std::uint32_t n = count + 1; n < count + platform::max_enumeration; ++n) {
        std::string path = std::string(keys::helmo_programs) + "\\Program " + std::to_string(n);
        auto created = store.create_key(path);
        if (!created)
            return created.error();
        if (!*created)
            continue;
        if (auto s = store.write_integer(keys::helmo, "Programs", n); !s)
            return s.error();
        return path;
    }
    return make_error("no free toolbar program key");
}

Status write_event(platform::Store& store, const std::string& key_path, const EventRecord& e)
{
    return write_fields(store, key_path, std::span<const Field<EventRecord>>(event_table), e);
}

Status write_event_result(platform::Store& store, const std::string& key_path, std::uint32_t run_time,
    std::uint32_t success_time, std::uint32_t last_return)
{
    if (auto s = store.write_integer(key_path, "Last Run Time", run_time); !s)
        return s;
    if (auto s = store.write_integer(key_path, "Last Success Time", success_time); !s)
        return s;
    return store.write_integer(key_path, "Last Return", last_return);
}

} // namespace orva::settings

#include "station/web/station_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/file_names.h"
#include "common/json_writer.h"
#include "common/settings/satellite_record.h"
#include "dirview/directory_config.h"
#include "dirview/directory_model.h"
#include "dirview/row_format.h"
#include "station/web/web_json.h"

namespace orva::station::web {

namespace fs = std::filesystem;

namespace {

bool same_ignoring_case(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

Error not_found(std::string what) { return make_error(std::move(what), kNotFound); }

// Reads at most `limit` bytes of a regular file (not through a symbolic link); `cut` tells when
// there was more.
Result<std::string> read_regular(const fs::path& path, std::uint64_t limit, bool* cut)
{
    std::error_code ec;
    const auto st = fs::symlink_status(path, ec);
    if (ec || !fs::is_regular_file(st))
        return not_found("no such file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return make_error("the file cannot be read", 500);
    std::string bytes(std::size_t(std::min<std::uint64_t>(limit, fs::file_size(path, ec))), '\0');
    in.read(bytes.data(), std::streamsize(bytes.size()));
    bytes.resize(std::size_t(in.gcount()));
    if (cut)
        *cut = !ec && fs::file_size(path, ec) > bytes.size();
    return bytes;
}

struct OpenDirectory {
    std::string name;
    dirview::DirectoryConfig config;
};

Result<OpenDirectory> open_config(const platform::Store& store, std::string_view satellite)
{
    std::optional<std::string> name = configured_satellite(store, satellite);
    if (!name)
        return not_found("no such satellite");
    auto config = dirview::read_directory_config(store, *name);
    if (!config)
        return not_found("no such satellite");
    config->keep_changed_marks = true;
    return OpenDirectory{*name, std::move(*config)};
}

// The message file of a number in the own-mail folder, else in the message folder.
std::optional<std::pair<fs::path, bool>> find_message(const dirview::DirectoryConfig& c, std::uint32_t file)
{
    const std::string name = file_number_name(file, ".DLM");
    for (const auto& [folder, mine] : {std::pair{c.folders.my_message, true}, std::pair{c.folders.message, false}}) {
        if (folder.empty())
            continue;
        if (auto p = find_file_nocase(folder, name))
            return std::pair{*p, mine};
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> configured_satellite(const platform::Store& store, std::string_view name)
{
    for (const std::string& n : settings::list_satellites(store))
        if (same_ignoring_case(n, name))
            return n;
    return std::nullopt;
}

std::string satellites_json(const platform::Store& store)
{
    JsonWriter w;
    w.begin_object().key("satellites").begin_array();
    for (const std::string& n : settings::list_satellites(store)) {
        auto rec = settings::read_satellite(store, n, settings::Program::Tessel);
        w.begin_object().field("name", n);
        if (rec)
            w.field("state", int(rec->state)).field("pacsat", rec->type() == settings::SatelliteType::PacSat);
        w.end_object();
    }
    w.end_array().end_object();
    return w.take();
}

Result<std::string> directory_document(const platform::Store& store, std::string_view satellite,
                                       const platform::Clock& clock)
{
    auto open = open_config(store, satellite);
    if (!open)
        return open.error();
    dirview::DirectoryModel model(clock);
    dirview::OpenReport report = model.open(open->config);
    std::vector<DirectoryRow> rows;
    const std::size_t total = model.entry_count();
    if (report.loaded) {
        model.select_mode(dirview::kModeAll);
        for (std::size_t i = 0; i < model.row_count() && rows.size() < kMaxDirectoryRows; ++i) {
            DirectoryRow r;
            r.entry = model.row(i);
            r.status_byte = model.status_of(r.entry.file_number);
            if (auto p = model.entry_path(r.entry)) {
                std::error_code ec;
                r.has_file = fs::is_regular_file(fs::symlink_status(*p, ec)) && !ec;
            }
            rows.push_back(std::move(r));
        }
    }
    return directory_json(open->name, rows, total);
}

Result<std::string> messages_document(const platform::Store& store, std::string_view satellite)
{
    auto open = open_config(store, satellite);
    if (!open)
        return open.error();
    std::vector<MessageFile> files;
    const auto& f = open->config.folders;
    for (const auto& [folder, mine] : {std::pair{f.my_message, true}, std::pair{f.message, false}}) {
        if (folder.empty())
            continue;
        std::error_code ec;
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.size() < 5 || !same_ignoring_case(std::string_view(name).substr(name.size() - 4), ".DLM"))
                continue;
            auto number = parse_file_number_name(name);
            std::error_code ec2;
            if (!number || !fs::is_regular_file(it->symlink_status(ec2)))
                continue;
            MessageFile m;
            m.file_number = *number;
            m.mine = mine;
            m.size = it->file_size(ec2);
            auto mtime = fs::last_write_time(it->path(), ec2);
            if (!ec2)
                m.modified = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::file_clock::to_sys(mtime).time_since_epoch())
                                 .count();
            if (auto head = read_regular(it->path(), 2048, nullptr))
                m.header = parse_message_header(*head);
            files.push_back(std::move(m));
            if (files.size() >= kMaxDirectoryRows)
                break;
        }
    }
    std::sort(files.begin(), files.end(), [](const MessageFile& a, const MessageFile& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.file_number > b.file_number;
    });
    return messages_json(open->name, files);
}

Result<std::string> message_document(const platform::Store& store, std::string_view satellite, std::uint32_t file)
{
    auto open = open_config(store, satellite);
    if (!open)
        return open.error();
    auto found = find_message(open->config, file);
    if (!found)
        return not_found("no such message");
    bool cut = false;
    auto bytes = read_regular(found->first, kMaxShownMessage, &cut);
    if (!bytes)
        return bytes.error();
    return message_json(open->name, file, *bytes, cut);
}

Result<ServedFile> filed_file(const platform::Store& store, std::string_view satellite, std::uint32_t file,
                              const platform::Clock& clock)
{
    auto open = open_config(store, satellite);
    if (!open)
        return open.error();
    dirview::DirectoryModel model(clock);
    if (!model.open(open->config).loaded)
        return not_found("no such file");
    const dirview::DirectoryEntry* e = model.find(file);
    if (!e)
        return not_found("no such file");
    std::optional<fs::path> path = model.entry_path(*e);
    if (!path)
        return not_found("this file has not been filed");
    std::error_code ec;
    const auto st = fs::symlink_status(*path, ec);
    if (ec || !fs::is_regular_file(st))
        return not_found("this file has not been filed");
    if (fs::file_size(*path, ec) > kMaxServedFile)
        return make_error("the file is too large to show here", 413);
    auto bytes = read_regular(*path, kMaxServedFile, nullptr);
    if (!bytes)
        return bytes.error();
    ServedFile out;
    out.name = path->filename().string();
    const std::string ext = path->extension().string();
    out.content_type = same_ignoring_case(ext, ".DLM") || same_ignoring_case(ext, ".TXT") ? "text/plain; charset=utf-8"
                                                                                        : "application/octet-stream";
    out.bytes = out.content_type.starts_with("text/") ? utf8_or_latin1(*bytes) : std::move(*bytes);
    return out;
}

bool markable_code(int code)
{
    return code == 10 || code == 9 || code == 8 || code == 7 || code == 5 || code == 6 || code == 4 || code == 1;
}

Result<char> mark_file(const platform::Store& store, std::string_view satellite, std::uint32_t file, int code,
                       const platform::Clock& clock)
{
    if (!markable_code(code))
        return make_error("no such status", 400);
    auto open = open_config(store, satellite);
    if (!open)
        return open.error();
    dirview::DirectoryModel model(clock);
    if (!model.open(open->config).loaded || !model.find(file))
        return not_found("no such file");
    if (!model.has_status_table())
        return make_error("the download-status table cannot be opened", 503);
    model.select_mode(dirview::kModeAll);
    bool done = false;
    if (auto row = model.row_of(file))
        done = model.mark(*row, code);
    else
        done = model.set_status(file, code);
    if (!done)
        return make_error("the download-status table cannot be written", 503);
    return dirview::status_letter(model.status_of(file));
}

} // namespace orva::station::web

#include "station/housekeeping/directory_edit.h"

#include <vector>

#include "common/atomic_file.h"
#include "common/settings/satellite_record.h"

namespace orva::station {

namespace fs = std::filesystem;

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
        static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

constexpr std::uint32_t kOpenEnd = 0x7FFFFFFF;

} // namespace

Result<std::string> directory_status(const fs::path& satellite_directory)
{
    auto bytes = read_file(satellite_directory / kDirectoryHoleFile);
    if (!bytes || bytes->size() < 4)
        return make_error(kEditDirectoryError);
    return std::to_string(static_cast<std::int32_t>(le32(*bytes, 0))) + " holes";
}

Status rewrite_directory_holes(const fs::path& satellite_directory, const DirectoryEditChoice& choice, std::int64_t now)
{
    fs::path file = satellite_directory / kDirectoryHoleFile;
    auto bytes = read_file(file);
    if (!bytes)
        return make_error(kEditDirectoryError);
    if (bytes->size() < 4)
        return make_error(std::string(kEditDirectoryError) + " The hole file is too short.");
    std::uint32_t count = le32(*bytes, 0);
    if (count == 0 || (bytes->size() - 4) / 8 < count)
        return make_error(std::string(kEditDirectoryError) + " The hole file says " + std::to_string(count) +
                          " holes but holds " + std::to_string((bytes->size() - 4) / 8) + ".");
    std::int64_t cutoff = choice.reset_date ? now - static_cast<std::int64_t>(choice.age_days) * 86400 : now;
    auto cut = static_cast<std::uint32_t>(cutoff);
    std::vector<std::uint8_t> out;
    if (choice.remove_holes) {
        std::uint32_t last_start = le32(*bytes, 4 + (count - 1) * 8);
        put32(out, 1);
        put32(out, choice.reset_date ? cut : last_start);
        put32(out, kOpenEnd);
    } else {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> kept;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t start = le32(*bytes, 4 + i * 8), end = le32(*bytes, 8 + i * 8);
            if (i + 1 == count)
                end = kOpenEnd; // the last hole is open whatever is stored
            if (static_cast<std::int64_t>(end) > cutoff)
                kept.emplace_back(static_cast<std::int64_t>(start) < cutoff ? cut : start, end);
        }
        put32(out, static_cast<std::uint32_t>(kept.size()));
        for (auto [s, e] : kept) {
            put32(out, s);
            put32(out, e);
        }
    }
    if (Status s = write_file_atomic(file, out); !s)
        return make_error(std::string(kEditDirectoryError) + " " + s.error().message);
    return {};
}

Status edit_directory(const platform::Store& store, platform::Messenger* messenger, const std::string& satellite,
                      const DirectoryEditChoice& choice, std::int64_t now)
{
    auto record = settings::read_satellite(store, satellite, settings::Program::Helmo);
    if (!record)
        return record.error();
    if (messenger && messenger->exists({"Brek:MAIN", "Brek [" + record->name + "]"}))
        return make_error("Brek is running a pass of " + record->name +
                          " and rewrites its directory holes when the pass ends.  Edit the directory when the pass is over.");
    return rewrite_directory_holes(record->satellite_directory, choice, now);
}

} // namespace orva::station

#include "common/elements/kep_database.h"

#include <strings.h>

#include <string>

#include "common/elements/file_io.h"

namespace orva::elements {

KepDatabase::KepDatabase() = default;

Result<KepDatabase> KepDatabase::from_bytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() % kKepRecordSize != 0)
        return make_error("the element database is " + std::to_string(bytes.size()) +
                          " bytes, not a whole number of " + std::to_string(kKepRecordSize) +
                          "-byte records");
    KepDatabase db;
    std::size_t n = std::min<std::size_t>(bytes.size() / kKepRecordSize, kKepSlots);
    for (std::size_t i = 0; i < n; ++i)
        db.slots_[i] = decode_kep_record(bytes.subspan(i * kKepRecordSize).first<kKepRecordSize>());
    if (bytes.size() > kKepFileSize)
        db.tail_.assign(bytes.begin() + kKepFileSize, bytes.end());
    return db;
}

Result<KepDatabase> KepDatabase::load(const std::filesystem::path& path)
{
    auto bytes = read_whole_file(path);
    if (!bytes)
        return bytes.error();
    if (!*bytes)
        return KepDatabase();
    auto db = from_bytes(**bytes);
    if (!db)
        return make_error(path.string() + ": " + db.error().message);
    return db;
}

std::vector<std::uint8_t> KepDatabase::to_bytes() const
{
    std::vector<std::uint8_t> out;
    out.reserve(kKepFileSize + tail_.size());
    for (const auto& r : slots_) {
        KepBytes b = encode_kep_record(r);
        out.insert(out.end(), b.begin(), b.end());
    }
    out.insert(out.end(), tail_.begin(), tail_.end());
    return out;
}

Status KepDatabase::save(const std::filesystem::path& path) const
{
    return replace_file(path, to_bytes());
}

int KepDatabase::find_by_name(std::string_view name) const
{
    std::string key(name);
    for (int i = 0; i < kKepSlots; ++i)
        if (strcasecmp(slots_[std::size_t(i)].name.c_str(), key.c_str()) == 0)
            return i;
    return -1;
}

int KepDatabase::find_by_catalogue(std::uint16_t catalogue) const
{
    if (catalogue == 0)
        return -1;
    for (int i = 0; i < kKepSlots; ++i)
        if (slots_[std::size_t(i)].catalogue == catalogue)
            return i;
    return -1;
}

int KepDatabase::add_record(const KepRecord& record)
{
    for (int i = 0; i < kKepSlots; ++i)
        if (slots_[std::size_t(i)].is_free()) {
            slots_[std::size_t(i)] = record;
            return i;
        }
    return -1;
}

void KepDatabase::clear_slot(int slot)
{
    slots_.at(std::size_t(slot)) = KepRecord{};
}

int KepDatabase::free_slots() const
{
    int n = 0;
    for (const auto& r : slots_)
        n += r.is_free() ? 1 : 0;
    return n;
}

Result<bool> update_database(const std::filesystem::path& path,
                             const std::function<bool(KepDatabase&)>& change)
{
    auto lock = FileLock::acquire(path);
    if (!lock)
        return lock.error();
    auto db = KepDatabase::load(path);
    if (!db)
        return db.error();
    if (!change(*db))
        return false;
    if (auto saved = db->save(path); !saved)
        return saved.error();
    return true;
}

std::filesystem::path kep_database_path(const std::filesystem::path& suite_dir)
{
    return find_nocase(suite_dir, "Orva.KEP");
}

} // namespace orva::elements

#include "common/elements/observer_file.h"

#include <string>

#include "common/elements/byte_fields.h"
#include "common/elements/file_io.h"

namespace orva::elements {

using namespace detail;

namespace {
constexpr double kDegToRad = 0.017453292519943295;

Result<std::vector<ObserverRecord>> decode_all(const std::filesystem::path& path,
                                               std::span<const std::uint8_t> bytes)
{
    auto records = decode_observer_file(bytes);
    if (!records)
        return make_error(path.string() + ": " + records.error().message);
    return records;
}

Status write_all(const std::filesystem::path& path, const std::vector<ObserverRecord>& records)
{
    std::vector<std::uint8_t> bytes;
    for (const auto& r : records) {
        ObserverBytes b = encode_observer_record(r);
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    return replace_file(path, bytes);
}
} // namespace

Result<std::vector<ObserverRecord>> decode_observer_file(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() % kObserverRecordSize != 0)
        return make_error("the observer file is " + std::to_string(bytes.size()) +
                          " bytes, not a whole number of 50-byte records");
    std::vector<ObserverRecord> out;
    for (std::size_t at = 0; at < bytes.size(); at += kObserverRecordSize)
        out.push_back(decode_observer_record(bytes.subspan(at).first<kObserverRecordSize>()));
    return out;
}

ObserverSite ObserverSite::from_station(std::string callsign, double latitude_deg,
                                        double longitude_west_deg, double altitude_m)
{
    return {std::move(callsign), latitude_deg * kDegToRad, -longitude_west_deg * kDegToRad, altitude_m};
}

ObserverSite ObserverSite::from_record(const ObserverRecord& r)
{
    return {r.name, r.latitude * kDegToRad, r.longitude * kDegToRad, r.altitude};
}

ObserverBytes encode_observer_record(const ObserverRecord& r)
{
    ObserverBytes bytes{};
    std::span<std::uint8_t> b(bytes);
    put_text(b, 0, 26, r.name);
    put_f64(b, 26, r.latitude);
    put_f64(b, 34, r.longitude);
    put_f64(b, 42, r.altitude);
    return bytes;
}

ObserverRecord decode_observer_record(std::span<const std::uint8_t, kObserverRecordSize> bytes)
{
    std::span<const std::uint8_t> b(bytes);
    return {get_text(b, 0, 26).substr(0, 25), get_f64(b, 26), get_f64(b, 34), get_f64(b, 42)};
}

Result<std::vector<ObserverRecord>> ObserverFile::read_all() const
{
    auto bytes = read_whole_file(path_);
    if (!bytes)
        return bytes.error();
    if (!*bytes)
        return std::vector<ObserverRecord>{};
    return decode_all(path_, **bytes);
}

Result<std::optional<ObserverSite>> ObserverFile::load_observer(const std::string& name) const
{
    auto records = read_all();
    if (!records)
        return records.error();
    for (const auto& r : *records)
        if (r.name == name)
            return std::optional<ObserverSite>(ObserverSite::from_record(r));
    return std::optional<ObserverSite>{};
}

Result<bool> ObserverFile::store_observer(const ObserverRecord& record) const
{
    auto lock = FileLock::acquire(path_);
    if (!lock)
        return lock.error();
    auto records = read_all();
    if (!records)
        return records.error();
    bool appended = true;
    for (auto& r : *records)
        if (r.name == record.name) {
            r = record;
            appended = false;
            break;
        }
    if (appended)
        records->push_back(record);
    if (auto st = write_all(path_, *records); !st)
        return st.error();
    return appended;
}

Result<bool> ObserverFile::delete_observer(const std::string& name) const
{
    auto lock = FileLock::acquire(path_);
    if (!lock)
        return lock.error();
    auto records = read_all();
    if (!records)
        return records.error();
    for (auto it = records->begin(); it != records->end(); ++it)
        if (it->name == name) {
            records->erase(it);
            if (auto st = write_all(path_, *records); !st)
                return st.error();
            return true;
        }
    return false;
}

std::filesystem::path observer_file_path(const std::filesystem::path& suite_dir)
{
    return find_nocase(suite_dir, "ORVA.OBS");
}

} // namespace orva::elements

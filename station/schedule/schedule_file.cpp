#include "station/schedule/schedule_file.h"

#include <system_error>

#include "common/atomic_file.h"

namespace orva::station {

namespace fs = std::filesystem;

Result<std::vector<PassEntry>> decode_schedule(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 2)
        return make_error("the file is shorter than its magic number");
    unsigned magic = bytes[0] | (unsigned(bytes[1]) << 8);
    if (magic != kScheduleMagic)
        return make_error("magic number " + std::to_string(magic) + " is not 2008");
    std::size_t body = bytes.size() - 2;
    if (body % kPassEntrySize != 0)
        return make_error("truncated: " + std::to_string(body) + " bytes of entries is not a whole number of " +
                          std::to_string(kPassEntrySize) + "-byte passes");
    std::vector<PassEntry> out;
    out.reserve(body / kPassEntrySize);
    for (std::size_t at = 2; at < bytes.size(); at += kPassEntrySize) {
        PassEntry e = decode_pass_entry(std::span<const std::uint8_t, kPassEntrySize>(bytes.data() + at, kPassEntrySize));
        if (!out.empty() && e.aos < out.back().aos)
            return make_error("pass " + std::to_string(out.size() + 1) + " (" + e.name + ") is out of time order");
        out.push_back(std::move(e));
    }
    return out;
}

std::vector<std::uint8_t> encode_schedule(const std::vector<PassEntry>& entries)
{
    std::vector<std::uint8_t> out;
    out.reserve(2 + entries.size() * kPassEntrySize);
    out.push_back(std::uint8_t(kScheduleMagic & 0xff));
    out.push_back(std::uint8_t(kScheduleMagic >> 8));
    for (const PassEntry& e : entries) {
        PassEntryBytes b = encode_pass_entry(e);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

LoadedSchedule load_schedule_file(const fs::path& path)
{
    LoadedSchedule result;
    std::error_code ec;
    if (!fs::exists(path, ec))
        return result;
    Result<std::vector<std::uint8_t>> bytes = read_file(path);
    if (!bytes) {
        result.warning = "cannot read " + path.string() + ": " + bytes.error().message + "; starting with an empty schedule";
        return result;
    }
    Result<std::vector<PassEntry>> decoded = decode_schedule(*bytes);
    if (decoded) {
        result.entries = std::move(*decoded);
        return result;
    }
    fs::path bad = path;
    bad += ".bad";
    fs::rename(path, bad, ec);
    result.warning = path.string() + ": " + decoded.error().message + "; starting with an empty schedule" +
                     (ec ? " (could not keep the file aside: " + ec.message() + ")"
                         : ", the file is kept as " + bad.string());
    return result;
}

Status save_schedule_file(const fs::path& path, const std::vector<PassEntry>& entries)
{
    std::vector<std::uint8_t> bytes = encode_schedule(entries);
    return write_file_atomic(path, std::span<const std::uint8_t>(bytes));
}

} // namespace orva::station

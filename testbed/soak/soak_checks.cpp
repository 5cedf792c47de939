#include "testbed/soak/soak_checks.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "cli/hash/sha256.h"
#include "common/atomic_file.h"
#include "common/file_names.h"
#include "common/pfh/pfh.h"
#include "engine/files/hole_file.h"

namespace orva::soak {

namespace fs = std::filesystem;

namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "1A2B.HOL" -> 0x1A2B; none for any other name.
std::optional<std::uint32_t> number_of(const fs::path& p, const std::string& extension)
{
    const std::string name = upper(p.filename().string());
    if (name.size() <= extension.size() || name.substr(name.size() - extension.size()) != extension)
        return std::nullopt;
    const std::string stem = name.substr(0, name.size() - extension.size());
    if (stem.empty() || stem.size() > 8 || !std::all_of(stem.begin(), stem.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    return std::uint32_t(std::strtoul(stem.c_str(), nullptr, 16));
}

std::string hex(std::uint32_t n)
{
    char b[16];
    std::snprintf(b, sizeof b, "%X", unsigned(n));
    return b;
}

} // namespace

std::vector<PartialProblem> check_partials(const fs::path& dir, const OriginalOf& original)
{
    std::vector<PartialProblem> out;
    std::map<std::uint32_t, fs::path> hol, act, dl;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (!e.is_regular_file())
            continue;
        if (auto n = number_of(e.path(), ".HOL"))
            hol[*n] = e.path();
        else if (auto n2 = number_of(e.path(), ".ACT"))
            act[*n2] = e.path();
        else if (auto n3 = number_of(e.path(), ".DL"))
            dl[*n3] = e.path();
    }
    for (const auto& [number, path] : hol) {
        const std::string name = path.filename().string();
        auto problem = [&](const std::string& text) { out.push_back({name, text}); };
        if (dl.count(number))
            problem("a completed " + dl[number].filename().string() + " lies beside its hole list");
        auto bytes = read_file(path);
        if (!bytes) {
            problem("cannot be read: " + bytes.error().message);
            continue;
        }
        engine::HoleFileLoad loaded = engine::decode_hole_file(*bytes);
        if (loaded.ignored || loaded.short_file) {
            problem(loaded.ignored ? "is not a usable hole list" : "is shorter than its count");
            continue;
        }
        const auto holes = loaded.file.holes.holes();
        const std::uint32_t length = loaded.file.length;
        if (holes.empty()) {
            problem("lists no hole: the file would be complete");
            continue;
        }
        bool ordered = true;
        for (std::size_t i = 0; i < holes.size(); ++i) {
            if (holes[i].start >= holes[i].end)
                ordered = false;
            if (i > 0 && holes[i].start < holes[i - 1].end)
                ordered = false;
        }
        if (!ordered) {
            problem("holes out of order or overlapping");
            continue;
        }
        if (length != 0 && holes.back().end != engine::kOpenEnd && holes.back().end > length)
            problem("a hole runs past the file's length " + std::to_string(length));
        // Received ranges: between the holes, and after the last when the length is known.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> received;
        std::uint32_t from = 0;
        for (const auto& h : holes) {
            if (h.start > from)
                received.push_back({from, h.start});
            from = h.end;
        }
        if (length != 0 && from < length && from != engine::kOpenEnd)
            received.push_back({from, length});
        if (received.empty())
            continue;
        if (!act.count(number)) {
            problem("counts " + std::to_string(received.back().second) + " bytes received but there is no " + hex(number) +
                    ".ACT");
            continue;
        }
        auto data = read_file(act[number]);
        if (!data) {
            problem("its .ACT cannot be read");
            continue;
        }
        const std::vector<std::uint8_t>* copy = original ? original(number) : nullptr;
        for (const auto& [a, b] : received) {
            if (b > data->size()) {
                problem("claims bytes " + std::to_string(a) + "-" + std::to_string(b) + " but its .ACT holds only " +
                        std::to_string(data->size()));
                break;
            }
            if (copy && (b > copy->size() || !std::equal(data->begin() + a, data->begin() + b, copy->begin() + a))) {
                problem("bytes " + std::to_string(a) + "-" + std::to_string(b) +
                        " counted as received differ from the satellite's copy");
                break;
            }
        }
    }
    return out;
}

std::vector<WholeFile> WholeFileScanner::scan(const fs::path& dir, const std::map<std::uint32_t, std::uint64_t>& sizes)
{
    std::vector<WholeFile> out;
    std::set<std::uint64_t> wanted_sizes;
    for (const auto& [n, size] : sizes)
        wanted_sizes.insert(size);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code fe;
        if (!it->is_regular_file(fe))
            continue;
        // A partial download may already have its full length, with holes inside.
        if (number_of(it->path(), ".ACT"))
            continue;
        const std::uint64_t size = it->file_size(fe);
        if (fe || !wanted_sizes.count(size))
            continue;
        const std::int64_t mtime = it->last_write_time(fe).time_since_epoch().count();
        auto& seen = seen_[it->path()];
        if (seen == std::make_pair(size, mtime))
            continue;
        auto bytes = read_file(it->path());
        if (!bytes || bytes->size() < 2 || (*bytes)[0] != 0xAA || (*bytes)[1] != 0x55)
            continue;
        seen = {size, mtime};
        pfh::ParseOptions lenient;
        lenient.check_header_checksum = false;
        auto header = pfh::parse_pfh(*bytes, lenient);
        if (!header)
            continue;
        auto known = sizes.find(header->file_number);
        if (known == sizes.end() || known->second != size)
            continue;
        out.push_back({it->path(), header->file_number, size, tools::sha256_hex(*bytes)});
    }
    return out;
}

bool is_upload_of(const std::vector<std::uint8_t>& queued, const std::vector<std::uint8_t>& filed)
{
    if (filed == queued)
        return true;
    if (filed.size() != queued.size())
        return false;
    // The satellite writes the file number, the upload time and the checksum into the header in
    // place: the body and the station's own items stay as they were.
    pfh::ParseOptions zero;
    zero.allow_zero_file_number = true;
    const auto sent = pfh::parse_pfh(queued, zero);
    const auto held = pfh::parse_pfh(filed, zero);
    if (!sent || !held || sent->header_length != held->header_length)
        return false;
    if (!std::equal(queued.begin() + std::ptrdiff_t(sent->header_length), queued.end(),
                    filed.begin() + std::ptrdiff_t(held->header_length)))
        return false;
    return sent->title == held->title && sent->source == held->source && sent->create_time == held->create_time &&
           sent->file_name == held->file_name;
}

namespace {
std::optional<std::int64_t> parse_stamp(const std::string& s)
{
    // 2026-12-08T21:10:00Z
    int y, mo, d, h, mi, se;
    if (std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%dZ", &y, &mo, &d, &h, &mi, &se) != 6)
        return std::nullopt;
    using namespace std::chrono;
    const sys_days day{year{y} / month{unsigned(mo)} / std::chrono::day{unsigned(d)}};
    return std::int64_t(day.time_since_epoch().count()) * 86400 + h * 3600 + mi * 60 + se;
}

std::optional<std::int64_t> parse_short(const std::string& s)
{
    // dd/mm/yy hh:mm:ss
    int d, mo, y, h, mi, se;
    if (std::sscanf(s.c_str(), "%d/%d/%d %d:%d:%d", &d, &mo, &y, &h, &mi, &se) != 6)
        return std::nullopt;
    using namespace std::chrono;
    const sys_days day{year{2000 + y} / month{unsigned(mo)} / std::chrono::day{unsigned(d)}};
    return std::int64_t(day.time_since_epoch().count()) * 86400 + h * 3600 + mi * 60 + se;
}
} // namespace

std::vector<PassStart> parse_pass_starts(const std::string& log)
{
    std::vector<PassStart> out;
    std::istringstream in(log);
    std::string line;
    const std::string marker = " dispatcher: start pass of ";
    while (std::getline(in, line)) {
        const auto at = line.find(marker);
        if (at == std::string::npos)
            continue;
        const auto open = line.find(" (AOS ", at);
        if (open == std::string::npos)
            continue;
        PassStart s;
        auto stamp = parse_stamp(line.substr(0, at));
        auto aos = parse_short(line.substr(open + 6));
        if (!stamp || !aos)
            continue;
        s.logged = *stamp;
        s.aos = *aos;
        s.satellite = line.substr(at + marker.size(), open - at - marker.size());
        out.push_back(s);
    }
    return out;
}

std::vector<PassEnd> parse_pass_ends(const std::string& log)
{
    std::vector<PassEnd> out;
    std::istringstream in(log);
    std::string line;
    const std::string marker = " dispatcher: end pass of ";
    while (std::getline(in, line)) {
        const auto at = line.find(marker);
        if (at == std::string::npos)
            continue;
        auto stamp = parse_stamp(line.substr(0, at));
        if (!stamp)
            continue;
        out.push_back({*stamp, line.substr(at + marker.size())});
    }
    return out;
}

std::vector<DispoError> parse_dispo_errors(const std::string& text)
{
    std::vector<DispoError> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 23)
            continue;
        DispoError e;
        e.satellite = line.substr(0, 12);
        while (!e.satellite.empty() && e.satellite.back() == ' ')
            e.satellite.pop_back();
        std::string number = line.substr(13, 8);
        number.erase(0, number.find_first_not_of(' '));
        char* end = nullptr;
        e.number = std::uint32_t(std::strtoul(number.c_str(), &end, 16));
        if (number.empty() || *end != '\0')
            continue;
        e.message = line.substr(23);
        out.push_back(e);
    }
    return out;
}

std::uint64_t folder_bytes(const fs::path& dir)
{
    std::uint64_t total = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code fe;
        if (it->is_regular_file(fe))
            total += it->file_size(fe);
    }
    return total;
}

} // namespace orva::soak

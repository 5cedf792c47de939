#include "dirview/directory_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <system_error>

namespace orva::dirview {
namespace {

// The engine assembles at most 1024 bytes of header; anything longer found while looking for
// the next header after damage is not one.
constexpr std::size_t kResyncLimit = 1024 + 258;

enum class Extent { Whole, Torn, TooLong };

// Finds where the header starting at `pos` (at its magic) ends, just past its terminator.
Extent header_extent(std::span<const std::uint8_t> bytes, std::size_t pos, std::size_t limit, std::size_t& end)
{
    std::size_t i = pos + 2;
    for (;;) {
        if (i - pos > limit)
            return Extent::TooLong;
        if (bytes.size() - i < 3)
            return Extent::Torn;
        const unsigned id = unsigned(bytes[i]) | unsigned(bytes[i + 1]) << 8;
        const std::size_t len = bytes[i + 2];
        i += 3;
        if (id == 0 && len == 0) {
            end = i;
            return Extent::Whole;
        }
        if (bytes.size() - i < len)
            return Extent::Torn;
        i += len;
    }
}

bool magic_at(std::span<const std::uint8_t> bytes, std::size_t pos)
{
    return bytes.size() - pos >= 2 && bytes[pos] == pfh::kMagic0 && bytes[pos + 1] == pfh::kMagic1;
}

} // namespace

ReadReport read_directory_bytes(std::span<const std::uint8_t> bytes,
                                const std::function<bool(pfh::PfhHeader&&)>& sink)
{
    ReadReport report;
    std::size_t pos = 0;
    bool lost = false; // looking for the next header after bytes that were not one
    while (pos < bytes.size()) {
        if (!magic_at(bytes, pos)) {
            lost = true;
            ++report.skipped_bytes;
            ++pos;
            continue;
        }
        std::size_t end = 0;
        const Extent extent = header_extent(bytes, pos, lost ? kResyncLimit : bytes.size(), end);
        if (extent != Extent::Whole) {
            if (!lost) {
                // The engine was stopped in the middle of a write: the rest is one torn header.
                report.torn_tail = true;
                break;
            }
            ++report.skipped_bytes;
            ++pos;
            continue;
        }
        auto header = pfh::parse_pfh(bytes.subspan(pos, end - pos));
        if (!header) {
            if (lost) {
                ++report.skipped_bytes;
                ++pos;
                continue;
            }
            ++report.bad_sums;
            pos = end;
            continue;
        }
        lost = false;
        pos = end;
        ++report.headers;
        if (!sink(std::move(*header)))
            break;
    }
    return report;
}

std::optional<int> directory_file_number(std::string_view name)
{
    if (name.size() < 9 || name.size() > 14)
        return std::nullopt;
    auto lower = [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); };
    const std::string_view prefix = "brek", suffix = ".pfh";
    for (std::size_t i = 0; i < 4; ++i)
        if (lower(name[i]) != prefix[i] || lower(name[name.size() - 4 + i]) != suffix[i])
            return std::nullopt;
    int n = 0;
    for (char c : name.substr(4, name.size() - 8)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::string directory_file_name(int number)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "Brek%04d.PFH", number);
    return buf;
}

std::vector<DirectoryFileRef> list_directory_files(const std::filesystem::path& folder)
{
    std::vector<DirectoryFileRef> numbers;
    std::error_code ec;
    std::size_t looked = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        if (auto n = directory_file_number(it->path().filename().string())) {
            if (++looked > 10000)
                break;
            numbers.push_back({*n, it->path()});
        }
    }
    // An exact spelling wins over another case of the same number.
    auto exact = [](const DirectoryFileRef& r) { return r.path.filename() == directory_file_name(r.number); };
    std::sort(numbers.begin(), numbers.end(), [&](const DirectoryFileRef& a, const DirectoryFileRef& b) {
        return a.number != b.number ? a.number < b.number : exact(a) > exact(b);
    });
    numbers.erase(std::unique(numbers.begin(), numbers.end(),
                              [](const DirectoryFileRef& a, const DirectoryFileRef& b) { return a.number == b.number; }),
                  numbers.end());
    return numbers;
}

} // namespace orva::dirview

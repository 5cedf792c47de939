#include "common/file_names.h"

#include <cstdio>

namespace orva {

namespace fs = std::filesystem;

std::string file_number_name(std::uint32_t file_number, std::string_view extension)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(file_number));
    return std::string(buf) + std::string(extension);
}

std::optional<std::uint32_t> parse_file_number_name(std::string_view name)
{
    std::uint64_t value = 0;
    std::size_t i = 0;
    for (; i < name.size() && i < 9; ++i) {
        char c = name[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    if (i == 0 || value > 0xFFFFFFFFu || (i < name.size() && name[i] != '.'))
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

bool equal_ignoring_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::optional<fs::path> find_file_nocase(const fs::path& folder, std::string_view name)
{
    std::error_code ec;
    fs::path exact = folder / std::string(name);
    if (fs::exists(fs::symlink_status(exact, ec)))
        return exact;
    std::optional<fs::path> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (equal_ignoring_case(it->path().filename().string(), name)) {
            found = it->path();
            break;
        }
    }
    return found;
}

fs::path resolve_file_nocase(const fs::path& folder, std::string_view name)
{
    if (auto found = find_file_nocase(folder, name))
        return *found;
    return folder / std::string(name);
}

} // namespace orva

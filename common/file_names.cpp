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

namespace {
std::string_view until_nul(std::string_view s) { return s.substr(0, s.find('\0')); }
std::string_view until_blank(std::string_view s) { return s.substr(0, s.find(' ')); }
} // namespace

std::string safe_component(std::string_view name, std::uint32_t file_number)
{
    std::string out;
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        bool bad = u < 0x20 || u >= 0x7F || c == '/' || c == '\\' || c == ':';
        out.push_back(bad ? '_' : c);
    }
    if (!out.empty() && out[0] == '-')
        out[0] = '_';
    if (out == "." || out == "..")
        out.assign(out.size(), '_');
    if (out.empty())
        out = file_number_name(file_number);
    return out;
}

std::string header_disk_name(const std::optional<std::string>& user_file_name, const std::optional<std::string>& name,
                             const std::optional<std::string>& extension, std::uint32_t file_number)
{
    std::string text;
    if (user_file_name) {
        text = until_nul(*user_file_name);
    } else {
        text = until_blank(until_nul(name.value_or("")));
        const std::string ext_text = extension.value_or(""); // the view below reads into it
        std::string_view ext = until_blank(until_nul(ext_text));
        if (!ext.empty())
            text += "." + std::string(ext);
    }
    // A name from the air is a name, never a path.
    if (auto cut = text.find_last_of("\\/:"); cut != std::string::npos)
        text.erase(0, cut + 1);
    if (text.size() > 13)
        text.resize(13);
    return safe_component(text, file_number);
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

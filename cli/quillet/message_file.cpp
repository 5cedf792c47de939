#include "cli/quillet/message_file.h"

#include "common/atomic_file.h"
#include "common/pfh/upload_layout.h"

#include <cctype>
#include <cstdio>
#include <system_error>

namespace orva::quillet {
namespace {

std::string trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool starts_with_nocase(std::string_view line, std::string_view prefix)
{
    if (line.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

} // namespace

std::string header_text(std::string_view text)
{
    std::string out;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '~' || b < 0x20 || b == 0x7F)
            continue;
        out += c;
    }
    return trim(out);
}

Result<std::vector<std::uint8_t>> build_message(const MessageFields& fields, std::string_view body,
                                                std::string_view stem, std::uint32_t now)
{
    const std::string to = upper(header_text(fields.destination));
    const std::string from = upper(header_text(fields.source));
    const std::string title = header_text(fields.title);
    if (to.empty())
        return make_error("the message has no destination (give D~CALL or --to CALL)");
    if (from.empty())
        return make_error("the station has no callsign (set it in the station setup)");
    if (title.empty())
        return make_error("the message has no title (give T~TITLE or --title TEXT)");
    pfh::UploadHeaderFields h;
    h.file_name = std::string(stem.substr(0, 8));
    h.file_ext = "TXT";
    h.create_time = now;
    h.last_modified_time = now;
    h.file_type = 0;
    h.source = from.substr(0, pfh::kMaxAddressText);
    h.ax25_uploader = from.substr(0, from.find('-')).substr(0, 6);
    h.destination = to.substr(0, pfh::kMaxAddressText);
    h.expire_time = now + fields.expiry_days * 86400u;
    h.compression_type = 0;
    h.title = title.substr(0, 255);
    const std::vector<std::uint8_t> bytes(body.begin(), body.end());
    return pfh::build_upload_file(h, bytes);
}

Result<std::filesystem::path> write_out_file(const std::filesystem::path& folder, std::uint32_t now,
                                             const MessageFields& fields, std::string_view body)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return make_error("satellite directory \"" + folder.string() + "\" does not exist");
    for (std::uint32_t n = now;; ++n) {
        char stem[16];
        std::snprintf(stem, sizeof stem, "%08X", n);
        const std::filesystem::path path = folder / (std::string(stem) + ".OUT");
        if (std::filesystem::exists(path, ec))
            continue;
        auto bytes = build_message(fields, body, stem, now);
        if (!bytes)
            return bytes.error();
        // Written beside and renamed, so the engine never uploads half a file.
        if (auto st = write_file_atomic(path, *bytes); !st)
            return st.error();
        return path;
    }
}

std::string editor_template(const MessageFields& fields, std::string_view quoted)
{
    std::string t = "To: " + header_text(fields.destination) + "\nTitle: " + header_text(fields.title) + "\n\n";
    std::size_t pos = 0;
    while (pos < quoted.size()) {
        std::size_t end = quoted.find('\n', pos);
        if (end == std::string_view::npos)
            end = quoted.size();
        std::string_view line = quoted.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        t += "> " + std::string(line) + "\n";
        pos = end + 1;
    }
    if (!quoted.empty())
        t += "\n";
    return t;
}

EditedMessage parse_edited(std::string_view text, const MessageFields& fields)
{
    EditedMessage m{fields.destination, fields.title, {}};
    std::size_t pos = 0;
    std::string stray;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        const bool last = end == std::string_view::npos;
        if (last)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = last ? end : end + 1;
        if (trim(line).empty())
            break;
        if (starts_with_nocase(line, "To:"))
            m.destination = trim(line.substr(3));
        else if (starts_with_nocase(line, "Title:"))
            m.title = trim(line.substr(6));
        else
            stray += std::string(line) + "\n";
    }
    m.body = stray + std::string(text.substr(pos));
    return m;
}

} // namespace orva::quillet

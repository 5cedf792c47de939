#include "mailproc/file_rules.h"

#include "common/file_names.h"

namespace orva::mailproc {

namespace {

char upper_char(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

std::string to_upper(std::string_view text)
{
    std::string out(text);
    for (auto& c : out)
        c = upper_char(c);
    return out;
}

bool is_engine_file_name(std::string_view name)
{
    const std::string up = to_upper(name);
    if (up.rfind("BREK", 0) == 0)
        return true;
    const auto dot = up.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string_view ext = std::string_view(up).substr(dot);
    for (std::string_view e : {".DL", ".HOL", ".ACT", ".DLX", ".PFH", ".OUT", ".UL"})
        if (ext == e)
            return true;
    return false;
}

bool contains_ignoring_case(std::string_view text, std::string_view part)
{
    return to_upper(text).find(to_upper(part)) != std::string::npos;
}

std::string body_file_name(const DownloadHeader& h, std::uint32_t file_number)
{
    return header_disk_name(h.user_file_name, h.name, h.extension, file_number);
}

std::string safe_file_name(std::string_view name, std::uint32_t file_number)
{
    return safe_component(name, file_number);
}

std::uint8_t type_for_name(std::uint8_t type, std::string_view name)
{
    if (contains_ignoring_case(name, ".EXE"))
        return 6;
    if (contains_ignoring_case(name, ".COM"))
        return 7;
    return type;
}

bool is_binary_type(std::uint8_t t) { return t == 6 || t == 7 || t == 12 || t == 13; }
bool is_keps_type(std::uint8_t t) { return t == 8 || t == 9; }

bool addressed_to(std::string_view destination, std::string_view callsign)
{
    return to_upper(destination).find(to_upper(callsign)) != std::string::npos;
}

Route choose_route(std::uint8_t t, bool to_me, bool process_bbs)
{
    Route r;
    if (to_me && (t == 1 || t == 2) && process_bbs)
        r.folder = FolderKind::Bbs;
    else if (to_me) {
        r.folder = FolderKind::MyMessage;
        r.mine = true;
    } else if (t == 0)
        r.folder = FolderKind::Message;
    else if (t == 1 || t == 2)
        r.folder = FolderKind::Bbs;
    else if (is_binary_type(t))
        r.folder = FolderKind::Binary;
    else if (is_keps_type(t))
        r.folder = FolderKind::Keps;
    else if (t == 14 || t == 15 || t == 16 || t == 211 || t == 215 || t == 221)
        r.folder = FolderKind::Image;
    else if (t == 18) {
        r.folder = FolderKind::Bbs;
        r.whole_download_to_bbs = true;
    } else if (t == 234)
        r.folder = FolderKind::Satellite;
    else if (t >= 200 && t <= 254) {
        r.folder = FolderKind::Log;
        r.log_file = true;
    } else
        r.folder = FolderKind::Unknown;
    r.keep_header = (t == 0);
    return r;
}

Compression compression_for(std::string_view name, std::optional<std::uint8_t> header_type)
{
    if (contains_ignoring_case(name, ".ARC"))
        return Compression::Arc;
    if (contains_ignoring_case(name, ".ZIP"))
        return Compression::Zip;
    if (contains_ignoring_case(name, ".LZH"))
        return Compression::Lha;
    switch (header_type.value_or(0)) {
    case 1: return Compression::Arc;
    case 2: return Compression::Zip;
    case 3: return Compression::Lha;
    default: return Compression::None;
    }
}

std::string_view compression_tag(Compression c)
{
    switch (c) {
    case Compression::Arc: return "ARC ";
    case Compression::Zip: return "ZIP ";
    case Compression::Lha: return "LHA ";
    default: return "";
    }
}

bool keps_name_allows_update(std::uint32_t update_keps, std::string_view name)
{
    if (update_keps == 1) {
        std::string u = to_upper(name);
        return u.find("ORBS") != std::string::npos && u.find("A.ELE") != std::string::npos;
    }
    return update_keps != 3;
}

bool keps_source_allows_update(std::string_view update_callsign, std::string_view update_spacecraft,
    std::string_view source, std::string_view satellite_name)
{
    return (update_callsign.empty() || equal_ignoring_case(update_callsign, source))
        && (update_spacecraft.empty() || equal_ignoring_case(update_spacecraft, satellite_name));
}

std::string message_header_text(std::string_view source, std::string_view destination, std::string_view title,
    std::string_view keywords)
{
    std::string out;
    out += "From:     " + std::string(source) + "\r\n";
    out += "To:       " + std::string(destination) + "\r\n";
    out += "Subject:  " + std::string(title) + "\r\n";
    out += "Keywords: " + std::string(keywords) + "\r\n";
    out += "----------------------------------------\r\n";
    return out;
}

std::string status_line(std::string_view pattern, std::string_view download, Compression c, std::string_view message)
{
    std::string out = "[" + std::string(pattern) + "<>" + std::string(download) + ">] ";
    out += compression_tag(c);
    out += message;
    return out;
}

} // namespace orva::mailproc

#include "dirview/directory_entry.h"

#include <algorithm>
#include <cctype>

#include "common/file_names.h"

namespace orva::dirview {
namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trim_blanks(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return std::string(s);
}

// Texts on the air are not terminated, but some senders pad with NULs.
std::string to_nul(std::string_view s) { return std::string(s.substr(0, s.find('\0'))); }

} // namespace

std::string entry_file_name(const pfh::PfhHeader& header)
{
    std::string name;
    if (header.user_file_name) {
        std::string_view path = *header.user_file_name;
        path = path.substr(0, path.find('\0'));
        // A name from the air is a name, never a path: keep the last component whichever
        // separator the sender used.
        if (auto cut = path.find_last_of("\\/"); cut != std::string_view::npos)
            path.remove_prefix(cut + 1);
        name = std::string(path.substr(0, 13));
    } else if (header.file_name) {
        name = trim_blanks(to_nul(std::string_view(*header.file_name).substr(0, 8)));
        if (header.file_ext) {
            std::string ext = to_nul(std::string_view(*header.file_ext).substr(0, 3));
            if (ext != "   ")
                name += "." + ext;
        }
    }
    // Item 2 is only 8 characters, but a sender may still put a separator in it.
    if (auto cut = name.find_last_of("\\/"); cut != std::string::npos)
        name.erase(0, cut + 1);
    name = upper(std::move(name));
    if (name == "." || name == "..")
        return {};
    return name;
}

DirectoryEntry entry_from_header(const pfh::PfhHeader& header)
{
    DirectoryEntry e;
    e.file_number = header.file_number;
    if (header.source)
        e.source = upper(*header.source);
    if (header.destination)
        e.destination = upper(*header.destination);
    e.title = header.title;
    e.keywords = header.keywords;
    e.file_name = entry_file_name(header);
    e.disk_name = header_disk_name(header.user_file_name, header.file_name, header.file_ext, header.file_number);
    if (header.ax25_uploader)
        e.uploader = to_nul(std::string_view(*header.ax25_uploader).substr(0, 6));
    e.file_size = static_cast<std::int32_t>(header.file_size.value_or(0));
    e.file_type = header.file_type.value_or(0);
    e.compression = header.compression_type.value_or(0);
    e.upload_time = header.upload_time.value_or(0);
    e.expire_time = header.expire_time.value_or(0);
    e.download_count = header.download_count.value_or(0);
    return e;
}

std::string_view compression_name(std::uint8_t compression)
{
    switch (compression) {
    case 0: return "Uncompressed";
    case 1: return "PKPAK";
    case 2: return "PKZIP";
    case 3: return "LHArc";
    default: return "Unknown";
    }
}

std::string_view file_type_description(std::uint8_t file_type)
{
    struct Row {
        std::uint8_t type;
        const char* text;
    };
    static constexpr Row rows[] = {
        {0, "ASCII Text message"},
        {1, "Single BBS message"},
        {2, "Multiple BBS Messages"},
        {3, "UOSAT Whole Orbit Data"},
        {6, "MSDOS EXE File"},
        {7, "MSDOS COM File"},
        {8, "Keplerian Elements - NASA Format"},
        {9, "Keplerian Elements - AMSAT Format"},
        {12, "Binary Files"},
        {13, "Multiple ASCII Files"},
        {14, "Picture File - GIF Format"},
        {15, "Picture File - PCX Format"},
        {16, "Picture File - JPG Format"},
        {17, "Confimation message"},
        {18, "Mulitple SatGate forwarding files"},
        {200, "Config files U/L from command stations"},
        {201, "AL FTL0 activity logs"},
        {202, "BL Broadcast logs"},
        {203, "WD Whole data logs"},
        {204, "ADCS logs"},
        {205, "TDE Data"},
        {206, "SCTE Data"},
        {207, "Transputer logs (including EISLOGS)"},
        {208, "SEU logs (ELTLOG)"},
        {209, "CPE files (UO3)"},
        {210, "Battery Charge logs"},
        {211, "Image Files"},
        {212, "PL* (SPL Logs)"},
        {213, "CU* (PCT Logs)"},
        {214, "PC* (PCT Command Logs)"},
        {215, "Quicklook Image files"},
        {221, "CCD Image Files (KO23)"},
        {222, "CPE Result Files (KO23)"},
    };
    for (const Row& r : rows)
        if (r.type == file_type)
            return r.text;
    return {};
}

} // namespace orva::dirview

#include "dirview/row_format.h"

#include <cstdio>
#include <ctime>

namespace orva::dirview {
namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::tm utc(std::uint32_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
}

// Exactly `width` bytes: cut, or padded with blanks.
std::string fit(std::string_view text, std::size_t width)
{
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    return s;
}

std::string fitted(const std::optional<std::string>& text, std::size_t width)
{
    return visible_text(fit(text ? std::string_view(*text) : std::string_view(), width));
}

template <class... A>
std::string printf_text(const char* format, A... args)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

bool contains(const std::optional<std::string>& text, std::string_view what)
{
    return text && text->find(what) != std::string::npos;
}

} // namespace

std::string visible_text(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            out += c;
        else
            out += "\xC2\xB7"; // middle dot
    }
    return out;
}

char status_letter(std::uint8_t status_byte)
{
    static constexpr char letters[] = "ENEDg3I21APMEEEE";
    return letters[status_byte & 0x0F];
}

std::string_view status_word(int code)
{
    static constexpr const char* words[] = {"",     "NEVER",       "ERROR", "DOWNLOADED", "GRAB", "AUTO3",
                                            "INCREMENTAL", "AUTO2", "AUTO1",    "AUTO", "PRIORITY", "MINE"};
    return code >= 0 && code <= 11 ? words[code] : "";
}

std::string format_number(std::uint32_t file_number) { return printf_text("%-8X", file_number); }

std::string format_upload_time(std::uint32_t seconds)
{
    const std::tm tm = utc(seconds);
    return printf_text("%02d%02d %02d%s%02d", tm.tm_hour, tm.tm_min, tm.tm_mday, kMonths[tm.tm_mon], tm.tm_year % 100);
}

std::string format_percent_column(const DirectoryEntry& entry)
{
    if (entry.message)
        return "MSG";
    if (entry.percent != 0)
        return printf_text("%3i", int(entry.percent));
    return "   ";
}

std::string format_title_column(const DirectoryEntry& entry)
{
    if (entry.title && !entry.title->empty())
        return fitted(entry.title, 29);
    return visible_text(fit(entry.file_name, 29));
}

std::string format_row(const DirectoryEntry& entry, std::uint8_t status_byte, RowOptions options)
{
    std::string line;
    line.reserve(128);
    line += status_letter(status_byte);
    line += ' ';
    line += fitted(entry.destination, 7);
    line += ' ';
    line += fitted(entry.source, 7);
    line += ' ';
    line += format_upload_time(entry.upload_time);
    line += ' ';
    line += printf_text(options.print ? "%6u  " : "%7u  ", static_cast<std::uint32_t>(entry.file_size));
    line += format_percent_column(entry);
    line += ' ';
    line += format_title_column(entry);
    line += ' ';
    line += fitted(entry.keywords, 29);
    return line;
}

RowColour row_colour(const DirectoryEntry& entry, std::string_view callsign)
{
    if (contains(entry.destination, callsign))
        return RowColour::Red;
    if (contains(entry.source, callsign))
        return RowColour::Blue;
    return RowColour::Black;
}

InfoText format_info(const DirectoryEntry& entry, std::uint32_t now)
{
    InfoText info;
    info.file_number = printf_text("%x", entry.file_number);
    info.download_count = printf_text("%d", int(entry.download_count));
    info.destination = fitted(entry.destination, 45);
    info.source = fitted(entry.source, 45);
    info.title = fitted(entry.title, 45);
    info.keywords = fitted(entry.keywords, 45);
    info.uploader = visible_text(fit(entry.uploader, 6));
    const std::tm up = utc(entry.upload_time);
    info.upload_time = printf_text("%02d%02d%02d %02d %s %04d", up.tm_hour, up.tm_min, up.tm_sec, up.tm_mday,
                                   kMonths[up.tm_mon], up.tm_year + 1900);
    info.file_type = printf_text("%3i", int(entry.file_type)) + " " + std::string(file_type_description(entry.file_type));
    info.file_name = visible_text(entry.file_name);
    info.file_size = printf_text("%u", static_cast<std::uint32_t>(entry.file_size));
    info.percent = entry.percent == 0 ? "--" : printf_text("%2i", int(entry.percent));
    info.compression = std::string(compression_name(entry.compression));
    const std::tm ex = utc(entry.expire_time);
    const std::string when = printf_text("%02d%02d %02d %s %04d", ex.tm_hour, ex.tm_min, ex.tm_mday, kMonths[ex.tm_mon],
                                         ex.tm_year + 1900);
    info.expiry = (entry.expire_time > now ? "This file will expire on " : "This file expired on ") + when;
    return info;
}

} // namespace orva::dirview

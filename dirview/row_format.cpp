#include "dirview/row_format.h"

#include <cstdio>
#include <optional>
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

// The characters of a header text: UTF-8 when the whole text is valid UTF-8, else one Latin-1
// character per byte (what older stations wrote).
std::u32string decode_text(std::string_view bytes)
{
    static constexpr char32_t least[] = {0, 0x80, 0x800, 0x10000}; // below these: overlong
    std::u32string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || bytes.size() - i <= std::size_t(extra))
            break;
        char32_t c = extra == 0 ? b : b & (0x7F >> (extra + 1));
        int k = 1;
        for (; k <= extra; ++k) {
            const auto n = static_cast<unsigned char>(bytes[i + std::size_t(k)]);
            if ((n & 0xC0) != 0x80)
                break;
            c = (c << 6) | (n & 0x3F);
        }
        if (k <= extra || c < least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            break;
        out += c;
        i += std::size_t(extra) + 1;
    }
    if (i == bytes.size())
        return out;
    out.clear();
    for (char c : bytes)
        out += char32_t(static_cast<unsigned char>(c));
    return out;
}

void append_utf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// A header text as `width` characters on screen (cut or padded with blanks); none: as long as it is.
std::string shown_text(std::string_view bytes, std::optional<std::size_t> width)
{
    const std::u32string chars = decode_text(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    std::size_t n = 0;
    for (char32_t c : chars) {
        if (width && n == *width)
            break;
        // Control characters (C0, DEL, C1) would move or colour the text: a middle dot stands in.
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        append_utf8(out, control ? char32_t(0xB7) : c);
        ++n;
    }
    if (width)
        out.append(*width - n, ' ');
    return out;
}

std::string fitted(const std::optional<std::string>& text, std::size_t width)
{
    return shown_text(text ? std::string_view(*text) : std::string_view(), width);
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

std::string visible_text(std::string_view bytes) { return shown_text(bytes, std::nullopt); }

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
    return shown_text(entry.file_name, 29);
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
    info.uploader = shown_text(entry.uploader, 6);
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

// The texts of the directory list and of the information box, in the fixed-pitch layout Tessel
// has always used. Texts from headers are shown as data: each byte becomes one character, bytes
// that do not print become "·", so the columns keep their width. Results are UTF-8.
#pragma once

#include "dirview/directory_entry.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace orva::dirview {

inline constexpr const char* kNumberHeading = "FileNum";
inline constexpr const char* kRowHeading =
    "S To      From    Upload Time   F Size   % Title                         Keywords                     ";

// "S" column letter of a status byte: E N E D g 3 I 2 1 A P M, E for 12-15.
char status_letter(std::uint8_t status_byte);
// Equation word of a code: "NEVER" ... "MINE"; empty for 0 and 12-15.
std::string_view status_word(int code);

std::string format_number(std::uint32_t file_number); // "%-8lX"

struct RowOptions {
    bool print = false; // printing formats the size "%6lu  " instead of "%7lu  "
};
// The pieces of the line, each as wide as in the line.
std::string format_upload_time(std::uint32_t seconds);        // "%H%M %d%b%y" UTC
std::string format_percent_column(const DirectoryEntry& entry); // "MSG", "%3i" or 3 blanks
std::string format_title_column(const DirectoryEntry& entry);   // title, else file name, 29 wide

// The text line after the number column.
std::string format_row(const DirectoryEntry& entry, std::uint8_t status_byte, RowOptions options = {});

enum class RowColour { Black, Red, Blue };
// Red when the destination holds the callsign, else blue when the source does, else black.
RowColour row_colour(const DirectoryEntry& entry, std::string_view callsign);

// The fields of the "Message Information" box.
struct InfoText {
    std::string file_number;    // "%lx"
    std::string download_count; // "%d"
    std::string destination, source, title, keywords; // 45 characters
    std::string uploader;       // 6 characters
    std::string upload_time;    // "%H%M%S %d %b %Y" UTC
    std::string file_type;      // "%3i" blank description
    std::string file_name;
    std::string file_size;      // "%lu"
    std::string percent;        // "%2i", "--" for 0
    std::string compression;
    std::string expiry;         // "This file will expire on ..." / "This file expired on ..."
};
InfoText format_info(const DirectoryEntry& entry, std::uint32_t now);

// A header text made safe to show, in UTF-8: the text read as UTF-8 where it is valid, else as
// Latin-1; control characters as "·".
std::string visible_text(std::string_view bytes);

} // namespace orva::dirview

// The mail processor's rules for one download: the body's file name, where the file goes, how it
// is unpacked, when element sets update the database, and the texts it writes. Pure functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mailproc/download_header.h"

namespace orva::mailproc {

// The body's file name on disk: the one rule the directory viewer finds it by (header_disk_name).
std::string body_file_name(const DownloadHeader& header, std::uint32_t file_number);

// A single, harmless component for a name that came from the satellite or an archive: no "/",
// "\\", ":", control or non-ASCII bytes (each becomes "_"), no leading "-", never "." or "..",
// never empty (the file number names it then).
std::string safe_file_name(std::string_view name, std::uint32_t file_number);

// A name the engine keeps in the satellite folder for its own work: "Brek..." files, downloads
// and their hole lists (".DL", ".HOL", ".ACT", ".DLX", ".PFH") and the upload queue (".OUT",
// ".UL"), in any case.
bool is_engine_file_name(std::string_view name);

bool contains_ignoring_case(std::string_view text, std::string_view part);
std::string to_upper(std::string_view text);

// ".EXE" in the name makes a file type 6 and ".COM" type 7; other names keep their type.
std::uint8_t type_for_name(std::uint8_t type, std::string_view name);
bool is_binary_type(std::uint8_t type); // 6, 7, 12, 13
bool is_keps_type(std::uint8_t type);   // 8 NASA, 9 AMSAT

enum class FolderKind { Satellite, Unknown, Message, MyMessage, Bbs, Binary, Keps, Image, Log };

struct Route {
    FolderKind folder = FolderKind::Unknown;
    bool mine = false;
    bool keep_header = false;        // plain text messages keep their header copy
    bool whole_download_to_bbs = false; // gateway files: moved as they are
    bool log_file = false;
};

// `addressed_to_me`: the upper-cased destination contains the station callsign (an empty
// callsign is in every destination).
Route choose_route(std::uint8_t type, bool addressed_to_me, bool process_bbs);
bool addressed_to(std::string_view destination, std::string_view callsign);

enum class Compression { None, Arc, Zip, Lha };
// By the name first (".ARC", ".ZIP", ".LZH"), then by item 25 (1 PKPAK, 2 PKZIP, 3 LHA).
Compression compression_for(std::string_view name, std::optional<std::uint8_t> header_type);
// "ARC ", "ZIP ", "LHA " or nothing, as the status line shows it.
std::string_view compression_tag(Compression c);

// "Update Keps": 1 only ORBS...A.ELE files, 3 never, anything else always.
bool keps_name_allows_update(std::uint32_t update_keps, std::string_view name);
// "Update Callsign" and "Update Spacecraft": empty, or equal without regard to case.
bool keps_source_allows_update(std::string_view update_callsign, std::string_view update_spacecraft,
    std::string_view source, std::string_view satellite_name);

std::string message_header_text(std::string_view source, std::string_view destination, std::string_view title,
    std::string_view keywords);

// "[%s<>%s>] " with the F~ value and the download's name, the compression tag, the message.
std::string status_line(std::string_view pattern, std::string_view download, Compression c, std::string_view message);

} // namespace orva::mailproc

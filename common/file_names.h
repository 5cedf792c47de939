// File names of the satellite folders: file numbers in upper-case hex, and lookups that find a
// file whatever the case of its name, since the programs spell some names in several cases.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orva {

// "1A2B" + extension, e.g. file_number_name(0x1a2b, ".DL") == "1A2B.DL".
std::string file_number_name(std::uint32_t file_number, std::string_view extension = {});

// Parses the hex file number at the start of a name such as "1A2B.DL"; none when it has none.
std::optional<std::uint32_t> parse_file_number_name(std::string_view name);

// The name the file a PACSAT header describes gets on disk, the one rule for every program that
// files or finds it: item 38 (the sender's file name) when present, else item 2 "." item 3,
// each ending at its first blank. Texts end at a NUL. Only the last component counts, whichever
// separator the sender used ("\\", "/", ":"); at most 13 characters; control bytes, non-ASCII
// bytes and separators become "_"; no leading "-"; never "." or ".."; an empty name becomes the
// file number's ("1A2B"). The case is kept: finders compare without regard to case.
std::string header_disk_name(const std::optional<std::string>& user_file_name, const std::optional<std::string>& name,
                             const std::optional<std::string>& extension, std::uint32_t file_number);

// `name` made a single harmless component as above (no length limit); the file number names an
// empty one.
std::string safe_component(std::string_view name, std::uint32_t file_number);

bool equal_ignoring_case(std::string_view a, std::string_view b);

// The existing entry of the folder whose name equals `name` without regard to ASCII case,
// preferring an exact match.
std::optional<std::filesystem::path> find_file_nocase(const std::filesystem::path& folder, std::string_view name);

// The path to use for a file spelled `name` in `folder`: an existing file of any case, else the
// name as given.
std::filesystem::path resolve_file_nocase(const std::filesystem::path& folder, std::string_view name);

} // namespace orva

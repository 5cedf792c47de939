// Quillet's message files: a text message made into an upload queue file ".OUT", complete with
// its PACSAT file header (file number 0 until the server gives it one), in the satellite
// directory where the engine's upload client picks it up.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orva::quillet {

struct MessageFields {
    std::string destination; // "K1ABC", "ALL"
    std::string source;      // the station's callsign
    std::string title;
    std::uint32_t expiry_days = 2;
};

// One line of header text: line ends and other control characters removed, "~" dropped so it
// can never start another tilde argument downstream.
std::string header_text(std::string_view text);

// The whole file: header (file name `stem` "TXT", type 0, uncompressed) in the standard upload
// layout (common/pfh/upload_layout.h), then the body.
// Fails when the destination, source or title is empty once cleaned.
Result<std::vector<std::uint8_t>> build_message(const MessageFields& fields, std::string_view body,
                                                std::string_view stem, std::uint32_t now);

// Writes `bytes` as a new "<stem>.OUT" in `folder` (atomically, never over an existing file);
// the stem is the time in hex, counted up until free. Returns the path.
Result<std::filesystem::path> write_out_file(const std::filesystem::path& folder, std::uint32_t now,
                                             const MessageFields& fields, std::string_view body);

// The text the operator edits: "To:" and "Title:" lines, a blank line, then the body (for a
// reply, the original quoted with "> ").
std::string editor_template(const MessageFields& fields, std::string_view quoted);

// Reads an edited template back: "To:" / "Title:" lines (any case) before the first blank line
// replace the fields; the rest is the body. Lines before the blank line that are neither are
// part of the body.
struct EditedMessage {
    std::string destination, title, body;
};
EditedMessage parse_edited(std::string_view text, const MessageFields& fields);

} // namespace orva::quillet

// What Helmo's log viewers show: the engine's session log of a satellite as one row per
// session with its efficiency, the uploads it made, the upload files waiting in the satellite's
// folder with the destination and title of their headers, and the mail processor's error log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace orva::station {

inline constexpr const char* kSessionLogHeading = "Date       Start     Finish    Total     BPS   %eff";
inline constexpr const char* kSessionLogPrintHeading = "Date        Start     Finish      Total    BPS %eff";
inline constexpr const char* kUploadLogHeading = " File          Bytes  Secs Speed  Comments";
inline constexpr const char* kUploadFilesHeading = "Filename       Destination  Title";
inline constexpr const char* kDispoErrorHeading = "Satellite        File  Report";

struct SessionReport {
    std::vector<std::string> rows;
    std::optional<std::int64_t> average_efficiency; // none when no session counted
    bool uploads_seen = false;
};

struct UploadReport {
    std::vector<std::string> rows;
    std::int64_t count = 0;
    std::int64_t average_speed = 0;
};

// The session log's text ("Brek.LOG"), lines ended by CR LF or LF.
SessionReport session_report(std::string_view log);
UploadReport upload_report(std::string_view log);

struct HeaderSummary {
    std::string destination; // at most 11 characters
    std::string title;       // at most 29
};
// From the leading PACSAT file header of an upload file; empty fields without the 0xAA 0x55 mark.
HeaderSummary header_summary(std::span<const std::uint8_t> bytes);

struct UploadFile {
    std::filesystem::path path;
    HeaderSummary summary;
    std::string row() const; // "%-14s  %-11s  %s"
};
// "*.OUT", "*.PUL", "*.PNL", "*.ULX" and "*.UL" of the folder, by name.
std::vector<UploadFile> upload_files(const std::filesystem::path& satellite_directory);

// Copies an upload file into another satellite's folder as BASE.OUT.
Status copy_upload_file(const std::filesystem::path& file, const std::filesystem::path& destination_directory);

// The error log's lines, each cut to 79 characters; an error when there is no log.
inline constexpr const char* kNoDispoErrors = "There are no Dispo errors to view at this time.";
Result<std::vector<std::string>> dispo_error_lines(const std::filesystem::path& suite_directory);

} // namespace orva::station

// What a view of the engine (the window, the terminal) reads and is told: the status list, the
// monitor area, the status boxes and the download table. Plain values, copied out of the session.
#pragma once

#include "engine/link/status_line.h"
#include "engine/upload/upload_types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orva::engine {

inline constexpr std::size_t kStatusLines = 20;
inline constexpr std::size_t kStatusLineLength = 99;
inline constexpr std::size_t kMonitorLines = 35;
inline constexpr std::size_t kTableRows = 10;

struct StatusLine {
    std::string text; // at most kStatusLineLength characters
    LineColour colour = LineColour::Black;
    // The directory entry the line reports, for the double click on a directory line.
    std::uint32_t file_number = 0;
    bool operator==(const StatusLine&) const = default;
};

// One row of the download table: the file being received in a slot.
struct DownloadRow {
    std::uint32_t file_number = 0; // 0: the slot is free
    std::string name;              // "%lX" of the file number
    std::uint64_t received = 0;    // bytes on disk
    std::uint32_t total = 0;       // 0: not yet known
    std::size_t holes = 0;         // holes left
    int percent = 0;
    std::string table_text;        // " File # Hol   %  Offset  Length" row
    bool operator==(const DownloadRow&) const = default;
};

struct StatusBoxes {
    std::string directory_status;
    std::string request_status = "Auto Idle"; // or "AUTO %lX"
    std::string efficiency;                  // "%u%%" since the last status line; empty while not known
    std::string pass_efficiency;             // "%u%%" over the whole pass; empty while not known
    std::string total_bytes = "T:      0";   // "T:%7lu"
    std::string directory_bytes = "D:      0"; // "D:%7lu"
    std::string file_bytes = "F:      0";    // "F:%7lu"
    std::string upload_letter;               // "U" while an upload link is up, else empty
    std::string queue_line;                  // the last PB list
    std::string bbs_status;                  // the BBS status line
    std::optional<UploadProgress> upload;    // while a file is being sent
    std::string uploads_off;                 // why this pass cannot upload; empty when it can
    std::string upload_held;                 // a queue file not sent for its header, and why
    // The pass-time bar: from the pass start to the end given by message 2042.
    std::int64_t pass_start = 0;              // station seconds
    std::optional<std::int64_t> pass_end;     // station seconds
    std::int64_t now = 0;                     // station seconds at the last refresh
    bool operator==(const StatusBoxes&) const = default;
};

// The Information box.
struct InformationFigures {
    std::uint32_t crc_errors = 0;
    std::uint32_t overruns = 0;
    std::uint64_t total_bytes = 0;
    std::uint64_t file_bytes = 0, file_bytes_used = 0;
    std::uint64_t directory_bytes = 0, directory_bytes_used = 0;
    std::optional<unsigned> efficiency; // percent, none while not known
    std::optional<std::uint32_t> bad_smack; // only once SMACK has been seen
};

// Tells a view what changed; it reads the new values from the session. Called on the thread that
// drives the session.
class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    virtual void on_status_line(const StatusLine& /*line*/) {}
    virtual void on_monitor_line(const std::string& /*line*/) {}
    virtual void on_boxes_changed() {}
    virtual void on_table_changed() {}
    virtual void on_title_changed(const std::string& /*title*/) {}
    // A pass opened or closed (menus enabled or not).
    virtual void on_pass_changed(bool /*open*/) {}
    // Message 2043: close the Upload Status box and redraw the upload letter.
    virtual void on_upload_box_close() {}
    // The viewer filled the File Information box `box` of `file_number` (2030): destination, source,
    // title, size ("%li") and type ("%3i" and its description).
    virtual void on_file_information_fields(std::uint32_t /*box*/, std::uint32_t /*file_number*/,
                                            const std::vector<std::string>& /*fields*/) {}
    // The close sequence has ended and the program is to end: destroy the window.
    virtual void on_finished() {}
};

} // namespace orva::engine

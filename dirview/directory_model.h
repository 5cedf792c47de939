// The directory model behind Tessel's window: every entry of a satellite's directory files,
// newest first, the download-status table shared with the engine, the list modes (four fixed,
// plus the equations of "Tessel Equations.TXT") and the display list they select, sized for a
// virtualised view: row_count(), row(i), column_text(i, c).
//
// Not thread-safe: the window drives it from one thread. Status changes another program makes
// through the shared table show at once in the texts; poll_status_changes() tells which rows to
// repaint.
#pragma once

#include "dirview/directory_config.h"
#include "dirview/directory_entry.h"
#include "dirview/row_format.h"
#include "dirview/status_view.h"
#include "dirview/view_equations.h"
#include "platform/clock.h"
#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orva::dirview {

inline constexpr const char* kModeNewestDownloaded = "Newest downloaded files";
inline constexpr const char* kModeChanges = "Changes to the directory";
inline constexpr const char* kModeAll = "All files";
inline constexpr const char* kModeRequested = "Requested Downloads";

struct DirectoryCounters {
    std::uint32_t loaded = 0, user = 0, bbs = 0, log = 0;
    std::uint32_t compressed = 0, pkpak = 0, pkzip = 0, lharc = 0, other_compression = 0;
    std::int32_t marked = 0; // "Files marked for download", as the marking commands count it
};

// What open() found, for the operator.
struct OpenReport {
    // Fixed message texts to show in a box, in order: "Satellite Directory not found" (with
    // `detail` the path), "There are no PFH files to load".
    std::string message;
    std::string detail;
    bool loaded = false; // entries were loaded and the commands may be enabled
    bool status_table = false;
    std::size_t files_read = 0;
    std::size_t bad_headers = 0; // dropped while loading
    std::vector<std::string> notices; // damage found in directory files, one line each
};

enum class Column : std::uint8_t {
    FileNumber, // "%-8lX"
    Line,       // the whole text line of format_row
    Status, To, From, UploadTime, Size, Percent, Title, Keywords, // the pieces of Line
};

struct AddResult {
    enum Kind { Added, Replaced, Kept, Dropped, Rejected } kind = Rejected;
    std::uint32_t file_number = 0;
    std::optional<std::size_t> row; // display row of a replaced entry
    std::string reason;             // Rejected: why the bytes are not a header
};

struct SearchFields {
    std::string to, from, title, keywords, file_type; // empty: any
};

struct DeleteResult {
    std::vector<std::filesystem::path> deleted;
    bool marked_never = false; // "Mark Never" was on: the selection stays
};

class DirectoryModel {
public:
    explicit DirectoryModel(const platform::Clock& clock);
    ~DirectoryModel();
    DirectoryModel(const DirectoryModel&) = delete;
    DirectoryModel& operator=(const DirectoryModel&) = delete;

    // The suite's "Tessel Equations.TXT", read at start-up; a satellite's own copy replaces it
    // while that satellite is open.
    void load_suite_equations(const std::filesystem::path& suite_dir);

    // Closes any open directory, maps the status table, loads the entries, percent and message
    // flags, and selects "Changes to the directory" (or "All files" when that is empty).
    OpenReport open(const DirectoryConfig& config);
    // Clears the changed bit of every status record and forgets the entries.
    void close();
    bool is_open() const;
    const DirectoryConfig& config() const;
    // "Mark Never" changed in the setup: the next delete follows it.
    void set_mark_never(bool on);

    // A raw header the engine advised (no checksum test). A new entry joins the display list
    // at the next select_mode; a replaced one is replaced in it at once.
    AddResult add_entry(std::span<const std::uint8_t> header);

    // List modes: the fixed four, then the equation names sorted alphabetically.
    std::vector<std::string> mode_names() const;
    // False (display list kept) for an unknown name, or for a mode that needs the status table
    // when there is none.
    bool select_mode(std::string_view name);
    const std::string& current_mode() const;
    // Equations discarded by the last load, with their lines, for the operator.
    const std::vector<EquationFault>& equation_faults() const;

    // The display list.
    std::size_t row_count() const;
    const DirectoryEntry& row(std::size_t index) const;
    std::string column_text(std::size_t index, Column column) const;
    RowColour row_colour(std::size_t index) const;
    // Display row of a file number, none when not shown.
    std::optional<std::size_t> row_of(std::uint32_t file_number) const;

    // The whole directory, newest first.
    std::size_t entry_count() const;
    const DirectoryEntry* find(std::uint32_t file_number) const;

    std::uint8_t status_of(std::uint32_t file_number) const;
    bool has_status_table() const;
    // The raw table change; false without a table ("View was NULL").
    bool set_status(std::uint32_t file_number, int code);
    // A marking command on a display row: set_status plus the "Files marked" count.
    bool mark(std::size_t row, int code);
    // Display rows whose status byte changed since the last call (another program's writes
    // included).
    std::vector<std::size_t> poll_status_changes();
    // Display rows whose percent received changed since the last call: the engine rewrites the hole
    // lists of the files it receives, so the column follows the pass.
    std::vector<std::size_t> poll_percent_changes();

    // 2028 from the mail processor / 2033: the entry gets / loses the message flag.
    bool mark_message(std::uint32_t file_number);
    bool clear_message(std::uint32_t file_number);

    InfoText info(std::uint32_t file_number) const;
    const DirectoryCounters& counters() const;

    // Where the file's processed form lies; none when it has none, or when the name would
    // leave the satellite's folders.
    std::optional<std::filesystem::path> entry_path(const DirectoryEntry& entry) const;
    // The local pieces of the entry: "%lx.ACT" and "%lx.HOL" (any case) in the satellite
    // directory, the entry's path and its ".PFH" sibling. Deletes them, clears percent and
    // message flag, and marks NEVER when "Mark Never" is on.
    DeleteResult delete_files(std::size_t row);

    // The display list becomes every entry matching the filled fields (Custom search);
    // current_mode() is then empty until the next select_mode.
    void search(const SearchFields& fields);

    // Arguments (after the program name) for the message composer. Header texts lose line
    // feeds, carriage returns and "~" so they stay one value each.
    std::vector<std::string> new_message_arguments() const;
    std::vector<std::string> reply_arguments(const DirectoryEntry& entry) const;

private:
    struct State;
    const platform::Clock& clock_;
    std::unique_ptr<State> state_;
};

} // namespace orva::dirview

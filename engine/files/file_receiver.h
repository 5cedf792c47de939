// File reception: broadcast fragments of up to ten files at a time written into "%lX.ACT" at
// their offsets, the holes kept in memory and saved to "%lX.HOL", completion recognised and the
// finished file renamed for the mail processor.
//
// Crash safety: a hole list is only written (atomically) after the data it describes has been
// synced, and on loading, any byte the list claims but the ".ACT" does not hold counts as
// missing. A kill at any moment therefore costs at most a re-fetch, never a wrong byte.
#pragma once

#include "common/pfh/file_size_sniffer.h"
#include "common/pfh/pfh.h"
#include "engine/directory/download_status.h"
#include "engine/files/hole_file.h"
#include "engine/files/hole_list.h"
#include "engine/frames/frame_receivers.h"
#include "engine/link/status_line.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orva::engine {

inline constexpr std::size_t kDownloadSlots = 10;
inline constexpr std::size_t kHeardRing = 20;
inline constexpr std::uint32_t kLargestFragmentOffset = 4096000;

struct FileSettings {
    bool grab_all = true;              // "Grab All"
    bool block_bbs = true;             // "Block BBS"
    std::uint32_t bdcst_frame = 244;   // "Bdcst Frame"
    std::uint32_t proc_threshold = 1500; // "Proc Threshold"
};

class FileListener {
public:
    virtual ~FileListener() = default;
    virtual void on_file_heard(std::uint32_t /*file_number*/) {}
    // `process_now`: at most "Proc Threshold" bytes, hand it to the mail processor at once.
    virtual void on_file_complete(std::uint32_t /*file_number*/, const std::filesystem::path& /*file*/,
                                  std::uint32_t /*length*/, bool /*process_now*/) {}
    // An incremental file reached its end: nothing is filed, but its request is done.
    virtual void on_incremental_complete(std::uint32_t /*file_number*/) {}
};

struct DownloadSlot {
    int fd = -1;
    std::uint32_t file_number = 0; // 0: free
    std::uint32_t length = 0;      // 0: not yet known
    std::uint64_t written = 0;     // this pass
    std::uint32_t next_header_offset = 0;
    pfh::FileSizeSniffer sniffer;
    bool length_from_header = false;
    HoleList holes;
    int percent = 0;
    std::uint64_t last_heard = 0;
    std::uint32_t last_offset = 0;
    int status = 0;
    bool dirty = false; // holes changed since last saved

    bool free() const { return file_number == 0; }
};

struct FileCounters {
    std::uint64_t bytes = 0;         // "F:": data bytes of file fragments
    std::uint64_t useful_bytes = 0;  // bytes that filled a hole
    std::uint64_t completed = 0;
    std::uint32_t dropped = 0;       // out of range, too long, nothing new
    std::uint32_t refused = 0;       // no slot for the file
    std::uint32_t size_changes = 0;  // the file changed on the satellite: started again
};

class FileReceiver : public FileFragmentReceiver {
public:
    using Clock = std::function<std::uint64_t()>;

    FileReceiver(std::filesystem::path folder, FileSettings settings, DownloadStatus& status, Clock clock,
                 StatusSink* sink, FileListener* listener);
    ~FileReceiver() override;

    void on_file_fragment(const FileFragment& fragment) override;

    // The slot holding the file, opening one if the status allows (also before a fill request).
    std::optional<std::size_t> open_slot(std::uint32_t file_number);
    std::optional<std::size_t> find_slot(std::uint32_t file_number) const;
    const DownloadSlot& slot(std::size_t index) const { return slots_[index]; }

    // Saves the slot's holes and frees it.
    void save_holes(std::size_t index);
    // Pass end: every slot saved and freed.
    void close_all();
    // Syncs the data and writes the hole list of every slot that changed, keeping them open.
    void checkpoint();
    // "File %lX deleted": data and holes removed, status Never.
    void delete_download(std::uint32_t file_number);

    // Gateway files: 1 already known, 2 hole file written, 3 nothing to collect.
    int prepare_gateway_holes(const pfh::PfhHeader& header, std::string_view collect_list);

    void set_requested_file(std::uint32_t file_number) { requested_ = file_number; }
    std::uint32_t requested_file() const { return requested_; }
    // The `n` files heard most recently, newest first.
    std::vector<std::uint32_t> recently_heard(std::size_t n) const;
    // The last fragment heard: flagged as its file's last bytes; the bytes it carried.
    bool last_fragment_ended_file() const { return last_ended_file_; }
    std::uint32_t last_fragment_offset() const { return last_offset_; }
    std::uint32_t last_fragment_end() const { return last_end_; }

    // Completed files larger than "Proc Threshold", waiting for the end of the pass.
    const std::vector<std::filesystem::path>& waiting_for_pass_end() const { return waiting_; }
    // The session-only settings boxes change these while the pass runs.
    const FileSettings& settings() const { return settings_; }
    void set_settings(const FileSettings& settings) { settings_ = settings; }
    const FileCounters& counters() const { return counters_; }
    // " File # Hol   %  Offset  Length" rows.
    std::string table_row(std::size_t index) const;

private:
    void post(std::string text, LineColour colour = LineColour::Black);
    void post_number(const char* format, std::uint32_t file_number, LineColour colour = LineColour::Black);
    bool write_fragment(DownloadSlot& s, const FileFragment& f);
    void complete(std::size_t index);
    Status write_holes(const DownloadSlot& s, bool for_close);
    void free_slot(DownloadSlot& s);
    void restart_file(DownloadSlot& s);
    void sniff_from_disk(DownloadSlot& s);
    void update_percent(DownloadSlot& s);
    std::filesystem::path path_of(std::uint32_t file_number, std::string_view ext) const;

    std::filesystem::path folder_;
    FileSettings settings_;
    DownloadStatus& status_;
    Clock clock_;
    StatusSink* sink_;
    FileListener* listener_;
    std::array<DownloadSlot, kDownloadSlots> slots_{};
    std::array<std::uint32_t, kHeardRing> heard_{};
    std::size_t heard_pos_ = 0;
    std::uint32_t last_heard_file_ = 0;
    bool last_ended_file_ = false;
    std::uint32_t last_offset_ = 0, last_end_ = 0;
    std::uint32_t requested_ = 0;
    std::vector<std::filesystem::path> waiting_;
    // Names of the folder in upper case, read once: finds "%lx.ACT" spellings without a scan per file.
    mutable std::optional<std::unordered_map<std::string, std::filesystem::path>> spellings_;
    FileCounters counters_;
};

} // namespace orva::engine

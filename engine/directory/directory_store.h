// Directory reception: fragments reassembled into headers, checked, appended to the directory
// files, the directory holes updated, and each new entry's download status decided and written
// to the status table.
#pragma once

#include "common/pfh/pfh.h"
#include "engine/directory/directory_file.h"
#include "engine/directory/directory_holes.h"
#include "engine/directory/download_status.h"
#include "engine/directory/header_assembler.h"
#include "engine/directory/status_table.h"
#include "engine/frames/frame_receivers.h"
#include "engine/link/status_line.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace orva::engine {

struct DirectorySettings {
    std::string my_call;           // station callsign, without SSID
    bool enable_satgate = false;   // "Enable SatGate"
    std::string satgate_reject;    // "SatGate Reject": blank-separated callsigns
    std::uint32_t satgate_priority = 10;
    bool dl_mine = true;           // "DL Mine": our own uploads become Never
    bool ack_receipt = false;      // "Ack Receipt"
};

// The selection equations: a status code for a new entry, or none when no equation matches.
class StatusDecider {
public:
    virtual ~StatusDecider() = default;
    virtual std::optional<int> decide(const pfh::PfhHeader& header, std::uint64_t now) = 0;
};

// What the directory tells the rest of the engine.
class DirectoryListener {
public:
    virtual ~DirectoryListener() = default;
    virtual void on_header_stored(std::span<const std::uint8_t> /*header*/) {}
    // The directory has become complete ("DIR <Up to Date>").
    virtual void on_up_to_date() {}
    // A new entry with its status; the request scheduler may ask for it at once.
    virtual void on_new_entry(std::uint32_t /*file_number*/, int /*code*/) {}
    // A gateway file: 1 already known, 2 hole file written, 3 nothing to collect.
    virtual int prepare_gateway(const pfh::PfhHeader& /*header*/) { return 3; }
    virtual void send_receive_ack(std::uint32_t /*file_number*/) {}
};

struct DirectoryCounters {
    std::uint64_t bytes = 0;      // "D:": fragment data bytes
    std::uint64_t bytes_used = 0; // header bytes written
    std::uint64_t headers = 0;    // headers stored this pass
    std::uint32_t checksum_errors = 0;
    std::uint32_t type_errors = 0;
    std::uint32_t length_errors = 0;
    std::uint32_t outside_holes = 0; // complete headers for ranges already heard
};

class DirectoryStore : public DirectoryFragmentReceiver, public DownloadStatus {
public:
    using Clock = std::function<std::uint64_t()>; // station time, seconds since 1970

    DirectoryStore(std::filesystem::path folder, DirectorySettings settings, Clock clock, StatusSink* status,
                   DirectoryListener* listener, StatusDecider* decider);

    // Pass start: the directory file, the holes and the status table.
    void open();
    // Pass end: holes saved, directory file flushed, table unmapped.
    void close();
    // Saves "Brek Dir Holes.DAT" (atomically) and flushes the directory file.
    void save();
    void flush_directory_file();

    void on_directory_fragment(const DirectoryFragment& fragment) override;

    std::optional<int> get_download_status(std::uint32_t file_number) override;
    int set_download_status(std::uint32_t file_number, int code, bool mark_changed) override;

    // The server has nothing newer than what is held (its answer to the open-ended fill came and
    // went): what the newest-file flag says, for servers that never set it.
    void confirm_up_to_date();

    const DirectoryHoles& holes() const { return holes_; }
    bool newest_seen() const { return newest_seen_; }
    // One hole left and the newest file seen.
    bool complete() const { return holes_.count() == 1 && newest_seen_; }
    std::optional<std::uint64_t> up_to_date_time() const { return up_to_date_; }
    const std::string& status_text() const { return status_text_; }
    const DirectorySettings& settings() const { return settings_; }
    void set_settings(const DirectorySettings& settings) { settings_ = settings; }
    const DirectoryCounters& counters() const { return counters_; }
    StatusTable* table() { return table_ ? &*table_ : nullptr; }
    const std::filesystem::path& folder() const { return folder_; }

private:
    void post(std::string text, LineColour colour = LineColour::Black);
    void show_hole_status();
    void became_up_to_date();
    void store_header(const pfh::PfhHeader& header, std::span<const std::uint8_t> bytes);
    int decide_status(const pfh::PfhHeader& header, LineColour& colour, bool& blank_letter);
    bool checksum_error(std::uint32_t file_number);

    std::filesystem::path folder_;
    DirectorySettings settings_;
    Clock clock_;
    StatusSink* status_;
    DirectoryListener* listener_;
    StatusDecider* decider_;

    std::optional<StatusTable> table_;
    std::optional<DirectoryFile> file_;
    DirectoryHoles holes_;
    HeaderAssembler assembler_;
    struct ChecksumErrors {
        std::uint32_t file_number = 0;
        int count = 0;
    };
    std::array<ChecksumErrors, 10> errors_{};
    bool newest_seen_ = false;
    std::optional<std::uint64_t> up_to_date_;
    std::string status_text_;
    DirectoryCounters counters_;
};

} // namespace orva::engine

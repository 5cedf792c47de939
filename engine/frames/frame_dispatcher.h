// Receives every AX.25 frame from the link, classifies it and hands its payload on. Runs on the
// receive thread; broadcast payloads are handed on under the download-table lock.
#pragma once

#include "engine/frames/frame_classifier.h"
#include "engine/frames/frame_receivers.h"
#include "engine/link/status_line.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

namespace orva::engine {

struct DispatchSettings {
    std::uint32_t bdcst_frame = 244;   // "Bdcst Frame"
    std::uint32_t crc_close = 999999;  // "CRC Close"
    bool ignore_shut = false;          // "Ignore Shut"
    bool update_keps = true;           // "Update Keps"
    bool print_headers = false;        // "Print Headers"
};

struct DispatchReceivers {
    FileFragmentReceiver* files = nullptr;
    DirectoryFragmentReceiver* directory = nullptr;
    RequestReceiver* requests = nullptr;
    UploadReceiver* upload = nullptr;
    SessionLogReceiver* log = nullptr;
    ElementSetReceiver* elements = nullptr;
    MonitorSink* monitor = nullptr;
    LinkControl* link = nullptr;
    StatusSink* status = nullptr;
    std::mutex* download_lock = nullptr;
};

struct DispatchCounters {
    std::uint32_t frames = 0;
    std::uint32_t crc_errors = 0;       // "CRC Errors"
    std::uint64_t broadcast_bytes = 0;  // good broadcast fields, in bytes
    std::uint32_t malformed = 0;        // too short for addresses, or for a broadcast header
    std::uint32_t oversize_fields = 0;  // 512 bytes or more
    std::uint32_t bad_fragments = 0;    // length fields that do not fit
    // Tolerated: meaning clear despite a detail real servers get wrong.
    std::uint32_t reserved_bits_clear = 0;
    std::uint32_t trailing_nul = 0;
    std::uint32_t end_bit_missing = 0;
};

class FrameDispatcher {
public:
    FrameDispatcher(StationCalls calls, DispatchSettings settings, DispatchReceivers receivers);

    // The TNC parameters have been sent: the next frame heard starts the session.
    void arm_session();
    void on_ax25_frame(std::span<const std::uint8_t> bytes, std::chrono::sys_seconds now);

    const DispatchSettings& settings() const { return settings_; }
    void set_settings(const DispatchSettings& settings) { settings_ = settings; }
    const DispatchCounters& counters() const { return counters_; }
    std::optional<std::chrono::sys_seconds> last_heard() const { return last_heard_; }
    std::optional<std::chrono::sys_seconds> first_heard() const { return first_heard_; }

private:
    void broadcast(const Ax25Frame& f);
    void server_text(const Ax25Frame& f, std::string_view text);
    void unrelated(const Ax25Frame& f);
    std::string_view text_of(const Ax25Frame& f);
    void post(std::string text, LineColour colour);
    void show(std::string_view line);

    StationCalls calls_;
    DispatchSettings settings_;
    DispatchReceivers rx_;
    DispatchCounters counters_;
    bool armed_ = false;
    bool kepset_examined_ = false;
    std::optional<std::chrono::sys_seconds> last_heard_;
    std::optional<std::chrono::sys_seconds> first_heard_;
    std::optional<Ax25Address> unrelated_source_;
    int unrelated_count_ = 0;
};

} // namespace orva::engine

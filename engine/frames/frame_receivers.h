// Where classified frames go: one small interface per receiver of the engine. The dispatcher
// holds plain pointers; a receiver that is not wired in is simply skipped.
#pragma once

#include "engine/frames/ax25_frame.h"
#include "engine/frames/broadcast_frames.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace orva::engine {

class FileFragmentReceiver { // file reception
public:
    virtual ~FileFragmentReceiver() = default;
    virtual void on_file_fragment(const FileFragment& fragment) = 0;
};

class DirectoryFragmentReceiver { // directory store
public:
    virtual ~DirectoryFragmentReceiver() = default;
    virtual void on_directory_fragment(const DirectoryFragment& fragment) = 0;
};

class RequestReceiver { // request scheduling
public:
    virtual ~RequestReceiver() = default;
    virtual void on_queue_line(std::string_view text, bool full) = 0;
    // "NO -" answers 2 and 3 to this station: the file being requested is not available.
    virtual void on_file_refused(int code) = 0;
    // An "OK" answer to this station: the last request was taken.
    virtual void on_request_accepted() {}
    // Any answer to this station ("OK" or "NO -n"): the last request was heard.
    virtual void on_request_answered() {}
};

class UploadReceiver { // upload client
public:
    virtual ~UploadReceiver() = default;
    virtual void on_bbs_status(std::string_view text) = 0;
    virtual void on_connected_frame(const Ax25Frame& frame) = 0;
};

class SessionLogReceiver { // session log and satellite time
public:
    virtual ~SessionLogReceiver() = default;
    virtual void on_session_start(std::chrono::sys_seconds now) = 0;
    // STATUS/BSTAT line; the figure after "B:" when there is one.
    virtual void on_server_status(std::string_view text, std::optional<std::uint64_t> bytes_broadcast) = 0;
    virtual void on_satellite_time(std::uint32_t satellite_time, std::span<const std::uint8_t> frame) = 0;
};

// KEPSET text, at most once per pass. The element database update itself is the element
// import's job; this is its hook.
class ElementSetReceiver {
public:
    virtual ~ElementSetReceiver() = default;
    virtual void on_element_set(std::string_view text) = 0;
};

class MonitorSink { // the engine window's monitor area
public:
    virtual ~MonitorSink() = default;
    virtual void show(std::string_view line) = 0;
};

class LinkControl { // what the frame layer asks of the link and the program
public:
    virtual ~LinkControl() = default;
    virtual void write_raw(std::span<const std::uint8_t> bytes) = 0;
    virtual bool send_kiss_frame(std::span<const std::uint8_t> frame) = 0;
    virtual void close_engine() = 0; // "CRC count exceeded"
};

} // namespace orva::engine

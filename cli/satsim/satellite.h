// The simulated PACSAT server: a broadcast queue fed by the fill and directory requests it hears,
// served as file and directory broadcast frames at the downlink's byte rate, with a queue line
// every few seconds. Sans-IO: frames in, frames out, the time handed in.
//
// Written from the broadcast protocol as a server sees it; it shares only byte codecs with the
// ground station, so a misreading on either side shows up as a failed transfer.
#pragma once

#include "engine/frames/ax25_address.h"
#include "cli/satsim/served_file.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace orva::satsim {

using Frame = std::vector<std::uint8_t>;

struct SatelliteConfig {
    std::string bdcst_call = "PACSAT-11";
    std::string bbs_call = "PACSAT-12";
    std::uint32_t bytes_per_second = 1200; // downlink
    std::uint64_t queue_line_ms = 3000;
    std::uint64_t telemetry_ms = 10000;
    std::size_t queue_size = 10;
    std::size_t dir_fragment = 128;   // largest piece of a header per directory frame
    std::size_t headers_per_hole = 10; // directory entries sent for one requested hole
    std::uint32_t epoch = 0;          // satellite time at simulated time 0
    // Air time an idle downlink may still use later, in bytes. Behind a TNC, which paces the air
    // itself, a second and a little more keeps a coarse poll from losing air time; with nothing
    // to pace it (a simulated pass in one process) it must be one frame, or an idle downlink
    // would later send faster than its rate.
    std::optional<std::size_t> idle_credit_bytes;
    // Behave as the servers in service do rather than as the protocol papers read: no N bit and
    // no E bit on a header split over frames, NUL-ended texts, "OK"/"NO" answers with PID 0xBB,
    // file broadcasts in fixed chunks with flags and file type 0, address reserved bits clear.
    bool real_server = false;
};

// The fixed chunk a server in service sends file bytes in, whatever block size was asked.
inline constexpr std::size_t kRealServerChunk = 191;

// Clears the reserved bits (0x60) of every address SSID byte, as servers in service send them.
void clear_reserved_bits(std::vector<std::uint8_t>& frame);

struct SatelliteCounters {
    std::uint64_t frames_sent = 0;
    std::uint64_t file_frames = 0;
    std::uint64_t dir_frames = 0;
    std::uint64_t requests = 0;
    std::uint64_t dir_requests = 0;
    std::uint64_t bad_requests = 0;
    std::uint64_t refused = 0; // "NO -2"
    std::uint64_t answered_ok = 0; // "OK CALL" answers (real-server mode)
};

class Satellite {
public:
    Satellite(SatelliteConfig config, std::vector<ServedFile> files);

    // An AX.25 frame heard on the uplink.
    void on_uplink_frame(std::span<const std::uint8_t> frame, std::uint64_t now_ms);
    // Frames the downlink has room for by `now_ms`.
    std::vector<Frame> poll(std::uint64_t now_ms);
    // Frames for a transmitter with `room` bytes free in its queue (see Transmitter): the
    // downlink is paced by that transmitter instead. Periodic lines are not held back.
    std::vector<Frame> poll(std::uint64_t now_ms, std::size_t room);

    const SatelliteCounters& counters() const { return counters_; }
    const std::vector<ServedFile>& files() const { return files_; }
    std::string queue_text() const;
    // Broadcast information bytes sent so far (file and directory frames).
    std::uint64_t bytes_broadcast() const { return bytes_broadcast_; }

    // Adds an uplink-style file (the upload issue's FTL0 server will call this).
    void add_file(ServedFile file);

private:
    struct Request {
        engine::Ax25Address station;
        bool directory = false;
        std::uint32_t file_number = 0;
        std::uint16_t block = 244;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges; // file: offset, length; dir: start, end
        bool whole = false;
    };

    std::vector<Frame> release(std::uint64_t now_ms, std::optional<std::size_t> room);
    const ServedFile* find(std::uint32_t file_number) const;
    void enqueue(Request r);
    void expand(const Request& r);
    void file_frames(const ServedFile& f, std::uint32_t offset, std::uint32_t length, std::uint16_t block);
    void directory_frames(const ServedFile& f, std::uint16_t block);
    Frame ui(const engine::Ax25Address& to, std::uint8_t pid, std::span<const std::uint8_t> info) const;
    static Frame ui_from(const engine::Ax25Address& from, const engine::Ax25Address& to, std::uint8_t pid,
                         std::span<const std::uint8_t> info);
    Frame with_crc(std::vector<std::uint8_t> field) const;
    void answer(const engine::Ax25Address& station, const std::string& text);
    Frame finish(Frame f) const;

    SatelliteConfig config_;
    std::vector<ServedFile> files_;
    engine::Ax25Address bdcst_;
    engine::Ax25Address bbs_;
    std::deque<Request> queue_;
    std::deque<Frame> outgoing_;
    std::deque<Frame> answers_; // "OK"/"NO" answers, sent ahead of queued broadcasts
    std::uint64_t last_poll_ms_ = 0;
    double budget_ = 0;
    std::uint64_t next_queue_line_ = 0;
    std::uint64_t next_telemetry_ = 0;
    std::uint64_t bytes_broadcast_ = 0; // broadcast information bytes sent, as the status line counts them
    bool started_ = false;
    SatelliteCounters counters_;
};

} // namespace orva::satsim

// The simulated satellite's upload server: the answering end of AX.25 connected mode to its BBS
// callsign and an FTL0 server over it, storing finished uploads in a folder. Sans-IO: frames and
// the time in, frames out. Written from the protocol as a server sees it; it shares only the
// address and frame codecs with the ground station.
#pragma once

#include "engine/frames/ax25_address.h"

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orva::satsim {

struct Ftl0ServerConfig {
    std::string bbs_call = "PACSAT-12";
    std::filesystem::path folder;         // finished uploads land here as "%X.UPL"
    std::optional<int> refuse;            // answer every upload with this error code
    std::optional<double> cut_at;         // drop the link once this share of a file has arrived (once per file)
    std::uint64_t status_ms = 5000;       // "Open ABCD" to BBSTAT this often
    std::uint64_t t1_ms = 3000;
    int retries = 20;
    std::uint32_t first_number = 0x800;
    std::uint32_t epoch = 0;              // satellite time at simulated time 0
    // As a server in service: "Open: A" and a NUL, a login response with trailing bytes, address
    // reserved bits clear, an upload filed only when its header carries the number the go answer
    // gave (anything else is answered with a bad-header refusal) and then filed in place (see
    // file_in_place), and a SABM from a station still logging in answered by ending its session.
    bool real_server = false;
};

struct Ftl0ServerCounters {
    std::uint64_t sessions = 0, uploads_started = 0, uploads_done = 0, refusals = 0, cuts = 0;
    std::uint64_t rejects_sent = 0, retransmissions = 0;
    std::uint64_t header_refusals = 0; // uploads whose header did not carry the number given
    std::uint64_t login_resets = 0;    // sessions ended by a second SABM during their login
};

struct FinishedUpload {
    std::uint32_t file_number;
    std::filesystem::path path;
    bool filed_in_place = false; // its header was patched by file_in_place: served as it is
};

// How a server in service files an upload: without parsing the header it writes the file number,
// the upload time and then the header checksum at the offsets of the standard upload layout
// (common/pfh/upload_layout.h). It takes the source to be the uploader's callsign, so the upload
// time goes at 82 plus the length of `uploader`. The checksum is summed over the body offset's
// count of bytes as found at its place. Writes past the end of `file` are left out. A header in
// the standard layout comes out right; any other comes out with bytes of other items overwritten
// and a checksum that does not hold.
void file_in_place(std::vector<std::uint8_t>& file, std::uint32_t file_number, std::uint32_t upload_time,
                   std::string_view uploader);

class Ftl0Server {
public:
    explicit Ftl0Server(Ftl0ServerConfig config);

    void on_uplink_frame(std::span<const std::uint8_t> frame, std::uint64_t now_ms);
    std::vector<std::vector<std::uint8_t>> poll(std::uint64_t now_ms);
    // Uploads finished since the last call.
    std::vector<FinishedUpload> take_finished();

    const Ftl0ServerCounters& counters() const { return counters_; }
    bool connected() const { return peer_.has_value(); }

private:
    struct Partial {
        std::uint32_t length = 0;
        std::vector<std::uint8_t> bytes;
        bool cut_done = false;
    };

    void frame_to(const engine::Ax25Address& to, std::uint8_t control, bool command, std::span<const std::uint8_t> info,
                  bool with_pid);
    void send_s(std::uint8_t kind_bits, bool final);
    void send_answer(std::uint8_t type, std::span<const std::uint8_t> data);
    void transmit_i(std::size_t index, bool poll);
    void on_packet(std::span<const std::uint8_t> info);
    void on_command(std::uint32_t number, std::uint32_t length);
    void on_data_end();
    void acknowledge_to(int nr);
    void end_session();
    bool header_fits(const std::vector<std::uint8_t>& bytes) const;

    Ftl0ServerConfig config_;
    engine::Ax25Address bbs_;
    std::optional<engine::Ax25Address> peer_;
    std::uint64_t now_ = 0;
    // Receiving side.
    int vr_ = 0;
    bool rej_sent_ = false, ack_due_ = false;
    // Sending side: answers not yet acknowledged, from va_.
    std::deque<std::vector<std::uint8_t>> unacked_;
    int va_ = 0, vs_ = 0;
    std::optional<std::uint64_t> t1_;
    int tries_ = 0;
    bool logging_in_ = false; // the login response is not yet acknowledged
    // FTL0.
    enum class Phase { Command, Data } phase_ = Phase::Command;
    std::uint32_t current_ = 0;
    std::map<std::uint32_t, Partial> partials_;
    std::map<std::uint32_t, std::uint32_t> complete_; // number -> length
    std::uint32_t next_number_;
    std::uint64_t next_status_ = 0;
    std::vector<std::vector<std::uint8_t>> out_;
    std::vector<FinishedUpload> finished_;
    Ftl0ServerCounters counters_;
};

} // namespace orva::satsim

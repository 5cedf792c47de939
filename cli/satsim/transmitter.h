// The transmitter of the satellite's TNC: frames handed to it go out one after another at the air
// rate, the carrier keyed up first after a silence. A server hands its broadcast frames over while
// the TNC's queue has room and its link frames (UA, I frames, DISC) at once, so on a busy server a
// link answer waits behind the broadcasts already queued: seconds at 1200 bit/s. A ground station
// whose T1 is shorter than that wait sends SABM again before the first UA arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace orva::satsim {

struct TransmitterConfig {
    std::uint32_t bits_per_second = 1200;
    std::uint64_t tx_delay_ms = 300; // key-up time before the first frame after a silence
    // Broadcast frames are handed over only while they leave the queue at most this long: about
    // six seconds of frames at 1200 bit/s.
    std::size_t queue_bytes = 900;
};

// Bytes a frame adds on the air to what the TNC is handed: two flags and the frame check.
inline constexpr std::size_t kHdlcOverhead = 4;

class Transmitter {
public:
    explicit Transmitter(TransmitterConfig config) : config_(config) {}

    // Behind everything already queued.
    void queue(std::vector<std::uint8_t> frame, std::uint64_t now_ms);
    // Frames whose transmission has ended by `now_ms`, in order.
    std::vector<std::vector<std::uint8_t>> poll(std::uint64_t now_ms);

    // Bytes handed over and not yet sent, the frame on the air included.
    std::size_t queued_bytes() const { return queued_bytes_; }
    // Whether a broadcast frame of `size` bytes may be handed over now.
    bool has_room_for(std::size_t size) const { return queued_bytes_ + size <= config_.queue_bytes; }
    std::uint64_t air_ms(std::size_t frame_size) const;
    const TransmitterConfig& config() const { return config_; }

private:
    void start_next(std::uint64_t at);

    TransmitterConfig config_;
    std::deque<std::vector<std::uint8_t>> waiting_;
    std::optional<std::vector<std::uint8_t>> on_air_;
    std::uint64_t on_air_ends_ = 0;
    std::uint64_t silent_from_ = 0; // the carrier dropped here
    std::size_t queued_bytes_ = 0;
};

} // namespace orva::satsim

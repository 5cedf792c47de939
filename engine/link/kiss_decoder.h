// Turns the byte stream from the TNC into KISS frames. Pure: bytes in, frames and notices out,
// no allocation per frame (one fixed reassembly buffer).
#pragma once

#include "engine/link/kiss.h"

#include <array>
#include <cstdint>
#include <span>

namespace orva::engine {

enum class KissNotice : std::uint8_t {
    SmackSeen,      // first good SMACK frame: "TNC set for SMACK mode"
    UnknownCommand, // the same unknown command byte more than five times
    FrameEnded,     // a FEND closed a frame: refresh the byte figure
};

class KissSink {
public:
    virtual ~KissSink() = default;
    // A data frame on KISS port `port` (0..15): the AX.25 bytes, without command byte or CRC.
    // The span is valid only during the call.
    virtual void on_kiss_frame(std::uint8_t port, std::span<const std::uint8_t> frame) = 0;
    virtual void on_kiss_notice(KissNotice, std::uint8_t /*command*/) {}
};

struct KissCounters {
    std::uint64_t bytes = 0;        // the "T:" figure: data bytes received
    std::uint32_t bad_smack = 0;
    std::uint32_t oversize = 0;     // frames discarded at the 2043-byte limit
    std::uint32_t frames = 0;       // data frames delivered
};

class KissDecoder {
public:
    explicit KissDecoder(bool smack = false) : smack_(smack) {}

    void set_smack(bool on) { smack_ = on; }
    void feed(std::span<const std::uint8_t> bytes, KissSink& sink);

    const KissCounters& counters() const { return counters_; }
    void reset_counters() { counters_ = {}; }
    bool smack_seen() const { return smack_seen_; }
    void clear_smack_seen() { smack_seen_ = false; }
    // Bytes were lost before the next ones fed: the frame being gathered is dropped, and so is
    // whatever follows up to the next FEND, so that no frame is spliced from two.
    void drop_frame();

private:
    void store(std::uint8_t b);
    void end_frame(KissSink& sink);

    std::array<std::uint8_t, kiss::kMaxFrame> buffer_{};
    std::size_t length_ = 0;
    bool escaped_ = false;
    bool discarding_ = false; // rest of an oversize frame, up to the next FEND
    bool smack_ = false;
    bool smack_seen_ = false;
    int last_unknown_ = -1;
    int unknown_count_ = 0;
    KissCounters counters_;
};

} // namespace orva::engine

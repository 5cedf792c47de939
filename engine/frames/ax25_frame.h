// Splits an AX.25 frame into its addresses, control, PID and information field.
#pragma once

#include "engine/frames/ax25_address.h"
#include "platform/result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orva::engine {

inline constexpr std::uint8_t kControlUi = 0x03;
inline constexpr std::uint8_t kPollBit = 0x10;
inline constexpr std::uint8_t kPidFile = 0xBB;
inline constexpr std::uint8_t kPidDirectory = 0xBD;
inline constexpr std::uint8_t kPidText = 0xF0;
// Largest frame the engine sends, addresses included.
inline constexpr std::size_t kMaxSentFrame = 350;

struct Ax25Frame {
    Ax25Address destination;
    Ax25Address source;
    std::size_t digipeaters = 0;
    std::uint8_t control = 0;
    std::optional<std::uint8_t> pid;    // I and UI frames only
    std::span<const std::uint8_t> info; // after control and PID; points into the parsed bytes
    std::size_t length = 0;             // the whole frame
    bool end_bit_missing = false;       // no end-of-address bit: read as two addresses

    bool is_ui() const { return (control & ~kPollBit) == kControlUi; }
    bool is_i() const { return (control & 1) == 0; }
    // 1 command (destination C set, source clear), 2 response (source C set), 0 neither.
    int command_response() const;
};

// Fails on frames too short for two addresses and a control byte.
Result<Ax25Frame> parse_ax25_frame(std::span<const std::uint8_t> bytes);

// A UI frame from `source` to `destination`. command_response as above; the source's end bit
// is always set.
std::vector<std::uint8_t> build_ui_frame(const Ax25Address& destination, const Ax25Address& source,
                                         int command_response, std::uint8_t pid, std::span<const std::uint8_t> info);

} // namespace orva::engine

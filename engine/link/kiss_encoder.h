// Wraps outgoing AX.25 frames in KISS or SMACK, and builds the TNC parameter block.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace orva::engine {

// Appends FEND, the escaped command byte, frame (and SMACK CRC, low byte first), FEND to `out`.
// `tx_port_nibble` is the KISS port already shifted into the high nibble.
void encode_kiss_frame(std::span<const std::uint8_t> frame, std::uint8_t tx_port_nibble, bool smack,
                       std::vector<std::uint8_t>& out);
std::vector<std::uint8_t> encode_kiss_frame(std::span<const std::uint8_t> frame, std::uint8_t tx_port_nibble,
                                            bool smack);

// Escapes `bytes` into `out` (FEND -> FESC TFEND, FESC -> FESC TFESC).
void kiss_escape(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);

// FullDuplex on, TXDELAY, TXtail for the transmit port, each in its own frame:
// C0 C0 (P+5) 01 C0 C0 (P+1) D C0 C0 (P+4) T C0 with D and T in 10 ms units.
std::vector<std::uint8_t> kiss_parameter_block(std::uint8_t tx_port_nibble, std::uint32_t tx_delay_ms,
                                               std::uint32_t tx_tail_ms);

inline std::uint8_t tx_port_nibble(int tx_port) { return std::uint8_t((tx_port & 7) << 4); }

} // namespace orva::engine

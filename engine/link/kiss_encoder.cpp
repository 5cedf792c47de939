#include "engine/link/kiss_encoder.h"

#include "engine/link/crc16.h"
#include "engine/link/kiss.h"

#include <algorithm>

namespace orva::engine {

void kiss_escape(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
    for (const std::uint8_t b : bytes) {
        if (b == kiss::kFend) {
            out.push_back(kiss::kFesc);
            out.push_back(kiss::kTfend);
        } else if (b == kiss::kFesc) {
            out.push_back(kiss::kFesc);
            out.push_back(kiss::kTfesc);
        } else {
            out.push_back(b);
        }
    }
}

void encode_kiss_frame(std::span<const std::uint8_t> frame, std::uint8_t tx_port_nibble, bool smack,
                       std::vector<std::uint8_t>& out) {
    const std::uint8_t command = smack ? std::uint8_t(tx_port_nibble + kiss::kSmackFlag) : tx_port_nibble;
    out.reserve(out.size() + frame.size() * 2 + 8);
    out.push_back(kiss::kFend);
    const std::uint8_t cmd[1] = {command};
    kiss_escape(cmd, out);
    kiss_escape(frame, out);
    if (smack) {
        const std::uint16_t crc = crc16_arc(frame, crc16_arc(cmd));
        const std::uint8_t tail[2] = {std::uint8_t(crc & 0xFF), std::uint8_t(crc >> 8)};
        kiss_escape(tail, out);
    }
    out.push_back(kiss::kFend);
}

std::vector<std::uint8_t> encode_kiss_frame(std::span<const std::uint8_t> frame, std::uint8_t tx_port_nibble,
                                            bool smack) {
    std::vector<std::uint8_t> out;
    encode_kiss_frame(frame, tx_port_nibble, smack, out);
    return out;
}

std::vector<std::uint8_t> kiss_parameter_block(std::uint8_t p, std::uint32_t tx_delay_ms, std::uint32_t tx_tail_ms) {
    // One byte each, in 10 ms units; anything past 2550 ms is the longest the byte can say.
    const auto d = std::uint8_t(std::min<std::uint32_t>(tx_delay_ms / 10, 255));
    const auto t = std::uint8_t(std::min<std::uint32_t>(tx_tail_ms / 10, 255));
    std::vector<std::uint8_t> out;
    auto frame = [&](std::uint8_t command, std::uint8_t value) {
        out.push_back(kiss::kFend);
        out.push_back(kiss::kFend);
        const std::uint8_t body[2] = {command, value};
        // 1920 ms (0xC0) or 2190 ms (0xDB) would otherwise break the framing.
        kiss_escape(body, out);
    };
    frame(std::uint8_t(p + kiss::kFullDuplex), 0x01);
    frame(std::uint8_t(p + kiss::kTxDelay), d);
    frame(std::uint8_t(p + kiss::kTxTail), t);
    out.push_back(kiss::kFend);
    return out;
}

} // namespace orva::engine

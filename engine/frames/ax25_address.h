// AX.25 addresses in their on-air form: six shifted callsign characters and the SSID byte.
#pragma once

#include "platform/result.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orva::engine {

class Ax25Address {
public:
    static constexpr std::uint8_t kCommandBit = 0x80;
    static constexpr std::uint8_t kEndBit = 0x01;
    static constexpr std::uint8_t kReservedBits = 0x60;

    Ax25Address() = default;
    // "G0ABC", "g0abc-5": one to six letters or digits, an optional SSID 0..15.
    static Result<Ax25Address> parse(std::string_view text);
    // Seven bytes exactly as on the air.
    static Ax25Address from_wire(std::span<const std::uint8_t, 7> bytes);

    // Callsign without padding.
    std::string callsign() const;
    int ssid() const { return (raw_[6] >> 1) & 0x0F; }
    // "CALL" or "CALL-n" for a non-zero SSID.
    std::string to_text() const;

    bool command_bit() const { return raw_[6] & kCommandBit; }
    bool end_bit() const { return raw_[6] & kEndBit; }
    // The two reserved bits are normally set; some stations send them clear.
    bool reserved_bits_set() const { return (raw_[6] & kReservedBits) == kReservedBits; }

    // Same six callsign bytes.
    bool same_call(const Ax25Address& o) const;
    // Same callsign and SSID; the C, end and reserved bits are ignored.
    bool operator==(const Ax25Address& o) const { return same_call(o) && ((raw_[6] ^ o.raw_[6]) & 0x1E) == 0; }

    // On-air bytes with the C and end bits as given and the reserved bits set.
    std::array<std::uint8_t, 7> wire(bool command, bool end) const;
    const std::array<std::uint8_t, 7>& raw() const { return raw_; }

    // Fixed destination callsigns of the PACSAT protocol.
    static Ax25Address fixed(std::string_view call, int ssid = 0);

private:
    std::array<std::uint8_t, 7> raw_{0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x60};
};

} // namespace orva::engine

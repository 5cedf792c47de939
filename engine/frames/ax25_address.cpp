#include "engine/frames/ax25_address.h"

#include <cctype>

namespace orva::engine {

Result<Ax25Address> Ax25Address::parse(std::string_view text) {
    const auto dash = text.find('-');
    const std::string_view call = text.substr(0, dash);
    if (call.empty() || call.size() > 6) return make_error("callsign \"" + std::string(text) + "\" is not 1 to 6 characters");
    Ax25Address a;
    for (std::size_t i = 0; i < call.size(); ++i) {
        const auto c = static_cast<unsigned char>(call[i]);
        if (!std::isalnum(c)) return make_error("callsign \"" + std::string(text) + "\" has a character that is not a letter or digit");
        a.raw_[i] = std::uint8_t(std::toupper(c) << 1);
    }
    int ssid = 0;
    if (dash != std::string_view::npos) {
        const std::string_view s = text.substr(dash + 1);
        if (s.empty() || s.size() > 2) return make_error("callsign \"" + std::string(text) + "\" has a bad SSID");
        for (char c : s) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return make_error("callsign \"" + std::string(text) + "\" has a bad SSID");
            ssid = ssid * 10 + (c - '0');
        }
        if (ssid > 15) return make_error("callsign \"" + std::string(text) + "\" has an SSID above 15");
    }
    a.raw_[6] = std::uint8_t(kReservedBits | (ssid << 1));
    return a;
}

Ax25Address Ax25Address::from_wire(std::span<const std::uint8_t, 7> bytes) {
    Ax25Address a;
    for (std::size_t i = 0; i < 7; ++i) a.raw_[i] = bytes[i];
    return a;
}

Ax25Address Ax25Address::fixed(std::string_view call, int ssid) {
    Ax25Address a;
    for (std::size_t i = 0; i < call.size() && i < 6; ++i) a.raw_[i] = std::uint8_t(call[i] << 1);
    a.raw_[6] = std::uint8_t(kReservedBits | ((ssid & 0x0F) << 1));
    return a;
}

std::string Ax25Address::callsign() const {
    std::string s;
    for (std::size_t i = 0; i < 6; ++i) {
        const char c = char((raw_[i] >> 1) & 0x7F);
        if (c == ' ') break;
        s.push_back(c);
    }
    return s;
}

std::string Ax25Address::to_text() const {
    std::string s = callsign();
    if (ssid() != 0) s += "-" + std::to_string(ssid());
    return s;
}

bool Ax25Address::same_call(const Ax25Address& o) const {
    for (std::size_t i = 0; i < 6; ++i)
        if (raw_[i] != o.raw_[i]) return false;
    return true;
}

std::array<std::uint8_t, 7> Ax25Address::wire(bool command, bool end) const {
    auto w = raw_;
    w[6] = std::uint8_t((w[6] & 0x1E) | kReservedBits | (command ? kCommandBit : 0) | (end ? kEndBit : 0));
    return w;
}

} // namespace orva::engine

#include "engine/frames/ax25_frame.h"

namespace orva::engine {
namespace {
constexpr std::size_t kAddress = 7;
constexpr std::size_t kMaxDigipeaters = 8;

// Seven bytes that can be an address: callsign bytes with bit 0 clear holding a letter, digit or
// blank once shifted.
bool looks_like_address(std::span<const std::uint8_t> a) {
    for (std::size_t i = 0; i < 6; ++i) {
        if (a[i] & 0x01) return false;
        const char c = char(a[i] >> 1);
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ')) return false;
    }
    return true;
}
} // namespace

int Ax25Frame::command_response() const {
    if (source.command_bit()) return 2;
    if (destination.command_bit()) return 1;
    return 0;
}

Result<Ax25Frame> parse_ax25_frame(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2 * kAddress + 1) return make_error("AX.25 frame of " + std::to_string(bytes.size()) + " bytes is too short");
    Ax25Frame f;
    f.length = bytes.size();
    f.destination = Ax25Address::from_wire(bytes.subspan<0, kAddress>());
    f.source = Ax25Address::from_wire(bytes.subspan<kAddress, kAddress>());
    std::size_t pos = 2 * kAddress;
    if (!f.source.end_bit()) {
        // Digipeaters follow until an address carries the end bit. Without one anywhere the
        // frame is read as two addresses, as many ground servers send it.
        std::size_t p = pos;
        std::size_t n = 0;
        bool found = false;
        // Only what reads as addresses counts: in a long frame some byte seven apart will have
        // bit 0 set, and that alone must not turn the control field and data into digipeaters.
        while (n < kMaxDigipeaters && bytes.size() >= p + kAddress + 1 && looks_like_address(bytes.subspan(p, kAddress))) {
            ++n;
            p += kAddress;
            if (bytes[p - 1] & Ax25Address::kEndBit) {
                found = true;
                break;
            }
        }
        if (found) {
            f.digipeaters = n;
            pos = p;
        } else {
            f.end_bit_missing = true;
        }
    }
    f.control = bytes[pos++];
    if (f.is_ui() || f.is_i()) {
        if (pos < bytes.size()) f.pid = bytes[pos++];
    }
    f.info = bytes.subspan(pos);
    return f;
}

std::vector<std::uint8_t> build_ui_frame(const Ax25Address& destination, const Ax25Address& source,
                                         int command_response, std::uint8_t pid, std::span<const std::uint8_t> info) {
    std::vector<std::uint8_t> out;
    out.reserve(2 * kAddress + 2 + info.size());
    const auto d = destination.wire(command_response == 1, false);
    const auto s = source.wire(command_response == 2, true);
    out.insert(out.end(), d.begin(), d.end());
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(kControlUi);
    out.push_back(pid);
    out.insert(out.end(), info.begin(), info.end());
    return out;
}

} // namespace orva::engine

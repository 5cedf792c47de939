#include "engine/upload/ax25_control.h"

namespace orva::engine {
namespace {
constexpr std::uint8_t kPf = 0x10;

struct UnnumberedCode {
    ControlKind kind;
    std::uint8_t code; // without the P/F bit
};
constexpr UnnumberedCode kUnnumbered[] = {
    {ControlKind::SABM, 0x2F}, {ControlKind::DISC, 0x43}, {ControlKind::DM, 0x0F},
    {ControlKind::UA, 0x63},   {ControlKind::FRMR, 0x87}, {ControlKind::UI, 0x03},
};
} // namespace

Control decode_control(std::uint8_t b) {
    Control c;
    c.pf = (b & kPf) != 0;
    if ((b & 0x01) == 0) {
        c.kind = ControlKind::I;
        c.ns = (b >> 1) & 7;
        c.nr = (b >> 5) & 7;
        return c;
    }
    if ((b & 0x03) == 0x01) {
        c.nr = (b >> 5) & 7;
        switch ((b >> 2) & 3) {
        case 0: c.kind = ControlKind::RR; break;
        case 1: c.kind = ControlKind::RNR; break;
        case 2: c.kind = ControlKind::REJ; break;
        default: c.kind = ControlKind::Unknown; break;
        }
        return c;
    }
    const std::uint8_t code = std::uint8_t(b & ~kPf);
    for (const auto& u : kUnnumbered)
        if (u.code == code) c.kind = u.kind;
    return c;
}

std::uint8_t encode_control(const Control& c) {
    const std::uint8_t pf = c.pf ? kPf : 0;
    const auto nr = std::uint8_t((c.nr & 7) << 5);
    switch (c.kind) {
    case ControlKind::I: return std::uint8_t(nr | pf | ((c.ns & 7) << 1));
    case ControlKind::RR: return std::uint8_t(nr | pf | 0x01);
    case ControlKind::RNR: return std::uint8_t(nr | pf | 0x05);
    case ControlKind::REJ: return std::uint8_t(nr | pf | 0x09);
    default: break;
    }
    for (const auto& u : kUnnumbered)
        if (u.kind == c.kind) return std::uint8_t(u.code | pf);
    return 0x03;
}

} // namespace orva::engine

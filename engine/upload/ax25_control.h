// The control field of AX.25 2.0 connected mode, modulo 8.
#pragma once

#include <cstdint>
#include <optional>

namespace orva::engine {

enum class ControlKind : std::uint8_t { I, RR, RNR, REJ, SABM, DISC, DM, UA, FRMR, UI, Unknown };

struct Control {
    ControlKind kind = ControlKind::Unknown;
    int ns = 0; // I frames
    int nr = 0; // I and S frames
    bool pf = false;

    bool is_i() const { return kind == ControlKind::I; }
    bool is_s() const { return kind == ControlKind::RR || kind == ControlKind::RNR || kind == ControlKind::REJ; }
};

Control decode_control(std::uint8_t byte);
std::uint8_t encode_control(const Control& c);

inline Control i_control(int ns, int nr, bool p) { return {ControlKind::I, ns, nr, p}; }
inline Control s_control(ControlKind kind, int nr, bool pf) { return {kind, 0, nr, pf}; }
inline Control u_control(ControlKind kind, bool pf) { return {kind, 0, 0, pf}; }

} // namespace orva::engine

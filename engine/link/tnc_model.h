// One row per TNC model: how to put it into KISS mode and how to take it out again.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string_view>

namespace orva::engine {

using std::chrono::milliseconds;

enum class TncExit : std::uint8_t {
    KissExitFrame, // KISS exit frame, 350 ms, common tail
    ControlC,      // three 0x03 bytes (1000 ms, then every 250 ms), 1500 ms, common tail
    KissThenText,  // KISS exit frame, 350 ms, exit_text, 200 ms, common tail
    Nothing,       // the TNC stays in KISS; the port is closed at once
};

struct TncModel {
    int type;                      // "TNC Type", 1-based
    std::string_view name;         // as shown in "Initialising your %s TNC."
    std::string_view startup;      // raw bytes sent before KISS
    std::string_view late_startup; // sent after late_delay (TheFirmWare's "@K\r")
    milliseconds late_delay{0};
    TncExit exit;
    std::string_view exit_text;    // KissThenText only
};

// The row for a stored "TNC Type"; unknown values get the TNC-2 behaviour.
const TncModel& tnc_model(int type);
std::span<const TncModel> tnc_models();

// Sent after every model's exit, before the exit file.
inline constexpr std::string_view kTncExitTail1 = "\rmon off\r";
inline constexpr std::string_view kTncExitTail2 = "fulldup off\r";

} // namespace orva::engine

// DSP modems that must be switched to the satellite's modem mode before the engine opens the
// port: "DSP-2232" takes one command line, "DSP-12" is walked through its text menus.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/store/store.h"
#include "station/rotator/dialogue_step.h"

namespace orva::station::dsp {

enum class ModemKind { None, Dsp12, Dsp2232 };

struct ModemSetup {
    ModemKind kind = ModemKind::None;
    std::uint32_t port = 1, speed = 9600;
    std::string mode; // "DSP Mode", 2 to 4 characters
};

inline constexpr std::chrono::milliseconds kWake{2500};
inline constexpr std::chrono::milliseconds kTimeout{10000};
inline constexpr std::chrono::milliseconds kAfter2232{600};
inline constexpr std::chrono::milliseconds kAfterMainMenu{800};
inline constexpr std::size_t kLineLimit = 80;
inline constexpr std::string_view kLineEnds = "\r:";
inline constexpr std::string_view kWakeBytes = "\x03\x03\x03";
inline constexpr std::string_view kWakeTimerBytes = "q\r";

inline constexpr const char* kPortFailedText = "Unable to initialise DSP communications.  Error opening COM port.";
inline constexpr const char* kPortFailedCaption = "DSP Error";
inline constexpr const char* kTimedOutText = "The DSP port has timed out.";
inline constexpr const char* kTimedOutCaption = "DSP Access Problem";

// What the satellite's record asks for; None when a value is missing or the mode is shorter
// than 2 bytes as stored.
ModemSetup read_modem_setup(const platform::Store& store, const std::string& satellite_key);

// "\rMODEM %s\r"
std::string dsp2232_command(std::string_view mode);

// The "DSP-12" menu walk, one line of its output at a time.
class Dsp12Dialogue {
public:
    explicit Dsp12Dialogue(std::string mode) : mode_(std::move(mode)) {}
    DialogueStep on_line(std::string_view line);
    bool prompt_seen() const { return prompt_seen_; } // the wake timer is stopped
    bool finished() const { return finished_; }

private:
    std::string mode_;
    bool prompt_seen_ = false, finished_ = false;
};

} // namespace orva::station::dsp

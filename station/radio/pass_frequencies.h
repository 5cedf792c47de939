// The frequencies a tracked satellite is worked on: the selected uplink and downlink with their
// converter offsets and modes, switched at run time by the engine.
#pragma once

#include <cstdint>
#include <string>

#include "platform/store/store.h"

namespace orva::station {

struct PassFrequencies {
    double uplink_hz = 0, downlink_hz = 0;         // selected, 0 when missing
    double uplink_offset_hz = 0, downlink_offset_hz = 0; // converters
    std::uint16_t uplink_mode = 2, downlink_mode = 2;
    double fine_offset_hz = 0; // downlink fine tuning set by the engine
};

// Reads "Default Uplink"/"Default Downlink", the frequencies they name and the modes from the
// satellite's key. A missing frequency stays 0 Hz.
PassFrequencies load_pass_frequencies(const platform::Store& store, const std::string& satellite_key);
// The digit is the character '1' to '4'; anything else changes nothing and returns false.
bool select_uplink(const platform::Store& store, const std::string& satellite_key, char digit, PassFrequencies& f);
bool select_downlink(const platform::Store& store, const std::string& satellite_key, char digit, PassFrequencies& f);

// The driver library's mode code of a mode index (the 4096 bit marks the narrow variant).
std::uint32_t radio_mode_code(std::uint16_t mode_index);
// Bits 0-7 downlink, 8-15 uplink: 1 below 160 MHz, 2 below 460, 4 below 1350, 8 below 2450,
// else 0, of each direction's converter offset.
std::uint32_t band_mask(double uplink_offset_hz, double downlink_offset_hz);

} // namespace orva::station

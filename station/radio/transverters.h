// The station's frequency converters: for a satellite frequency, the local-oscillator offset
// to subtract so the radio tunes the converter's intermediate frequency.
#pragma once

#include "platform/store/store.h"

namespace orva::station {

enum class Direction { Transmit, Receive };

// Offset in Hz for a frequency in MHz. The converters are looked at in the store's order and
// the first whose range (both ends included) covers the frequency decides, even when it is not
// used in that direction (then 0). None covering it, or no converter key: 0.
double transverter_offset(const platform::Store& store, double mhz, Direction direction);

} // namespace orva::station

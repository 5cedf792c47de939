// Doppler-corrected radio frequencies. The range rate is in km/s, positive while the satellite
// recedes; frequencies and offsets are in Hz. A frequency that would be 0 Hz or below is none:
// the radio is then left where it is rather than sent to a frequency it cannot have.
#pragma once

#include <optional>

namespace orva::station {

inline constexpr double kSpeedOfLightKmS = 299792.5;

inline double doppler_factor(double range_rate_km_s)
{
    return 1 + range_rate_km_s / kSpeedOfLightKmS;
}

// (1 + r / c) x uplink - transmit converter's offset
std::optional<double> uplink_radio_hz(double uplink_hz, double range_rate_km_s, double transverter_hz);
// (1 - r / c) x downlink + fine tuning - receive converter's offset
std::optional<double> downlink_radio_hz(double downlink_hz, double range_rate_km_s, double fine_offset_hz,
                                        double transverter_hz);

} // namespace orva::station

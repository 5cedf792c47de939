#include "station/radio/doppler.h"

namespace orva::station {

namespace {
std::optional<double> usable(double selected_hz, double radio_hz)
{
    if (!(selected_hz > 0) || !(radio_hz >= 1))
        return std::nullopt;
    return radio_hz;
}
} // namespace

std::optional<double> uplink_radio_hz(double uplink_hz, double r, double transverter_hz)
{
    return usable(uplink_hz, (1 + r / kSpeedOfLightKmS) * uplink_hz - transverter_hz);
}

std::optional<double> downlink_radio_hz(double downlink_hz, double r, double fine_offset_hz, double transverter_hz)
{
    return usable(downlink_hz, (1 - r / kSpeedOfLightKmS) * downlink_hz + fine_offset_hz - transverter_hz);
}

} // namespace orva::station

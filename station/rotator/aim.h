// Where the antenna points and what the radio is tuned to on one tick, and what a serial
// controller was last sent (the threshold types compare against it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orva::station {

struct Aim {
    std::string name;                  // at most 13 characters
    double azimuth_deg = 0, elevation_deg = 0; // after flip
    std::optional<double> uplink_hz;   // radio frequencies; none: that direction is left untuned
    std::optional<double> downlink_hz;
    std::uint16_t uplink_mode = 2, downlink_mode = 2;
    double mean_anomaly = 0;
    bool risen = false; // the elevation became 0 or more on this tick after being negative
};

struct LastSent {
    double azimuth = 0, elevation = 0; // 0 when Helmo starts
    double uplink = 0, downlink = 0;
};

// Elevation below which a tick sends nothing: -3 degrees.
inline constexpr double kLowestElevationRad = -0.05235987755982988;
inline constexpr double kDegreesPerRadian = 57.29577951308232;

// Flip mode on a pass that needs it: the antenna goes over the top instead of round the back.
inline void flip_aim(double& azimuth_deg, double& elevation_deg)
{
    elevation_deg = 180 - elevation_deg;
    azimuth_deg = azimuth_deg > 180 ? azimuth_deg - 180 : azimuth_deg + 180;
}

} // namespace orva::station

// SGP4 near-Earth model (Spacetrack Report No. 3) with the WGS-72 constants. No deep-space
// branch: every orbit uses these equations. Terms that depend only on the element set are
// computed once in the constructor; propagate() does the per-time work only.
#pragma once

#include "station/orbit/vec3.h"

namespace orva::station {

struct Sgp4Elements {
    double mean_motion_rad_min = 0; // Kozai mean motion as published, radians per minute
    double eccentricity = 0;
    double inclination = 0;         // radians
    double raan = 0;                // radians
    double arg_perigee = 0;         // radians
    double mean_anomaly = 0;        // radians
    double bstar = 0;               // 1/earth radii; the station passes 0
};

enum class Sgp4Error {
    None = 0,
    Eccentricity = 1,   // mean eccentricity left [0, 1)
    MeanMotion = 2,     // mean motion not positive
    SemiLatus = 4,      // semi-latus rectum negative
    Decayed = 6,        // below the Earth's surface
};

struct Sgp4Result {
    Sgp4Error error = Sgp4Error::None;
    Vec3 position_km;
    Vec3 velocity_km_s;
};

class Sgp4 {
public:
    static constexpr double kDefaultKeplerTolerance = 1e-6;

    explicit Sgp4(const Sgp4Elements& elements, double kepler_tolerance = kDefaultKeplerTolerance);

    // Position and velocity in the model's frame (TEME) at `minutes` since the element epoch.
    Sgp4Result propagate(double minutes) const;

    // Element sets that would divide by zero or never converge (e outside [0, 1), n <= 0).
    static bool elements_usable(const Sgp4Elements& elements);
    // The mean motion with the Kozai correction undone, radians per minute.
    double mean_motion() const { return no_; }

private:
    double tolerance_;
    double ecco_, inclo_, nodeo_, argpo_, mo_, bstar_;
    bool simple_ = false; // perigee below 220 km: the higher drag terms are left out
    double no_ = 0, ao_ = 0, con41_ = 0, x1mth2_ = 0, x7thm1_ = 0, cosio_ = 0, sinio_ = 0;
    double eta_ = 0, cc1_ = 0, cc4_ = 0, cc5_ = 0, d2_ = 0, d3_ = 0, d4_ = 0;
    double delmo_ = 0, sinmao_ = 0, mdot_ = 0, argpdot_ = 0, nodedot_ = 0, nodecf_ = 0;
    double omgcof_ = 0, xmcof_ = 0, t2cof_ = 0, t3cof_ = 0, t4cof_ = 0, t5cof_ = 0;
    double xlcof_ = 0, aycof_ = 0;
};

} // namespace orva::station

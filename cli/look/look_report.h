// `orva look`: where one satellite is and how the station sees it at a given time.
#pragma once

#include <optional>
#include <string>

#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "platform/result.h"
#include "station/orbit/sat_track.h"

namespace orva::tools {

struct LookReport {
    std::string satellite;
    station::StationSeconds time = 0;
    double azimuth_deg = 0, elevation_deg = 0, range_km = 0, range_rate_km_s = 0;
    double latitude_deg = 0, longitude_east_deg = 0, height_km = 0;
    std::optional<double> doppler_hz; // none without a beacon frequency
    double sun_azimuth_deg = 0, sun_elevation_deg = 0;
    std::string mode;
    double ma = 0;
};

Result<LookReport> look_at(const elements::KepRecord& record, const elements::ObserverSite& site,
                           station::StationSeconds time);

std::string format_json(const LookReport& r);
std::string format_text(const LookReport& r);

} // namespace orva::tools

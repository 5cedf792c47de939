// The settings of one pass, read from the satellite's record and the station's settings.
#pragma once

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/app/reception_engine.h"
#include "engine/upload/upload_client.h"

#include <filesystem>
#include <optional>

namespace orva::engine {

ReceptionConfig reception_config_from(const settings::SatelliteRecord& rec, const settings::StationSettings& station,
                                      const settings::GeneralSettings& general);
// None when the station or BBS callsign cannot be used (no upload this pass).
std::optional<UploadConfig> upload_config_from(const settings::SatelliteRecord& rec,
                                               const settings::StationSettings& station,
                                               const std::filesystem::path& folder, std::uint64_t seed);

} // namespace orva::engine

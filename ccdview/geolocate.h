// Where an image was taken: the capture time from its header block, the spacecraft's element set,
// a compact Keplerian model with J2 drift and linear drag, and the nearest named place.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "platform/result.h"

namespace orva::ccdview {

// Seconds since 1970 UTC at byte 4 of the header block; 0 when the camera did not stamp it.
std::uint32_t capture_time(std::span<const std::uint8_t> header_block);
// "UO-22", "KO-23" or "KO-25" by the image name; empty when none fits.
std::string spacecraft_for_name(std::string_view file_name);

// The first record of the element file whose name contains `spacecraft` (any record, the last
// included); a partial record at the end is ignored.
std::optional<elements::KepRecord> find_element_set(std::span<const std::uint8_t> kep_file, std::string_view spacecraft);

// Day number of a calendar date in the model's count.
long day_number(int year, int month, int day);

struct GroundPoint {
    double latitude_deg = 0;  // north positive
    double longitude_deg = 0; // east positive, -180..180
};
GroundPoint sub_satellite_point(const elements::KepRecord& elements, std::uint32_t unix_time);
// Day number of the element epoch (whole days).
long epoch_day_number(const elements::KepRecord& elements);

struct NearestPlace {
    std::size_t index = 0;
    double distance_km = 0;
    double bearing_deg = 0; // from the place, 0..180
    std::string compass;    // "North", "NorthEast" ... "South"
};
// The first of equally near places wins. `places` must not be empty.
NearestPlace nearest_place(const GroundPoint& point, std::span<const elements::ObserverRecord> places);
std::string compass_word(double bearing_deg, bool east);

// The information box text for an image.
std::string info_box_text(std::string_view spacecraft, std::uint32_t unix_time, const GroundPoint& point,
                          const NearestPlace& place, std::string_view place_name, bool stale_elements);

// The whole command: std::nullopt when the image has no capture time (nothing to show).
Result<std::optional<std::string>> locate_image(std::string_view file_name, std::span<const std::uint8_t> header_block,
                                                const std::filesystem::path& kep_file,
                                                const std::filesystem::path& obs_file);

} // namespace orva::ccdview

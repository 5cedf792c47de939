// The files of a soak run: what other stations upload to the satellite between passes (whole
// PACSAT files, as the satellite stores them) and the messages the station queues for upload.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/result.h"

namespace orva::soak {

// A text file of `body_size` bytes from another station, uploaded at `upload_time`, numbered
// `number`. `corrupt`: one body byte differs from what the header's body checksum says.
std::vector<std::uint8_t> others_file(std::uint32_t number, std::uint32_t upload_time, std::uint32_t body_size,
                                      bool corrupt, std::uint64_t seed);

// A message from `callsign` for upload, as the composer queues it (file number 0, the header in
// the upload layout), its body about `body_size` bytes; `index` makes it unique. Empty when the
// callsign does not fit the layout.
std::vector<std::uint8_t> station_message(const std::string& callsign, std::uint32_t now, int index,
                                          std::uint32_t body_size = 0);

// The highest file number of the PACSAT files in a satellite's folder (0 when none).
std::uint32_t highest_file_number(const std::filesystem::path& folder);

} // namespace orva::soak

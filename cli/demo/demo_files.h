// What the demo satellite holds and what the demo station sends it: a few small bulletins, and
// one message from the station with its PACSAT header, ready for the upload queue.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orva::tools {

struct DemoFile {
    std::string name;
    std::string text;
};

std::vector<DemoFile> demo_satellite_files();

// A message from `callsign` to "ALL", as the composer leaves it: header in the standard upload
// layout and body, file number 0 (the satellite gives it one). Fails on a callsign that does
// not fit the header.
Result<std::vector<std::uint8_t>> demo_upload_message(const std::string& callsign, std::uint32_t now);

} // namespace orva::tools

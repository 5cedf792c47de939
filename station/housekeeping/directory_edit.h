// "Edit Directory": thinning out or resetting a satellite's directory hole list
// ("Brek Dir Holes.DAT") so that the engine stops asking for old directory entries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/messenger.h"
#include "platform/result.h"
#include "platform/store/store.h"

namespace orva::station {

inline constexpr const char* kDirectoryHoleFile = "Brek Dir Holes.DAT";
inline constexpr const char* kEditDirectoryError = "Error updating directory.";

struct DirectoryEditChoice {
    bool remove_holes = false; // "Remove holes": one open hole from the last hole's start
    bool reset_date = false;   // "Reset Date": the cutoff is `age_days` before now
    std::uint32_t age_days = 0;
};

// The "Current Status" text: "%d holes" from the file's count.
Result<std::string> directory_status(const std::filesystem::path& satellite_directory);

// Rewrites the hole file; the new file replaces the old by rename, so a crash leaves one or
// the other. A count larger than the file holds is an error and the file is left alone.
Status rewrite_directory_holes(const std::filesystem::path& satellite_directory, const DirectoryEditChoice& choice,
                               std::int64_t now);

// The engine rewrites the file at the end of its pass, so nothing is changed while its window
// for this satellite ("Brek [NAME]") is on the bus.
Status edit_directory(const platform::Store& store, platform::Messenger* messenger, const std::string& satellite,
                      const DirectoryEditChoice& choice, std::int64_t now);

} // namespace orva::station

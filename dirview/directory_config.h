// What the directory model needs to know about a satellite and the viewer's options, read from
// the configuration store (or filled in by a test).
#pragma once

#include "platform/result.h"
#include "platform/store/store.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orva::dirview {

struct SatelliteFolders {
    std::filesystem::path satellite, message, my_message, image, unknown, keps, bbs, binary;
};

struct DirectoryConfig {
    std::string satellite; // upper-cased
    std::string callsign;  // the station's; empty means every header is addressed to us
    SatelliteFolders folders;
    std::filesystem::path suite_dir; // "Orva Directory": the suite's "Tessel Equations.TXT"
    bool process_bbs = false;        // the mail processor's "Process BBS"
    bool mark_never = false;
    bool load_bbs = false;
    std::uint32_t maximum_pfh_files = 10;
    std::uint32_t maximum_messages = 999;
    // Entries a list mode shows at most.
    std::size_t display_limit = 1250;
    // A reader beside Tessel (the station's web view) leaves the changed marks Tessel shows.
    bool keep_changed_marks = false;
};

// Fails when no satellite has that name.
Result<DirectoryConfig> read_directory_config(const platform::Store& store, std::string_view satellite);

} // namespace orva::dirview

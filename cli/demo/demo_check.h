// What the demo checks after the pass: every file the satellite served arrived whole (its hash
// against the simulator's manifest), and the queued message reached the satellite byte for byte
// and was marked sent in the station's queue.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace orva::tools {

struct ManifestEntry {
    std::uint32_t file_number = 0;
    std::uint64_t size = 0;
    std::string sha256;
};

// The simulator's manifest: "%X size sha256" lines.
Result<std::vector<ManifestEntry>> parse_manifest(const std::string& text);

struct DownloadCheck {
    ManifestEntry expected;
    std::filesystem::path path; // "%X.DL" in the satellite directory; empty when missing
    std::string name;           // from its header
    std::string sha256;         // of what arrived
    bool ok() const { return !path.empty() && sha256 == expected.sha256; }
};

std::vector<DownloadCheck> check_downloads(const std::vector<ManifestEntry>& manifest,
                                           const std::filesystem::path& satellite_dir);

struct UploadCheck {
    std::filesystem::path on_satellite; // the simulator's "%X.UPL": the same bytes, header numbered X
    std::filesystem::path sent;         // the station's ".UL"
    std::vector<std::filesystem::path> still_queued; // ".OUT" or ".PUL" left
    bool ok() const { return !on_satellite.empty() && !sent.empty() && still_queued.empty(); }
};

UploadCheck check_upload(const std::vector<std::uint8_t>& message, const std::filesystem::path& satsim_dir,
                         const std::filesystem::path& satellite_dir);

} // namespace orva::tools

// One run of the mail processor over the downloads of one satellite: every download that matches
// the F~ pattern is checked, unpacked and filed by type; a download leaves the satellite folder
// (for "DLX Directory") only once it has been filed completely, so any failure keeps it for a
// later run.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "mailproc/command_line.h"
#include "mailproc/error_log.h"
#include "mailproc/external_programs.h"
#include "mailproc/extract_limits.h"
#include "mailproc/file_rules.h"
#include "platform/store/store.h"

namespace orva::mailproc {

struct DispoConfig {
    std::string satellite_arg; // the S~ value: the error log's first column
    std::string pattern;       // the F~ value
    settings::SatelliteRecord satellite;
    settings::DispoSettings options;
    std::string callsign;
    std::filesystem::path error_log_file;
    ExtractLimits limits;
    std::uint32_t sound_type = 1; // the new-mail sound: "Sound Type" and "New Mail WAV"
    std::string new_mail_wav;
};

// The start-up checks; on failure `message` is the fixed text and `caption` the message box's.
struct Startup {
    std::optional<DispoConfig> config;
    std::string message, caption;
};
Startup prepare_run(const platform::Store& store, const DispoCommand& command);

struct DispoHost {
    ProcessRunner& runner;
    WindowPoster& poster;
    NewMailSound& sound;
    std::function<void(const std::string&)> status;            // the whole status line
    std::function<void(std::chrono::milliseconds)> pause = {};  // the short waits between steps
    std::function<bool()> stop_requested = {};
};

// SetAside: moved to the DLX folder unprocessed (its body is damaged: a later run would only
// fail on it again).
enum class DownloadEnd { Filed, LeftInPlace, Skipped, SetAside };

struct DownloadReport {
    std::string download;
    std::uint32_t file_number = 0;
    DownloadEnd end = DownloadEnd::Skipped;
    std::vector<std::string> errors; // as logged
};

class DispoRun {
public:
    DispoRun(DispoConfig config, DispoHost host);
    // Both passes over the satellite folder.
    std::vector<DownloadReport> run();
    // One download, by its name in the satellite folder.
    DownloadReport process(const std::string& download_name);

    const DispoConfig& config() const { return config_; }

private:
    std::filesystem::path folder_of(FolderKind kind) const;
    // The name to file `name` under in `folder`: itself, except that in the satellite folder a
    // name of the engine's own files becomes "name.1" .. "name.99" (the first free one), so that a
    // received file never replaces, or poses as, one of the engine's.
    std::string filing_name(const std::filesystem::path& folder, const std::string& name) const;
    std::vector<std::string> matching_downloads() const;

    DispoConfig config_;
    DispoHost host_;
    ErrorLog log_;
    std::set<std::string> seen_; // downloads taken in this run: a failed one is not retried at once
};

} // namespace orva::mailproc

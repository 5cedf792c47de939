// File housekeeping: deleting what is old from the satellites' folders by the rules of the
// "File Housekeeping" settings, at once from the dialog, from `orva housekeeping`, or as a
// scheduled housekeeping event.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/settings/suite_settings.h"
#include "platform/store/store.h"

namespace orva::station {

struct HousekeepingRules {
    std::uint32_t oldest_files = 10, oldest_messages = 10; // days
    bool delete_dlx = false, delete_msg = false, delete_mymsg = false, delete_act = false, delete_ul = false;
    bool pfh_delete_oldest = false;
    std::uint32_t keep_pfh_files = 10;

    static HousekeepingRules from(const settings::HelmoSettings& h);
};

struct HousekeepingRun {
    std::vector<std::filesystem::path> deleted;   // or, in a dry run, what would be
    std::vector<std::string> failures;            // files that could not be deleted, with the reason
    std::uint32_t count() const { return static_cast<std::uint32_t>(deleted.size()); }
};

// Applies the rules to the satellite whose "Name" equals `satellite` exactly, or to every
// satellite key when none is given. `now` is seconds since 1970 UTC; a file is old when its
// last write is earlier than now minus the limit in days. Only files really deleted are counted.
HousekeepingRun run_housekeeping(const platform::Store& store, const HousekeepingRules& rules,
                                 const std::optional<std::string>& satellite, std::int64_t now, bool dry_run = false);

// The same with the rules read from the store.
HousekeepingRun run_housekeeping(const platform::Store& store, const std::optional<std::string>& satellite,
                                 std::int64_t now, bool dry_run = false);

} // namespace orva::station

#include <functional>

namespace orva::station {

// What a housekeeping event runs: the rules on every satellite, then the count and every file
// that could not be deleted go to the log. The result is the number deleted.
std::uint32_t housekeeping_event(const platform::Store& store, std::int64_t now,
                                 const std::function<void(const std::string&)>& log);

} // namespace orva::station

// "Orva Schedule.DAT": a 16-bit little-endian magic 2008, then whole PassEntry records, no count.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"
#include "station/schedule/pass_entry.h"

namespace orva::station {

inline constexpr std::uint16_t kScheduleMagic = 2008;
inline constexpr const char* kScheduleFileName = "Orva Schedule.DAT";

struct LoadedSchedule {
    std::vector<PassEntry> entries; // in file order
    // Set when the file could not be used: what was wrong and where the file was kept.
    std::optional<std::string> warning;
};

// Decodes a whole file; an error says what is wrong (magic, length, order).
Result<std::vector<PassEntry>> decode_schedule(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> encode_schedule(const std::vector<PassEntry>& entries);

// A missing file is an empty schedule. A file that cannot be used (wrong magic, truncated,
// entries out of order) also gives an empty schedule, but is first moved aside to
// "<name>.bad" so that hand-edited passes are never lost by the next save.
LoadedSchedule load_schedule_file(const std::filesystem::path& path);
// Atomic rewrite with the given entries (the caller chooses which are kept).
Status save_schedule_file(const std::filesystem::path& path, const std::vector<PassEntry>& entries);

} // namespace orva::station

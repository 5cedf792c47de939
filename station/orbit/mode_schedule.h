// The transponder mode schedule of a KepRecord: entries of a three-digit MA threshold (0-256)
// followed by a mode name, e.g. "000B  064JL128S".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orva::station {

struct ModeEntry {
    int threshold = 0;
    std::string name; // exactly 5 characters, padded with spaces
};

std::vector<ModeEntry> parse_mode_schedule(std::string_view text);

// The name of the last entry whose threshold the integer part of `ma` has reached; five spaces
// before the first threshold or with no schedule.
std::string mode_for_ma(const std::vector<ModeEntry>& schedule, double ma);

} // namespace orva::station

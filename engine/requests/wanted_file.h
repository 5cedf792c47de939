// The most wanted file of the status table: the highest wanted code, the earliest record among
// equals, or with `prefer_heard` one the satellite is broadcasting right now.
#pragma once

#include "engine/directory/status_table.h"

#include <cstdint>
#include <optional>
#include <span>

namespace orva::engine {

struct WantedFile {
    std::uint32_t file_number = 0;
    int code = 0;
};

// `skip`, when not 0, is passed over.
std::optional<WantedFile> pick_wanted_file(const StatusTable& table, std::span<const std::uint32_t> recently_heard,
                                           std::uint32_t requested, bool prefer_heard, std::uint32_t skip = 0);

} // namespace orva::engine

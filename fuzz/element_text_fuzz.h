// Shared check of the element-text fuzzers: parse, merge into a database and check that no
// unusable set gets through and that the database survives its own layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/element_import/element_import.h"

inline int fuzz_element_text(const std::uint8_t* data, std::size_t size,
    orva::station::ParsedText (*parse)(std::string_view))
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    orva::station::ParsedText parsed = parse(text);
    orva::elements::KepDatabase db;
    orva::station::ImportResult r = orva::station::merge_sets(db, parsed, {});
    if (r.lines.size() != parsed.sets.size())
        std::abort();
    for (const auto& set : parsed.sets)
        if (set.rejected.empty() && !(set.record.mean_motion > 0 && set.record.eccentricity >= 0 &&
                                      set.record.eccentricity < 1))
            std::abort();
    auto bytes = db.to_bytes();
    auto back = orva::elements::KepDatabase::from_bytes(bytes);
    if (!back || back->to_bytes() != bytes)
        std::abort();
    return 0;
}

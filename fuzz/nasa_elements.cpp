// NASA two-line element text: parse, merge into a database and check it survives its own layout.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "station/import/element_import.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    orva::station::ParsedText parsed = orva::station::parse_nasa(text);
    orva::elements::KepDatabase db;
    orva::station::ImportResult r = orva::station::merge_sets(db, parsed, {});
    if (r.lines.size() != parsed.sets.size())
        std::abort();
    for (const auto& set : parsed.sets)
        if (set.rejected.empty() && !(set.record.mean_motion > 0 && set.record.eccentricity >= 0 &&
                                      set.record.eccentricity < 1))
            std::abort(); // an unusable set must never get through
    auto bytes = db.to_bytes();
    auto back = orva::elements::KepDatabase::from_bytes(bytes);
    if (!back || back->to_bytes() != bytes)
        std::abort();
    return 0;
}

// The station's upcoming passes from the store and the element database, with whether the
// dispatcher will run each one: the same search, and the dispatcher played over the span with
// programs that end when asked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/elements/kep_database.h"
#include "platform/store/store.h"
#include "station/schedule/pass_entry.h"

namespace orva::station {

struct ListedPass {
    PassEntry entry;
    bool scheduled = false; // the dispatcher starts it
};

struct PassListing {
    std::vector<ListedPass> passes;
    std::vector<std::string> warnings;
};

PassListing list_passes(const platform::Store& store, const elements::KepDatabase& db, std::int64_t from,
                        std::int64_t days);

std::string passes_json(const std::vector<ListedPass>& passes);
std::string passes_text(const std::vector<ListedPass>& passes);

} // namespace orva::station

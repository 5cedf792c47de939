// An element set that gives the demo station a short pass that starts almost at once: a real
// orbit's grazing pass, moved in time. Moving the epoch by a span and turning the node with the
// Earth through the same span keeps every look angle, so the pass is one the orbit really flies.
#pragma once

#include <cstdint>

#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "platform/result.h"

namespace orva::tools {

struct PassWanted {
    std::int64_t aos;                 // when the pass is to begin
    std::int64_t shortest_s = 60;     // its length, AOS to LOS
    std::int64_t longest_s = 150;
    std::int64_t search_days = 60;    // how far the orbit is searched for such a pass
};

struct DemoPass {
    elements::KepRecord record;
    std::int64_t aos = 0, los = 0; // as the station's model finds them for `record`
};

// The orbit of `base` moved so that one of its passes of the wanted length over `site` begins
// at `wanted.aos` (within a few seconds); an error when the orbit has no such pass.
Result<DemoPass> element_set_for_pass(const elements::KepRecord& base, const elements::ObserverSite& site,
                                      const PassWanted& wanted);

// The same orbit `shift_s` seconds later: epoch moved, node turned with the Earth.
elements::KepRecord shifted_orbit(const elements::KepRecord& base, double shift_s);

// The demo's two satellites, as realistic low polar orbits.
elements::KepRecord demo_orbit_ao16();
elements::KepRecord demo_orbit_uo22();

} // namespace orva::tools

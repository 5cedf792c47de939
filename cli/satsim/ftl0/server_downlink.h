// A server in service behind its TNC: each step it hands the TNC its periodic lines and as many
// broadcast frames as the TNC's queue has room for, then every frame its upload server has for the
// link, which therefore goes out behind the broadcasts already queued.
#pragma once

#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/satellite.h"
#include "cli/satsim/transmitter.h"

#include <cstdint>
#include <vector>

namespace orva::satsim {

// Queues the step's frames on `tnc` and returns them, in the order queued.
std::vector<Frame> hand_to_transmitter(Satellite& satellite, Ftl0Server& server, Transmitter& tnc, std::uint64_t now_ms);

} // namespace orva::satsim

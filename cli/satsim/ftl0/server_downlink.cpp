#include "cli/satsim/ftl0/server_downlink.h"

namespace orva::satsim {

std::vector<Frame> hand_to_transmitter(Satellite& satellite, Ftl0Server& server, Transmitter& tnc, std::uint64_t now_ms)
{
    const std::size_t limit = tnc.config().queue_bytes;
    const std::size_t room = tnc.queued_bytes() < limit ? limit - tnc.queued_bytes() : 0;
    std::vector<Frame> handed = satellite.poll(now_ms, room);
    for (auto& f : server.poll(now_ms))
        handed.push_back(std::move(f));
    for (const Frame& f : handed)
        tnc.queue(f, now_ms);
    return handed;
}

} // namespace orva::satsim

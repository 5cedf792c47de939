// Random frame sequences against the connected-mode link: frames from the BBS with any control
// byte, C bits and information field, data to send, and time passing, in any order.
#include "engine/upload/connected_link.h"
#include "engine/upload/ftl0_packet.h"

#include <cstdlib>
#include <vector>

namespace {
using namespace orva::engine;

void check(const ConnectedLink& link, const LinkOutput& o) {
    for (const auto& f : o.frames)
        if (f.size() > kMaxSentFrame || f.size() < 15) std::abort();
    if (link.unacknowledged() > 7 + 64) std::abort();
    for (const auto& e : o.events)
        if (e.kind == LinkEvent::Kind::Data) {
            if (e.data.size() > ConnectedLink::kMaxReceivedInfo) std::abort();
            (void)ftl0::parse_server_answer(e.data);
        }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Ax25Address me = *Ax25Address::parse("G0ABC");
    const Ax25Address bbs = *Ax25Address::parse("PACSAT-12");
    DataLinkSettings s;
    s.window = 1 + (size ? data[0] % 7 : 0);
    s.retries = 3;
    ConnectedLink link(me, bbs, s);
    LinkTime now{1'000'000'000'000};
    check(link, link.connect(now));
    std::size_t i = 1;
    while (i + 2 <= size) {
        const std::uint8_t op = data[i++];
        const std::uint8_t arg = data[i++];
        switch (op & 3) {
        case 0: { // a frame from the BBS
            const std::size_t n = std::min<std::size_t>(arg & 0x7F, size - i);
            std::vector<std::uint8_t> f;
            const auto d = me.wire(op & 4, false);
            const auto src = bbs.wire(op & 8, true);
            f.insert(f.end(), d.begin(), d.end());
            f.insert(f.end(), src.begin(), src.end());
            f.push_back(i < size ? data[i] : 0);
            if (op & 16) f.push_back(kPidText);
            f.insert(f.end(), data + i, data + i + n);
            if (op & 32) f.resize(f.size() + 200, 0x55); // longer than any answer
            i += n;
            auto parsed = parse_ax25_frame(f);
            if (parsed) check(link, link.on_frame(*parsed, now));
            break;
        }
        case 1: { // data to send, while the window has room
            if (link.room() > 0) {
                const std::vector<std::uint8_t> info(std::size_t(arg) % 247, arg);
                check(link, link.send(info, now));
            }
            break;
        }
        case 2: // time passes
            now += LinkTime(std::int64_t(arg) * 50);
            check(link, link.poll(now));
            break;
        default:
            if (arg & 1) check(link, link.connect(now));
            else if (arg & 2) check(link, link.release(now));
            else check(link, link.disconnect_now(now));
            break;
        }
        if (auto dl = link.next_deadline(); dl && *dl < now - LinkTime(100000)) std::abort();
    }
    return 0;
}

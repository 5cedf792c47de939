#include "engine/frames/frame_classifier.h"

namespace orva::engine {

namespace calls {
Ax25Address qst1() { static const auto a = Ax25Address::fixed("QST", 1); return a; }
Ax25Address pblist() { static const auto a = Ax25Address::fixed("PBLIST"); return a; }
Ax25Address pbfull() { static const auto a = Ax25Address::fixed("PBFULL"); return a; }
Ax25Address pbshut() { static const auto a = Ax25Address::fixed("PBSHUT"); return a; }
Ax25Address pbwait() { static const auto a = Ax25Address::fixed("PBWAIT"); return a; }
Ax25Address bbstat() { static const auto a = Ax25Address::fixed("BBSTAT"); return a; }
Ax25Address status() { static const auto a = Ax25Address::fixed("STATUS"); return a; }
Ax25Address bstat() { static const auto a = Ax25Address::fixed("BSTAT"); return a; }
Ax25Address tlm() { static const auto a = Ax25Address::fixed("TLM"); return a; }
Ax25Address telem() { static const auto a = Ax25Address::fixed("TELEM"); return a; }
Ax25Address kepset() { static const auto a = Ax25Address::fixed("KEPSET"); return a; }
} // namespace calls

FrameClass classify_frame(const Ax25Frame& f, const StationCalls& c) {
    const Ax25Address& d = f.destination;
    const Ax25Address& s = f.source;
    if (s == c.bdcst_call) {
        if (d == calls::qst1()) return FrameClass::Broadcast;
        if (d == calls::pblist()) return FrameClass::QueueList;
        if (d == calls::pbfull()) return FrameClass::QueueFull;
        if (d == calls::pbshut() || d == calls::pbwait()) return FrameClass::QueueShut;
    }
    if (s.same_call(c.bbs_call)) {
        if (d == calls::status() || d == calls::bstat()) return FrameClass::ServerStatus;
        if (d == calls::tlm() || d == calls::telem()) return FrameClass::Telemetry;
    }
    if (s == c.bbs_call && d == calls::bbstat()) return FrameClass::BbsStatus;
    if (d == calls::kepset()) return FrameClass::ElementSet;
    if (s.same_call(c.bdcst_call)) {
        if (f.is_ui()) return FrameClass::ServerText;
        if (d == c.my_call) return FrameClass::Connected;
        return FrameClass::ServerOther;
    }
    return FrameClass::Unrelated;
}

} // namespace orva::engine

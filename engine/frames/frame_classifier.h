// Decides from the addresses what a received frame is.
#pragma once

#include "engine/frames/ax25_frame.h"

#include <cstdint>

namespace orva::engine {

struct StationCalls {
    Ax25Address my_call;
    Ax25Address bbs_call;
    Ax25Address bdcst_call;
};

enum class FrameClass : std::uint8_t {
    Broadcast,    // from the broadcast callsign to QST-1
    QueueList,    // PBLIST
    QueueFull,    // PBFULL
    QueueShut,    // PBSHUT or PBWAIT
    ServerStatus, // STATUS or BSTAT from the BBS callsign
    Telemetry,    // TLM or TELEM from the BBS callsign
    BbsStatus,    // BBSTAT from the BBS callsign and SSID: the upload trigger
    ElementSet,   // to KEPSET
    ServerText,   // other UI frames from the broadcast callsign
    Connected,    // other frames from the broadcast callsign to this station
    ServerOther,  // other frames from the broadcast callsign
    Unrelated,
};

FrameClass classify_frame(const Ax25Frame& frame, const StationCalls& calls);

namespace calls {
Ax25Address qst1();
Ax25Address pblist();
Ax25Address pbfull();
Ax25Address pbshut();
Ax25Address pbwait();
Ax25Address bbstat();
Ax25Address status();
Ax25Address bstat();
Ax25Address tlm();
Ax25Address telem();
Ax25Address kepset();
} // namespace calls

} // namespace orva::engine

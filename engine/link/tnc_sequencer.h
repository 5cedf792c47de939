// The TNC start-up and exit sequences as a timed list of actions. Sans-IO: the host calls
// start/begin_exit/poll with the time, performs the returned actions and wakes at next_deadline.
#pragma once

#include "engine/link/status_line.h"
#include "engine/link/tnc_model.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace orva::engine {

struct TncSetup {
    int tnc_type = 1;
    std::uint8_t tx_port_nibble = 0;
    std::uint32_t tx_delay_ms = 200;
    std::uint32_t tx_tail_ms = 50;
    std::uint32_t retry_time_ms = 2000; // handed to the connected-mode link with its other timers
    int max_frame = 2;
    int retries = 12;
};

// The connected-mode link's parameters, handed over at each TNC start.
struct ConnectedLinkParams {
    milliseconds t1{2000};
    milliseconds t2{500};
    milliseconds t3{10000};
    int window = 2;
    int retries = 12;
};

struct TncAction {
    enum class Kind : std::uint8_t {
        WriteRaw,      // bytes, unframed
        Post,          // text, colour
        ResetSmack,    // clear SMACK-seen
        LinkParams,    // reset the connected-mode link with `link`
        ArmSession,    // parameters sent: the next frame heard starts the session; tell the viewer (2029)
        ClosePort,
        Finished,      // 500 ms after the close: destroy the window or open the next pass
    };
    Kind kind;
    std::vector<std::uint8_t> bytes;
    std::string text;
    LineColour colour = LineColour::Black;
    ConnectedLinkParams link;
};

class TncSequencer {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // `startup_file` is the content of "Brek TNC Startup.TXT" when it exists.
    std::vector<TncAction> start(const TncSetup& setup, const std::optional<std::vector<std::uint8_t>>& startup_file,
                                 TimePoint now);
    // Drops whatever start-up step is still pending. `exit_file` is "Brek TNC Exit.TXT".
    std::vector<TncAction> begin_exit(const std::optional<std::vector<std::uint8_t>>& exit_file, TimePoint now);
    // Actions due at `now`, in order.
    std::vector<TncAction> poll(TimePoint now);

    std::optional<TimePoint> next_deadline() const;
    bool idle() const { return steps_.empty(); }

private:
    struct Step {
        TimePoint due;
        TncAction action;
    };
    void at(TimePoint due, TncAction action);

    TncSetup setup_;
    std::deque<Step> steps_;
};

} // namespace orva::engine

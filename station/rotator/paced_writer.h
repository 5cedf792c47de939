// The one path by which bytes reach a rotator controller. With a pacing delay, slow controllers
// get one byte per write and a pause after each; the pauses run on the timers it is handed, so
// nothing blocks and a test's manual clock drives them.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "platform/timers.h"

namespace orva::station {

class PacedWriter {
public:
    using Write = std::function<bool(std::span<const std::uint8_t>)>;

    PacedWriter(platform::Timers& timers, Write write)
        : state_(std::make_shared<State>(timers, std::move(write)))
    {
    }
    ~PacedWriter();
    PacedWriter(const PacedWriter&) = delete;
    PacedWriter& operator=(const PacedWriter&) = delete;

    // Values above 50 ms are taken as 50.
    void set_delay(std::chrono::milliseconds delay);
    // Queues the bytes behind whatever is still being paced out.
    void send(std::string_view bytes);
    // Drops what is not yet written (the port is being closed).
    void discard();
    bool idle() const;

private:
    // Shared with the pending timer, so a pause that ends after the writer is gone finds
    // nothing to do instead of a freed writer.
    struct State {
        State(platform::Timers& t, Write w) : timers(t), write(std::move(w)) {}
        platform::Timers& timers;
        Write write;
        std::mutex mutex;
        std::chrono::milliseconds delay{0};
        std::deque<std::uint8_t> queue;
        platform::TimerId timer = 0;
        bool gone = false;
    };
    static void pump(const std::shared_ptr<State>& state); // with state->mutex held
    std::shared_ptr<State> state_;
};

} // namespace orva::station

// The one path by which bytes reach a rotator controller. With a pacing delay, slow controllers
// get one byte per write and a pause after each; the pauses run on the timers it is handed, so
// nothing blocks and a test's manual clock drives them.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string_view>

#include "platform/timers.h"

namespace orva::station {

class PacedWriter {
public:
    using Write = std::function<bool(std::span<const std::uint8_t>)>;

    PacedWriter(platform::Timers& timers, Write write) : timers_(timers), write_(std::move(write)) {}
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
    void pump(); // with mutex_ held
    platform::Timers& timers_;
    Write write_;
    mutable std::mutex mutex_;
    std::chrono::milliseconds delay_{0};
    std::deque<std::uint8_t> queue_;
    platform::TimerId timer_ = 0;
};

} // namespace orva::station

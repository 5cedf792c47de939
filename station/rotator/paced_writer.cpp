#include "station/rotator/paced_writer.h"

#include <algorithm>
#include <vector>

namespace orva::station {

PacedWriter::~PacedWriter()
{
    discard();
}

void PacedWriter::set_delay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(mutex_);
    delay_ = std::clamp(delay, std::chrono::milliseconds{0}, std::chrono::milliseconds{50});
}

void PacedWriter::send(std::string_view bytes)
{
    if (bytes.empty())
        return;
    std::unique_lock lock(mutex_);
    if (delay_.count() == 0 && timer_ == 0) {
        lock.unlock();
        write_(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        return;
    }
    queue_.insert(queue_.end(), bytes.begin(), bytes.end());
    if (timer_ == 0)
        pump();
}

void PacedWriter::pump()
{
    if (queue_.empty()) {
        timer_ = 0;
        return;
    }
    std::uint8_t byte = queue_.front();
    queue_.pop_front();
    write_(std::span(&byte, 1));
    // Each byte is followed by its pause, the last one too, so a following command waits it out.
    timer_ = timers_.start(delay_.count() ? delay_ : std::chrono::milliseconds{1}, [this] {
        std::lock_guard lock(mutex_);
        timer_ = 0;
        if (!queue_.empty())
            pump();
    });
}

void PacedWriter::discard()
{
    std::lock_guard lock(mutex_);
    queue_.clear();
    if (timer_) {
        timers_.cancel(timer_);
        timer_ = 0;
    }
}

bool PacedWriter::idle() const
{
    std::lock_guard lock(mutex_);
    return queue_.empty() && timer_ == 0;
}

} // namespace orva::station

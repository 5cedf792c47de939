#include "station/rotator/paced_writer.h"

#include <algorithm>

namespace orva::station {

PacedWriter::~PacedWriter()
{
    discard();
    std::lock_guard lock(state_->mutex);
    state_->gone = true;
}

void PacedWriter::set_delay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(state_->mutex);
    state_->delay = std::clamp(delay, std::chrono::milliseconds{0}, std::chrono::milliseconds{50});
}

void PacedWriter::send(std::string_view bytes)
{
    if (bytes.empty())
        return;
    std::unique_lock lock(state_->mutex);
    if (state_->delay.count() == 0 && state_->timer == 0) {
        Write write = state_->write;
        lock.unlock();
        write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
        return;
    }
    state_->queue.insert(state_->queue.end(), bytes.begin(), bytes.end());
    if (state_->timer == 0)
        pump(state_);
}

void PacedWriter::pump(const std::shared_ptr<State>& s)
{
    if (s->queue.empty() || s->gone) {
        s->timer = 0;
        return;
    }
    std::uint8_t byte = s->queue.front();
    s->queue.pop_front();
    s->write(std::span(&byte, 1));
    // Each byte is followed by its pause, the last one too, so a following command waits it out.
    std::weak_ptr<State> weak = s;
    s->timer = s->timers.start(s->delay.count() ? s->delay : std::chrono::milliseconds{1}, [weak] {
        auto state = weak.lock();
        if (!state)
            return;
        std::lock_guard lock(state->mutex);
        state->timer = 0;
        if (!state->queue.empty())
            pump(state);
    });
}

void PacedWriter::discard()
{
    std::lock_guard lock(state_->mutex);
    state_->queue.clear();
    if (state_->timer) {
        state_->timers.cancel(state_->timer);
        state_->timer = 0;
    }
}

bool PacedWriter::idle() const
{
    std::lock_guard lock(state_->mutex);
    return state_->queue.empty() && state_->timer == 0;
}

} // namespace orva::station

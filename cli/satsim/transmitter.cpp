#include "cli/satsim/transmitter.h"

#include <algorithm>

namespace orva::satsim {

std::uint64_t Transmitter::air_ms(std::size_t frame_size) const
{
    const std::uint64_t bits = std::uint64_t(frame_size + kHdlcOverhead) * 8;
    const std::uint64_t rate = std::max<std::uint32_t>(config_.bits_per_second, 1);
    return (bits * 1000 + rate - 1) / rate;
}

void Transmitter::start_next(std::uint64_t at)
{
    if (on_air_ || waiting_.empty())
        return;
    on_air_ = std::move(waiting_.front());
    waiting_.pop_front();
    on_air_ends_ = at + air_ms(on_air_->size());
}

void Transmitter::queue(std::vector<std::uint8_t> frame, std::uint64_t now_ms)
{
    queued_bytes_ += frame.size();
    waiting_.push_back(std::move(frame));
    if (!on_air_) // keyed up from silence
        start_next(std::max(now_ms, silent_from_) + config_.tx_delay_ms);
}

std::vector<std::vector<std::uint8_t>> Transmitter::poll(std::uint64_t now_ms)
{
    std::vector<std::vector<std::uint8_t>> out;
    while (on_air_ && on_air_ends_ <= now_ms) {
        queued_bytes_ -= on_air_->size();
        out.push_back(std::move(*on_air_));
        on_air_.reset();
        silent_from_ = on_air_ends_;
        start_next(on_air_ends_); // the carrier stays up while frames wait
    }
    return out;
}

} // namespace orva::satsim

#include "cli/satsim/channel.h"

namespace orva::satsim {

ChannelConfig uplink_channel_config(const ChannelConfig& downlink, std::optional<double> loss)
{
    ChannelConfig c;
    c.loss = loss.value_or(downlink.loss);
    // splitmix64 of the seed: a stream of its own, fixed by the seed.
    std::uint64_t z = downlink.seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    c.seed = z ^ (z >> 31);
    return c;
}

std::vector<std::vector<std::uint8_t>> Channel::pass(std::vector<std::uint8_t> frame)
{
    std::vector<std::vector<std::uint8_t>> out;
    if (chance(config_.loss)) {
        ++counters_.lost;
        return out;
    }
    if (!frame.empty() && chance(config_.corrupt)) {
        ++counters_.corrupted;
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, frame.size() - 1)(rng_);
        frame[at] ^= std::uint8_t(1u << std::uniform_int_distribution<int>(0, 7)(rng_));
    }
    ++counters_.passed;
    if (!held_ && chance(config_.reorder)) {
        ++counters_.reordered;
        held_ = std::move(frame);
        return out;
    }
    out.push_back(std::move(frame));
    if (held_) {
        out.push_back(std::move(*held_));
        held_.reset();
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> Channel::flush()
{
    auto h = std::move(held_);
    held_.reset();
    return h;
}

} // namespace orva::satsim

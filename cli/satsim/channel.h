// The radio path: drops, corrupts and reorders a set share of the frames, from a seeded generator
// so a failing run can be repeated.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace orva::satsim {

struct ChannelConfig {
    double loss = 0;    // share of frames lost
    double corrupt = 0; // share of frames with one byte changed
    double reorder = 0; // share of frames held back behind the next one
    std::uint64_t seed = 1;
};

struct ChannelCounters {
    std::uint64_t passed = 0, lost = 0, corrupted = 0, reordered = 0;
};

// The uplink's channel: frames from the ground station are lost at `loss` (the downlink's share
// unless given apart). A damaged uplink frame fails the satellite's frame check and counts as lost,
// so nothing is corrupted or reordered; the generator is seeded from the same seed, apart from
// the downlink's, so the two directions do not lose the same frames.
ChannelConfig uplink_channel_config(const ChannelConfig& downlink, std::optional<double> loss = std::nullopt);

class Channel {
public:
    explicit Channel(ChannelConfig config) : config_(config), rng_(config.seed) {}

    // The frames that come out of the channel for one frame put in (none, one or two).
    std::vector<std::vector<std::uint8_t>> pass(std::vector<std::uint8_t> frame);
    // A frame held back for reordering, released when nothing follows it.
    std::optional<std::vector<std::uint8_t>> flush();
    const ChannelCounters& counters() const { return counters_; }

private:
    bool chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < p; }

    ChannelConfig config_;
    std::mt19937_64 rng_;
    std::optional<std::vector<std::uint8_t>> held_;
    ChannelCounters counters_;
};

} // namespace orva::satsim

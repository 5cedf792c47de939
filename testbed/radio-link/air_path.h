// One direction of the simulated radio: the audio one TNC transmits, as the other TNC hears it.
//
// A transmitter's audio comes in bursts (one per key-up: preamble, frames, tail), written much
// faster than real time; the receiver takes audio at the real sample rate and hears silence
// between bursts. Each burst is clean, lost (the receiver hears only silence) or corrupted (a
// stretch of it is replaced by noise, so the frame it falls in fails its check), decided from a
// seeded generator in the order the bursts are keyed, so a run's fates can be repeated.
//
// Time is counted in samples of the channel's clock; the caller turns the wall clock into it.
#pragma once

#include <cstdint>
#include <deque>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace orva::testbed {

struct AirPathConfig {
    std::uint32_t sample_rate = 48000;
    std::uint32_t bit_rate = 9600;
    double loss = 0;    // share of bursts the receiver does not hear at all
    double corrupt = 0; // share of bursts hit by noise; loss + corrupt is at most 1
    std::uint64_t seed = 1;
    std::uint32_t hit_bits = 48;   // length of a noise hit, in bit times
    std::uint32_t gap_ms = 40;     // audio arriving after this long a pause starts a new burst
    std::uint32_t lead_ms = 0;     // start of a burst a hit keeps clear of (the preamble)
    std::uint32_t tail_ms = 0;     // end of a burst a hit keeps clear of (the closing flags)
    double gain = 1;               // the receiver hears the audio this much weaker (or stronger)
};

enum class Fate { Clean, Lost, Corrupted };

struct AirPathCounters {
    std::uint64_t bursts = 0, lost = 0, corrupted = 0;
    std::uint64_t samples_heard = 0; // audio (not silence) passed to the receiver
};

class AirPath {
public:
    explicit AirPath(const AirPathConfig& config);

    // Audio the transmitter wrote, arriving at `now`.
    void transmit(std::span<const std::int16_t> audio, std::uint64_t now);
    // The next `out.size()` samples of what the receiver hears, at `now`. A burst is played once
    // it has ended (no audio for the gap) or has gathered a second of audio.
    void receive(std::span<std::int16_t> out, std::uint64_t now);

    const AirPathCounters& counters() const { return counters_; }
    // One line for each burst played out since the last call, for the channel's log.
    std::vector<std::string> take_events();

private:
    struct Burst {
        std::vector<std::int16_t> audio;
        std::uint64_t number = 0;
        std::uint64_t last_arrival = 0;
        bool ended = false;
        bool playing = false;
        std::size_t played = 0;
        Fate fate = Fate::Clean;
        double hit_place = 0; // where in the room left for it the hit falls, 0 to 1
        std::size_t hit_from = 0, hit_to = 0;
        std::int16_t peak = 0;
    };

    void start_playing(Burst& b);
    std::int16_t noise(std::int16_t peak);

    AirPathConfig config_;
    std::mt19937_64 fates_;  // one draw pair per burst: fates repeat with the seed
    std::mt19937_64 noise_;  // the noise samples, apart so they do not shift the fates
    std::deque<Burst> bursts_;
    AirPathCounters counters_;
    std::vector<std::string> events_;
};

const char* fate_name(Fate f);

} // namespace orva::testbed

#include "testbed/radio-link/air_path.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstdlib>

namespace orva::testbed {

const char* fate_name(Fate f)
{
    switch (f) {
    case Fate::Clean: return "clean";
    case Fate::Lost: return "lost";
    case Fate::Corrupted: return "corrupted";
    }
    return "?";
}

// The noise has its own generator so that the noise drawn never changes which bursts are lost.
AirPath::AirPath(const AirPathConfig& config)
    : config_(config), fates_(config.seed), noise_(config.seed ^ 0x9e3779b97f4a7c15ULL)
{
}

void AirPath::transmit(std::span<const std::int16_t> audio, std::uint64_t now)
{
    if (audio.empty())
        return;
    const std::uint64_t gap = std::uint64_t(config_.gap_ms) * config_.sample_rate / 1000;
    if (!bursts_.empty() && !bursts_.back().ended && now - bursts_.back().last_arrival < gap) {
        Burst& b = bursts_.back();
        b.audio.insert(b.audio.end(), audio.begin(), audio.end());
        b.last_arrival = now;
        return;
    }
    if (!bursts_.empty())
        bursts_.back().ended = true;
    Burst b;
    b.number = ++counters_.bursts;
    std::uniform_real_distribution<double> unit(0, 1);
    const double draw = unit(fates_);
    b.hit_place = unit(fates_); // drawn for every burst, so the fates do not depend on each other
    if (draw < config_.loss) {
        b.fate = Fate::Lost;
        ++counters_.lost;
    } else if (draw < config_.loss + config_.corrupt) {
        b.fate = Fate::Corrupted;
        ++counters_.corrupted;
    }
    b.audio.assign(audio.begin(), audio.end());
    b.last_arrival = now;
    bursts_.push_back(std::move(b));
}

void AirPath::start_playing(Burst& b)
{
    b.playing = true;
    for (const std::int16_t s : b.audio)
        b.peak = std::int16_t(std::max<int>(b.peak, std::abs(int(s))));
    if (b.peak == 0)
        b.peak = 8000;
    if (b.fate != Fate::Corrupted)
        return;
    // The burst is whole by now unless it is longer than a second; the hit is placed in what is
    // known, clear of the preamble and the closing flags when the burst is long enough for that.
    const std::size_t length = b.audio.size();
    const std::size_t span = std::max<std::size_t>(1, std::size_t(config_.hit_bits) * config_.sample_rate / config_.bit_rate);
    std::size_t lo = std::size_t(config_.lead_ms) * config_.sample_rate / 1000;
    const std::size_t tail = std::size_t(config_.tail_ms) * config_.sample_rate / 1000;
    std::size_t hi = length > tail + span ? length - tail - span : 0;
    if (hi <= lo) {
        lo = 0;
        hi = length > span ? length - span : 0;
    }
    b.hit_from = lo + std::size_t(b.hit_place * double(hi - lo));
    b.hit_to = std::min(length, b.hit_from + span);
}

std::int16_t AirPath::noise(std::int16_t peak)
{
    return std::int16_t(std::uniform_int_distribution<int>(-peak, peak)(noise_));
}

void AirPath::receive(std::span<std::int16_t> out, std::uint64_t now)
{
    const std::uint64_t gap = std::uint64_t(config_.gap_ms) * config_.sample_rate / 1000;
    if (!bursts_.empty() && !bursts_.back().ended && now - bursts_.back().last_arrival >= gap)
        bursts_.back().ended = true;
    std::size_t i = 0;
    while (i < out.size() && !bursts_.empty()) {
        Burst& b = bursts_.front();
        if (!b.playing) {
            if (!b.ended && b.audio.size() < config_.sample_rate)
                break; // still arriving: silence until it is whole
            start_playing(b);
        }
        const std::size_t left = b.audio.size() - b.played;
        if (left == 0) {
            if (!b.ended)
                break; // a long burst arriving no faster than it plays
            char line[160];
            const double rate = config_.sample_rate;
            if (b.fate == Fate::Corrupted)
                std::snprintf(line, sizeof line, "burst %llu: %.3f s, corrupted (noise from %.3f s to %.3f s)",
                              static_cast<unsigned long long>(b.number), double(b.audio.size()) / rate,
                              double(b.hit_from) / rate, double(b.hit_to) / rate);
            else
                std::snprintf(line, sizeof line, "burst %llu: %.3f s, %s", static_cast<unsigned long long>(b.number),
                              double(b.audio.size()) / rate, fate_name(b.fate));
            events_.emplace_back(line);
            bursts_.pop_front();
            continue;
        }
        const std::size_t n = std::min(left, out.size() - i);
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t at = b.played + k;
            std::int16_t s = b.audio[at];
            if (b.fate == Fate::Lost)
                s = 0;
            else if (b.fate == Fate::Corrupted && at >= b.hit_from && at < b.hit_to)
                s = noise(b.peak);
            out[i + k] = std::int16_t(std::clamp(std::lround(s * config_.gain), -32768L, 32767L));
        }
        if (b.fate != Fate::Lost)
            counters_.samples_heard += n;
        b.played += n;
        i += n;
    }
    std::fill(out.begin() + std::ptrdiff_t(i), out.end(), std::int16_t(0));
}

std::vector<std::string> AirPath::take_events()
{
    std::vector<std::string> e;
    e.swap(events_);
    return e;
}

} // namespace orva::testbed

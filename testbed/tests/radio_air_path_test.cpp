// The radio channel's model of one direction: what the receiver hears of the bursts a
// transmitter keys, with the clock stepped by hand in samples.
#include "testbed/radio-link/air_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace orva::testbed {
namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint64_t kGap = 40 * kRate / 1000;

std::vector<std::int16_t> tone(std::size_t n, std::int16_t base)
{
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = std::int16_t(base + std::int16_t(i % 97) * 50 + 1); // never zero, so silence stands out
    return v;
}

// Steps the receiver from `from` to `to` in 10 ms blocks, as the channel does.
std::vector<std::int16_t> hear(AirPath& path, std::uint64_t from, std::uint64_t to)
{
    std::vector<std::int16_t> all;
    for (std::uint64_t t = from; t < to;) {
        const std::uint64_t n = std::min<std::uint64_t>(480, to - t);
        std::vector<std::int16_t> block(n);
        t += n;
        path.receive(block, t);
        all.insert(all.end(), block.begin(), block.end());
    }
    return all;
}

std::size_t first_sound(const std::vector<std::int16_t>& v)
{
    return std::size_t(std::find_if(v.begin(), v.end(), [](std::int16_t s) { return s != 0; }) - v.begin());
}

TEST(AirPath, ACleanBurstIsHeardWholeOnceItEndsWithSilenceAround)
{
    AirPath path(AirPathConfig{});
    const auto burst = tone(9000, 100);
    // Written in three pieces a few milliseconds apart: one transmission.
    path.transmit(std::span(burst).subspan(0, 3000), 0);
    path.transmit(std::span(burst).subspan(3000, 3000), 100);
    path.transmit(std::span(burst).subspan(6000), 200);
    const auto heard = hear(path, 0, 24000);
    const std::size_t at = first_sound(heard);
    // Played once the gap has passed after the last piece, not before.
    EXPECT_GE(at, 200 + kGap - 480);
    EXPECT_LE(at, 200 + kGap + 480);
    ASSERT_LE(at + burst.size(), heard.size());
    EXPECT_TRUE(std::equal(burst.begin(), burst.end(), heard.begin() + std::ptrdiff_t(at)));
    EXPECT_TRUE(std::all_of(heard.begin() + std::ptrdiff_t(at + burst.size()), heard.end(), [](auto s) { return s == 0; }));
    EXPECT_EQ(path.counters().bursts, 1u);
    EXPECT_EQ(path.counters().samples_heard, burst.size());
    ASSERT_EQ(path.take_events().size(), 1u);
}

TEST(AirPath, TheReceiverHearsTheAudioAtTheSetGain)
{
    AirPathConfig c;
    c.gain = 0.25;
    AirPath path(c);
    const auto burst = tone(4800, 1000);
    path.transmit(burst, 0);
    const auto heard = hear(path, 0, 12000);
    const std::size_t at = first_sound(heard);
    ASSERT_LE(at + burst.size(), heard.size());
    for (std::size_t i = 0; i < burst.size(); ++i)
        ASSERT_NEAR(heard[at + i], burst[i] / 4.0, 0.5) << i;
}

TEST(AirPath, AudioAfterAPauseIsANewBurstPlayedAfterTheFirst)
{
    AirPath path(AirPathConfig{});
    const auto one = tone(4800, 100), two = tone(4800, -3000);
    path.transmit(one, 0);
    path.transmit(two, kGap + 10); // the first one's writer went quiet for longer than the gap
    const auto heard = hear(path, 0, 30000);
    const std::size_t at = first_sound(heard);
    ASSERT_LE(at + 9600, heard.size());
    EXPECT_TRUE(std::equal(one.begin(), one.end(), heard.begin() + std::ptrdiff_t(at)));
    EXPECT_TRUE(std::equal(two.begin(), two.end(), heard.begin() + std::ptrdiff_t(at + one.size())));
    EXPECT_EQ(path.counters().bursts, 2u);
}

TEST(AirPath, ALongBurstStartsPlayingBeforeItHasAllArrived)
{
    AirPath path(AirPathConfig{});
    const auto burst = tone(3 * kRate, 100);
    std::uint64_t t = 0;
    std::vector<std::int16_t> heard;
    for (std::size_t i = 0; i < burst.size(); i += 480, t += 480) { // arriving at the real rate
        path.transmit(std::span(burst).subspan(i, 480), t);
        std::vector<std::int16_t> block(480);
        path.receive(block, t + 480);
        heard.insert(heard.end(), block.begin(), block.end());
    }
    const std::size_t at = first_sound(heard);
    EXPECT_LE(at, std::size_t(kRate + 480));
    ASSERT_LT(at, heard.size());
    EXPECT_TRUE(std::equal(heard.begin() + std::ptrdiff_t(at), heard.end(), burst.begin()));
    EXPECT_EQ(path.counters().bursts, 1u);
}

TEST(AirPath, ALostBurstIsSilence)
{
    AirPathConfig c;
    c.loss = 1;
    AirPath path(c);
    path.transmit(tone(9000, 100), 0);
    const auto heard = hear(path, 0, 24000);
    EXPECT_EQ(first_sound(heard), heard.size());
    EXPECT_EQ(path.counters().lost, 1u);
    EXPECT_EQ(path.counters().samples_heard, 0u);
}

TEST(AirPath, ACorruptedBurstHasOneStretchOfNoiseClearOfItsEnds)
{
    AirPathConfig c;
    c.corrupt = 1;
    c.bit_rate = 1200;
    c.hit_bits = 48; // 40 ms at 1200 bit/s
    c.lead_ms = 100;
    c.tail_ms = 20;
    const std::size_t span = 48 * kRate / 1200;
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        c.seed = seed;
        AirPath path(c);
        const auto burst = tone(kRate / 2, 100);
        path.transmit(burst, 0);
        const auto heard = hear(path, 0, kRate);
        const std::size_t at = first_sound(heard);
        ASSERT_LE(at + burst.size(), heard.size());
        std::vector<std::size_t> changed;
        for (std::size_t i = 0; i < burst.size(); ++i)
            if (heard[at + i] != burst[i])
                changed.push_back(i);
        ASSERT_FALSE(changed.empty()) << "seed " << seed;
        EXPECT_GE(changed.front(), std::size_t(kRate / 10)) << "seed " << seed;
        EXPECT_LT(changed.back(), burst.size() - kRate / 50) << "seed " << seed;
        EXPECT_LT(changed.back() - changed.front(), span) << "seed " << seed;
        EXPECT_GT(changed.size(), span / 2) << "seed " << seed; // noise, not a few flipped samples
        EXPECT_EQ(path.counters().corrupted, 1u);
    }
}

TEST(AirPath, TheSeedRepeatsWhichBurstsAreLost)
{
    auto fates = [](std::uint64_t seed, double corrupt) {
        AirPathConfig c;
        c.loss = 0.4;
        c.corrupt = corrupt;
        c.seed = seed;
        AirPath path(c);
        std::vector<bool> lost;
        std::uint64_t t = 0;
        for (int i = 0; i < 40; ++i) {
            path.transmit(tone(960, 100), t);
            const auto heard = hear(path, t, t + 960 + 2 * kGap);
            lost.push_back(first_sound(heard) == heard.size());
            t += 960 + 2 * kGap;
        }
        return lost;
    };
    const auto a = fates(5, 0);
    EXPECT_EQ(fates(5, 0), a);
    EXPECT_EQ(fates(5, 0.3), a) << "corruption drew on the losses' numbers";
    EXPECT_NE(fates(6, 0), a);
    const auto n = std::count(a.begin(), a.end(), true);
    EXPECT_GT(n, 5);
    EXPECT_LT(n, 30);
}

} // namespace
} // namespace orva::testbed

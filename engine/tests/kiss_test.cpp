#include "engine/link/kiss_decoder.h"
#include "engine/link/kiss_encoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orva::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Collect : KissSink {
    std::vector<std::pair<int, Bytes>> frames;
    std::vector<std::pair<KissNotice, int>> notices;
    void on_kiss_frame(std::uint8_t port, std::span<const std::uint8_t> f) override {
        frames.emplace_back(port, Bytes(f.begin(), f.end()));
    }
    void on_kiss_notice(KissNotice n, std::uint8_t c) override {
        if (n != KissNotice::FrameEnded) notices.emplace_back(n, c);
    }
};

Bytes decode_all(KissDecoder& d, const Bytes& in, Collect& c) {
    d.feed(in, c);
    return c.frames.empty() ? Bytes{} : c.frames.back().second;
}

TEST(Kiss, EscapesKnownAnswer) {
    const Bytes frame = {0x01, 0xC0, 0x02, 0xDB, 0x03};
    const Bytes wire = {0xC0, 0x00, 0x01, 0xDB, 0xDC, 0x02, 0xDB, 0xDD, 0x03, 0xC0};
    EXPECT_EQ(encode_kiss_frame(frame, 0, false), wire);

    KissDecoder d;
    Collect c;
    EXPECT_EQ(decode_all(d, wire, c), frame);
    EXPECT_EQ(c.frames[0].first, 0);
    EXPECT_EQ(d.counters().bytes, frame.size());
}

TEST(Kiss, EscapeOfAnOrdinaryByteKeepsIt) {
    KissDecoder d;
    Collect c;
    EXPECT_EQ(decode_all(d, {0xC0, 0x00, 0xDB, 0x41, 0xC0}, c), (Bytes{0x41}));
}

TEST(Kiss, EmptyAndSingleByteFramesAreIgnored) {
    KissDecoder d;
    Collect c;
    d.feed(Bytes{0xC0, 0xC0, 0xC0, 0x00, 0xC0, 0xC0}, c);
    EXPECT_TRUE(c.frames.empty());
    // A frame split over many reads still arrives whole.
    const auto wire = encode_kiss_frame(Bytes{1, 2, 3}, 0x30, false);
    for (auto b : wire) d.feed(Bytes{b}, c);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].first, 3);
    EXPECT_EQ(c.frames[0].second, (Bytes{1, 2, 3}));
}

TEST(Kiss, RoundTripOfEveryByteValue) {
    Bytes frame;
    for (int i = 0; i < 256; ++i) frame.push_back(std::uint8_t(i));
    for (bool smack : {false, true}) {
        KissDecoder d(smack);
        Collect c;
        d.feed(encode_kiss_frame(frame, tx_port_nibble(2), smack), c);
        ASSERT_EQ(c.frames.size(), 1u) << smack;
        EXPECT_EQ(c.frames[0].second, frame);
        EXPECT_EQ(c.frames[0].first, 2);
    }
}

// CRC-16/ARC over 80 "123456789" is 0x533A, sent low byte first.
const Bytes kSmackWire = {0xC0, 0x80, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0x3A, 0x53, 0xC0};

TEST(Smack, GoodFrameLosesItsCrcAndIsAnnouncedOnce) {
    KissDecoder d(true);
    Collect c;
    d.feed(kSmackWire, c);
    d.feed(kSmackWire, c);
    ASSERT_EQ(c.frames.size(), 2u);
    EXPECT_EQ(c.frames[0].second, Bytes({'1', '2', '3', '4', '5', '6', '7', '8', '9'}));
    ASSERT_EQ(c.notices.size(), 1u);
    EXPECT_EQ(c.notices[0].first, KissNotice::SmackSeen);
    EXPECT_TRUE(d.smack_seen());
    EXPECT_EQ(d.counters().bytes, 18u);
    EXPECT_EQ(encode_kiss_frame(Bytes({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0, true), kSmackWire);
}

TEST(Smack, BadCrcIsCountedAndDropped) {
    KissDecoder d(true);
    Collect c;
    auto wire = kSmackWire;
    wire[11] ^= 1;
    d.feed(wire, c);
    EXPECT_TRUE(c.frames.empty());
    EXPECT_EQ(d.counters().bad_smack, 1u);
    EXPECT_FALSE(d.smack_seen());
    // Plain KISS data still passes while SMACK is being tested for.
    d.feed(encode_kiss_frame(Bytes{7, 8}, 0, false), c);
    ASSERT_EQ(c.frames.size(), 1u);
}

TEST(Smack, WithSmackOffTheCommandIsDataAndTheCrcStays) {
    KissDecoder d(false);
    Collect c;
    d.feed(kSmackWire, c);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].second.size(), 11u);
    EXPECT_EQ(c.frames[0].second.back(), 0x53);
}

TEST(Kiss, RepeatedUnknownCommandIsReportedFromTheSixth) {
    const Bytes unknown = {0xC0, 0x0E, 0x01, 0xC0};
    for (int times : {5, 6, 7}) {
        KissDecoder d;
        Collect c;
        for (int i = 0; i < times; ++i) d.feed(unknown, c);
        EXPECT_EQ(int(c.notices.size()), times - 5) << times;
    }
    // A different byte in between restarts the count.
    KissDecoder d;
    Collect c;
    for (int i = 0; i < 5; ++i) d.feed(unknown, c);
    d.feed(Bytes{0xC0, 0x0D, 0x01, 0xC0}, c);
    d.feed(unknown, c);
    EXPECT_TRUE(c.notices.empty());
}

TEST(Kiss, OversizeFrameIsDroppedEvenWhenTheLimitFallsOnAnEscape) {
    for (std::size_t plain : {2040u, 2041u, 2042u, 2043u, 3000u}) {
        KissDecoder d;
        Collect c;
        Bytes wire = {0xC0, 0x00};
        wire.insert(wire.end(), plain, 0x55);
        for (int i = 0; i < 4; ++i) wire.insert(wire.end(), {0xDB, 0xDC});
        wire.push_back(0xC0);
        d.feed(wire, c);
        EXPECT_TRUE(c.frames.empty()) << plain;
        EXPECT_EQ(d.counters().oversize, 1u);
        // The next frame is whole, not the tail of the long one.
        d.feed(encode_kiss_frame(Bytes{1, 2}, 0, false), c);
        ASSERT_EQ(c.frames.size(), 1u);
        EXPECT_EQ(c.frames[0].second, (Bytes{1, 2}));
    }
    // The largest frame that fits: command byte plus 2041 data bytes.
    KissDecoder d;
    Collect c;
    d.feed(encode_kiss_frame(Bytes(2041, 0xC0), 0, false), c);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0].second.size(), 2041u);
}

TEST(Kiss, ParameterBlock) {
    EXPECT_EQ(kiss_parameter_block(0, 200, 50),
              (Bytes{0xC0, 0xC0, 0x05, 0x01, 0xC0, 0xC0, 0x01, 20, 0xC0, 0xC0, 0x04, 5, 0xC0}));
    EXPECT_EQ(kiss_parameter_block(tx_port_nibble(1), 200, 50),
              (Bytes{0xC0, 0xC0, 0x15, 0x01, 0xC0, 0xC0, 0x11, 20, 0xC0, 0xC0, 0x14, 5, 0xC0}));
    // 1920 ms is 0xC0 and must be escaped.
    EXPECT_EQ(kiss_parameter_block(0, 1920, 50),
              (Bytes{0xC0, 0xC0, 0x05, 0x01, 0xC0, 0xC0, 0x01, 0xDB, 0xDC, 0xC0, 0xC0, 0x04, 5, 0xC0}));
    EXPECT_EQ(tx_port_nibble(9), 0x10);
}

} // namespace
} // namespace orva::engine

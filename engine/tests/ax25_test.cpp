#include "engine/frames/ax25_frame.h"
#include "engine/frames/frame_classifier.h"

#include <gtest/gtest.h>

namespace orva::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;

Ax25Address addr(std::string_view s) { return *Ax25Address::parse(s); }

TEST(Ax25Address, ParseAndText) {
    auto a = Ax25Address::parse("g0abc-5");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->callsign(), "G0ABC");
    EXPECT_EQ(a->ssid(), 5);
    EXPECT_EQ(a->to_text(), "G0ABC-5");
    EXPECT_EQ(addr("W1AW").to_text(), "W1AW");
    for (const char* bad : {"", "TOOLONG1", "G0-ABC", "G0ABC-16", "G0ABC-", "G0 AB", "G0ABC-1x"})
        EXPECT_FALSE(Ax25Address::parse(bad)) << bad;
}

TEST(Ax25Address, EqualityIgnoresCommandEndAndReservedBits) {
    const Bytes wire = {0xA2, 0xA6, 0xA8, 0x40, 0x40, 0x40, 0x02}; // QST-1, reserved bits clear
    const auto a = Ax25Address::from_wire(std::span<const std::uint8_t, 7>(wire.data(), 7));
    EXPECT_FALSE(a.reserved_bits_set());
    EXPECT_EQ(a, calls::qst1());
    EXPECT_FALSE(a == Ax25Address::fixed("QST", 2));
    EXPECT_TRUE(a.same_call(Ax25Address::fixed("QST", 2)));
    EXPECT_EQ(a.to_text(), "QST-1");
}

// Laid out by hand: QST-1 as a command, from G0ABC with the end bit, UI, PID 0xBB.
const Bytes kUiFrame = {0xA2, 0xA6, 0xA8, 0x40, 0x40, 0x40, 0xE2, 0x8E, 0x60, 0x82, 0x84,
                        0x86, 0x40, 0x61, 0x03, 0xBB, 'h', 'i'};

TEST(Ax25Frame, BuildKnownAnswerAndParseBack) {
    const Bytes info = {'h', 'i'};
    EXPECT_EQ(build_ui_frame(calls::qst1(), addr("G0ABC"), 1, 0xBB, info), kUiFrame);
    auto f = parse_ax25_frame(kUiFrame);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->destination, calls::qst1());
    EXPECT_EQ(f->source, addr("G0ABC"));
    EXPECT_TRUE(f->is_ui());
    EXPECT_EQ(f->pid, 0xBB);
    EXPECT_EQ(f->command_response(), 1);
    EXPECT_EQ(Bytes(f->info.begin(), f->info.end()), info);
    // Response: C bit on the source.
    auto r = build_ui_frame(calls::qst1(), addr("G0ABC"), 2, 0xBB, info);
    EXPECT_EQ(r[6], 0x62);
    EXPECT_EQ(r[13], 0xE1);
}

TEST(Ax25Frame, DigipeatersAreSkippedAndAMissingEndBitReadsAsTwoAddresses) {
    Bytes digi = kUiFrame;
    digi[13] = 0x60; // source without the end bit, then one digipeater
    const Bytes rpt = {0xA4, 0x8A, 0xA0, 0x40, 0x40, 0x40, 0x61};
    digi.insert(digi.begin() + 14, rpt.begin(), rpt.end());
    auto f = parse_ax25_frame(digi);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->digipeaters, 1u);
    EXPECT_EQ(f->pid, 0xBB);
    EXPECT_EQ(f->info.size(), 2u);

    Bytes noend = kUiFrame;
    noend[13] = 0x60;
    auto g = parse_ax25_frame(noend);
    ASSERT_TRUE(g);
    EXPECT_TRUE(g->end_bit_missing);
    EXPECT_EQ(g->control, 0x03);
}

TEST(Ax25Frame, LongFrameWithoutEndBitIsNotReadAsDigipeaters) {
    // A server's file broadcast with the source's end bit clear: 200 bytes of data, some of them
    // with bit 0 set seven bytes apart from the addresses.
    Bytes f = kUiFrame;
    f[13] = 0x60;
    f.resize(16);
    for (int i = 0; i < 200; ++i) f.push_back(std::uint8_t(i | 1));
    auto g = parse_ax25_frame(f);
    ASSERT_TRUE(g);
    EXPECT_TRUE(g->end_bit_missing);
    EXPECT_EQ(g->digipeaters, 0u);
    EXPECT_EQ(g->control, 0x03);
    EXPECT_EQ(g->pid, f[15]);
    EXPECT_EQ(g->info.size(), 200u);
    // Bytes that read as an address but for the callsign characters: still not a digipeater.
    Bytes h = kUiFrame;
    h[13] = 0x60;
    h.resize(16);
    const Bytes junk = {0x03, 0xBB, 0x20, 0x07, 0x00, 0x00, 0x01, 0x41, 0x42};
    h.insert(h.end(), junk.begin(), junk.end());
    auto k = parse_ax25_frame(h);
    ASSERT_TRUE(k);
    EXPECT_EQ(k->digipeaters, 0u);
    EXPECT_EQ(k->info.size(), junk.size());
}

TEST(Ax25Frame, ShortFramesFail) {
    for (std::size_t n = 0; n < 15; ++n) EXPECT_FALSE(parse_ax25_frame(std::span(kUiFrame).first(n))) << n;
    auto f = parse_ax25_frame(std::span(kUiFrame).first(15));
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->pid);
    EXPECT_TRUE(f->info.empty());
}

TEST(FrameClassifier, EveryClass) {
    const StationCalls c{addr("G0ABC"), addr("PACSAT-12"), addr("PACSAT-11")};
    auto kind = [&](Ax25Address dest, Ax25Address src, std::uint8_t control = 0x03) {
        auto bytes = build_ui_frame(dest, src, 0, 0xF0, {});
        bytes[14] = control;
        return classify_frame(*parse_ax25_frame(bytes), c);
    };
    EXPECT_EQ(kind(calls::qst1(), c.bdcst_call), FrameClass::Broadcast);
    EXPECT_EQ(kind(calls::pblist(), c.bdcst_call), FrameClass::QueueList);
    EXPECT_EQ(kind(calls::pbfull(), c.bdcst_call), FrameClass::QueueFull);
    EXPECT_EQ(kind(calls::pbshut(), c.bdcst_call), FrameClass::QueueShut);
    EXPECT_EQ(kind(calls::pbwait(), c.bdcst_call), FrameClass::QueueShut);
    EXPECT_EQ(kind(calls::status(), addr("PACSAT")), FrameClass::ServerStatus);
    EXPECT_EQ(kind(calls::bstat(), c.bbs_call), FrameClass::ServerStatus);
    EXPECT_EQ(kind(calls::tlm(), c.bbs_call), FrameClass::Telemetry);
    EXPECT_EQ(kind(calls::telem(), c.bbs_call), FrameClass::Telemetry);
    // Not TLM-0: falls through to the broadcast callsign's text.
    EXPECT_EQ(kind(Ax25Address::fixed("TLM", 3), c.bbs_call), FrameClass::ServerText);
    EXPECT_EQ(kind(calls::bbstat(), c.bbs_call), FrameClass::BbsStatus);
    EXPECT_EQ(kind(calls::kepset(), addr("W1AW")), FrameClass::ElementSet);
    EXPECT_EQ(kind(addr("G0ABC"), c.bdcst_call), FrameClass::ServerText);
    EXPECT_EQ(kind(addr("G0ABC"), addr("PACSAT-3"), 0x13), FrameClass::ServerText); // poll bit ignored
    EXPECT_EQ(kind(addr("G0ABC"), addr("PACSAT-3"), 0x00), FrameClass::Connected);
    EXPECT_EQ(kind(addr("W1AW"), addr("PACSAT-3"), 0x00), FrameClass::ServerOther);
    EXPECT_EQ(kind(calls::qst1(), addr("W1AW")), FrameClass::Unrelated);
}

} // namespace
} // namespace orva::engine

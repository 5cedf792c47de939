#include "common/pfh/file_size_sniffer.h"
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orva::pfh {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes str(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A mandatory header laid out by hand from the item table: file 0x12345678 "TESTFILE.TXT",
// 300 bytes, type 0, body at 50. Sum of every byte except item 10's value:
// 0xFF + 281 + 618 + 262 + 53 + 9 + 12 + 63 = 1553 = 0x0611.
Bytes hand_header() {
    return cat({{0xAA, 0x55},
                {0x01, 0x00, 0x04, 0x78, 0x56, 0x34, 0x12},
                {0x02, 0x00, 0x08}, str("TESTFILE"),
                {0x03, 0x00, 0x03}, str("TXT"),
                {0x04, 0x00, 0x04, 0x2C, 0x01, 0x00, 0x00},
                {0x08, 0x00, 0x01, 0x00},
                {0x0A, 0x00, 0x02, 0x11, 0x06},
                {0x0B, 0x00, 0x02, 0x32, 0x00},
                {0x00, 0x00, 0x00}});
}

TEST(PfhParse, HandLaidHeaderGivesEveryField) {
    const auto bytes = hand_header();
    ASSERT_EQ(bytes.size(), 50u);
    auto h = parse_pfh(bytes);
    ASSERT_TRUE(h) << h.error().message;
    EXPECT_EQ(h->file_number, 0x12345678u);
    EXPECT_EQ(h->file_name, "TESTFILE");
    EXPECT_EQ(h->file_ext, "TXT");
    EXPECT_EQ(h->file_size, 300u);
    EXPECT_EQ(h->file_type, 0);
    EXPECT_EQ(h->header_checksum, 0x0611);
    EXPECT_EQ(h->body_offset, 50);
    EXPECT_EQ(h->header_length, 50u);
    EXPECT_FALSE(h->source.has_value());
    EXPECT_EQ(h->display_name(), "TESTFILE");

    auto sum = compute_header_checksum(bytes);
    ASSERT_TRUE(sum);
    EXPECT_EQ(*sum, 0x0611);
}

TEST(PfhParse, ChecksumOffByOneIsRejected) {
    auto bytes = hand_header();
    bytes[40] = 0x12; // item 10 low byte
    EXPECT_FALSE(parse_pfh(bytes));
    EXPECT_TRUE(parse_pfh(bytes, ParseOptions{.check_header_checksum = false}));
}

TEST(PfhParse, OnlyTheLowByteOfAnIdCounts) {
    // Item 4 written with id 0x0104: still the size; its high byte joins the sum.
    auto bytes = hand_header();
    bytes[27] = 0x01;
    bytes[40] = 0x12;
    auto h = parse_pfh(bytes);
    ASSERT_TRUE(h) << h.error().message;
    EXPECT_EQ(h->file_size, 300u);
}

TEST(PfhParse, TruncationAtEveryLengthFailsCleanly) {
    const auto bytes = hand_header();
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(parse_pfh(std::span(bytes).first(n))) << n;
    // Trailing body bytes are not part of the header.
    auto file = cat({bytes, str("hello")});
    auto h = parse_pfh(file);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->header_length, 50u);
}

TEST(PfhParse, StructuralFaultsAreRejected) {
    const auto base = cat({{0xAA, 0x55}, {0x01, 0x00, 0x04, 0x01, 0x00, 0x00, 0x00}});
    auto with_checksum = [](Bytes b) {
        b.insert(b.end(), {0x0A, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00});
        std::uint32_t sum = 0;
        for (auto x : b) sum += x;
        b[b.size() - 5] = std::uint8_t(sum);
        b[b.size() - 4] = std::uint8_t(sum >> 8);
        return b;
    };
    EXPECT_TRUE(parse_pfh(with_checksum(base)));
    EXPECT_FALSE(parse_pfh(with_checksum(cat({{0xAA, 0x56}, Bytes(base.begin() + 2, base.end())}))));
    // Zero-length and short numeric items.
    EXPECT_FALSE(parse_pfh(with_checksum(cat({base, {0x04, 0x00, 0x00}}))));
    EXPECT_FALSE(parse_pfh(with_checksum(cat({base, {0x04, 0x00, 0x02, 0x01, 0x02}}))));
    // Repeated item.
    EXPECT_FALSE(parse_pfh(with_checksum(cat({base, {0x01, 0x00, 0x04, 0x02, 0x00, 0x00, 0x00}}))));
    // File number 0, or absent.
    EXPECT_FALSE(parse_pfh(with_checksum({0xAA, 0x55, 0x01, 0x00, 0x04, 0, 0, 0, 0})));
    EXPECT_FALSE(parse_pfh(with_checksum({0xAA, 0x55, 0x02, 0x00, 0x01, 'A'})));
    // A value running past the end, and a gateway list that is not whole entries.
    Bytes past = cat({base, {0x10, 0x00, 0xFF, 'A', 'B'}});
    EXPECT_FALSE(parse_pfh(past));
    EXPECT_FALSE(parse_pfh(with_checksum(cat({base, {0x28, 0x00, 0x03, 'A', 'B', 'C'}}))));
    // Zero-length text items and unknown items are fine.
    auto ok = parse_pfh(with_checksum(cat({base, {0x23, 0x00, 0x00}, {0x63, 0x00, 0x01, 0x07}})));
    ASSERT_TRUE(ok) << ok.error().message;
    EXPECT_EQ(ok->keywords, "");
    ASSERT_EQ(ok->other_items.size(), 1u);
    EXPECT_EQ(ok->other_items[0].id, 0x63);
}

TEST(PfhBuild, ReproducesTheHandLaidHeader) {
    PfhHeader h;
    h.file_number = 0x12345678;
    h.file_name = "TESTFILE";
    h.file_ext = "TXT";
    h.file_size = 300;
    h.file_type = 0;
    h.body_offset = 50;
    EXPECT_EQ(build_pfh(h), hand_header());
}

TEST(PfhBuild, EveryItemRoundTrips) {
    PfhHeader h;
    h.file_number = 0xA1B2;
    h.file_name = "MSG     ";
    h.file_ext = "   ";
    h.create_time = 800000000;
    h.file_type = 18;
    h.source = "G0ABC";
    h.ax25_uploader = "G0ABC ";
    h.upload_time = 800000100;
    h.download_count = 3;
    h.destination = "GATEWAY";
    h.expire_time = 900000000;
    h.compression_type = 2;
    h.title = "Hello there";
    h.keywords = "TEST";
    h.user_file_name = "C:\\MAIL\\NOTE.TXT";
    h.gateway_holes = std::vector<GatewayEntry>{{"W1AW  ", 100}, {"K1XYZ ", 300}};
    h.other_items.push_back(RawItem{6, {1, 2, 3, 4}});
    const Bytes body = str("The quick brown fox");
    const auto file = build_pfh_file(h, body);

    auto p = parse_pfh(file);
    ASSERT_TRUE(p) << p.error().message;
    EXPECT_EQ(p->file_number, 0xA1B2u);
    EXPECT_EQ(p->file_name, "MSG     ");
    EXPECT_EQ(p->file_ext, "   ");
    EXPECT_EQ(p->create_time, 800000000u);
    EXPECT_EQ(p->file_type, 18);
    EXPECT_EQ(p->source, "G0ABC");
    EXPECT_EQ(p->ax25_uploader, "G0ABC ");
    EXPECT_EQ(p->upload_time, 800000100u);
    EXPECT_EQ(p->download_count, 3);
    EXPECT_EQ(p->destination, "GATEWAY");
    EXPECT_EQ(p->expire_time, 900000000u);
    EXPECT_EQ(p->compression_type, 2);
    EXPECT_EQ(p->title, "Hello there");
    EXPECT_EQ(p->keywords, "TEST");
    EXPECT_EQ(p->display_name(), "C:\\MAIL\\NOTE.TXT");
    ASSERT_TRUE(p->gateway_holes);
    ASSERT_EQ(p->gateway_holes->size(), 2u);
    EXPECT_EQ((*p->gateway_holes)[1].callsign, "K1XYZ ");
    EXPECT_EQ((*p->gateway_holes)[1].offset, 300u);
    ASSERT_EQ(p->other_items.size(), 1u);
    EXPECT_EQ(p->other_items[0].id, 6);

    EXPECT_EQ(p->file_size, file.size());
    EXPECT_EQ(p->body_offset, p->header_length);
    EXPECT_EQ(p->body_checksum, body_checksum(std::span(file).subspan(p->header_length)));
    std::uint32_t sum = 0;
    for (auto b : body) sum += b;
    EXPECT_EQ(p->body_checksum, std::uint16_t(sum));
}

TEST(PfhSniff, SizeFromAFirstFragment) {
    const auto bytes = hand_header();
    auto r = sniff_first_fragment(bytes);
    EXPECT_EQ(r.file_size, 300u);
    EXPECT_EQ(r.header_length, 50u);
}

TEST(PfhSniff, AnItemSplitAnywhereGivesTheFullSize) {
    auto bytes = hand_header();
    bytes[32] = 0x44; // size 0x4433012C: every byte matters
    bytes[31] = 0x33;
    for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
        FileSizeSniffer s;
        s.feed(std::span(bytes).first(cut));
        auto size = s.feed(std::span(bytes).subspan(cut));
        EXPECT_EQ(size, 0x4433012Cu) << cut;
        EXPECT_EQ(s.header_length(), 50u) << cut;
        EXPECT_TRUE(s.done());
    }
}

TEST(PfhSniff, NoSizeItemLeavesTheSizeUnknown) {
    const Bytes bytes = {0xAA, 0x55, 0x01, 0x00, 0x04, 1, 0, 0, 0, 0x00, 0x00, 0x00, 'b', 'o', 'd', 'y'};
    FileSizeSniffer s;
    EXPECT_FALSE(s.feed(bytes));
    EXPECT_TRUE(s.done());
    EXPECT_EQ(s.header_length(), 12u);
}

TEST(PfhSniff, OversizeEmptyAndBadFragments) {
    FileSizeSniffer s;
    EXPECT_FALSE(s.feed({}));
    Bytes big = hand_header();
    big.resize(257);
    EXPECT_FALSE(s.feed(big));
    EXPECT_EQ(s.state(), FileSizeSniffer::State::ExpectMagic);

    FileSizeSniffer bad;
    EXPECT_FALSE(bad.feed(str("not a header")));
    EXPECT_TRUE(bad.done());
}

} // namespace
} // namespace orva::pfh

#include "engine/frames/broadcast_frames.h"
#include "engine/frames/fill_planner.h"
#include "engine/frames/request_frames.h"

#include <gtest/gtest.h>

#include <deque>

namespace orva::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;

// File 0x1234, type 0, offset 0x100, "HELLO"; CRC-16/XMODEM 0x19B2 high byte first.
const Bytes kFileField = {0x02, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 'H', 'E', 'L', 'L', 'O', 0x19, 0xB2};
// The same with a length field: 5 << 3 = 0x28. CRC 0xDEF6.
const Bytes kFileFieldWithLength = {0x03, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x28,
                                    0x00, 'H',  'E',  'L',  'L',  'O',  0xDE, 0xF6};
// Directory fragment: flags 0x60 (ends header, newest), file 0x12345678, offset 0,
// t_old 100000000, t_new 100000016, data AA 55. CRC 0x252C.
const Bytes kDirField = {0x60, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0, 0x00, 0xE1, 0xF5, 0x05,
                         0x10, 0xE1, 0xF5, 0x05, 0xAA, 0x55, 0x25, 0x2C};

std::string text(std::span<const std::uint8_t> s) { return std::string(s.begin(), s.end()); }

TEST(FileBroadcast, HandLaidFieldDecodes) {
    for (const auto* field : {&kFileField, &kFileFieldWithLength}) {
        auto d = decode_file_fragment(*field, 244);
        ASSERT_TRUE(d.ok()) << int(d.fault);
        EXPECT_EQ(d.fragment.file_number, 0x1234u);
        EXPECT_EQ(d.fragment.offset, 0x100u);
        EXPECT_EQ(d.fragment.file_type, 0);
        EXPECT_EQ(text(d.fragment.data), "HELLO");
        EXPECT_FALSE(d.fragment.ends_file());
    }
}

TEST(FileBroadcast, SwappedCrcBytesAreACrcError) {
    auto swapped = kFileField;
    std::swap(swapped[14], swapped[15]);
    EXPECT_EQ(decode_file_fragment(swapped, 244).fault, BroadcastFault::BadCrc);
}

TEST(FileBroadcast, WithoutFlagsBit1ItIsStillData) {
    // Servers in service send flags 0x00 (and 0x20 on the last chunk) and file type 0.
    Bytes f(kFileField.begin(), kFileField.end() - 2);
    f[0] = 0x00;
    f[5] = 0x00;
    std::uint8_t crc[2];
    append_broadcast_crc(f, crc);
    f.insert(f.end(), crc, crc + 2);
    const auto d = decode_file_fragment(f, 244);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.fragment.file_type, 0);
    EXPECT_EQ(d.fragment.data.size(), f.size() - 11);
}

TEST(FileBroadcast, LengthFieldThatOverrunsTheFieldIsDropped) {
    // Flags 0x03 with length 0xFFF8 asks for 8191 bytes; CRC 0xCB27 is right.
    const Bytes f = {0x03, 0x34, 0x12, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0xF8, 0xFF, 'H', 'E', 'L', 'L', 'O', 0xCB, 0x27};
    EXPECT_EQ(decode_file_fragment(f, 244).fault, BroadcastFault::BadLength);
    // A fragment longer than "Bdcst Frame" is dropped too.
    EXPECT_EQ(decode_file_fragment(kFileField, 4).fault, BroadcastFault::BadLength);
    EXPECT_TRUE(decode_file_fragment(kFileField, 5).ok());
}

TEST(FileBroadcast, TinyAndHugeFieldsAreDroppedBeforeAnyArithmetic) {
    // Two zero bytes check to 0 but hold no header.
    for (std::size_t n = 0; n < 11; ++n)
        EXPECT_EQ(decode_file_fragment(Bytes(n, 0), 244).fault, BroadcastFault::TooShort) << n;
    EXPECT_EQ(decode_directory_fragment(Bytes(18, 0)).fault, BroadcastFault::TooShort);
    EXPECT_EQ(decode_file_fragment(Bytes(512, 0), 244).fault, BroadcastFault::TooLong);
    // Exactly the header and CRC: an empty fragment.
    Bytes f(kFileField.begin(), kFileField.begin() + 9);
    std::uint8_t crc[2];
    append_broadcast_crc(f, crc);
    f.insert(f.end(), crc, crc + 2);
    auto d = decode_file_fragment(f, 244);
    ASSERT_TRUE(d.ok());
    EXPECT_TRUE(d.fragment.data.empty());
}

TEST(DirectoryBroadcast, HandLaidFieldDecodes) {
    auto d = decode_directory_fragment(kDirField);
    ASSERT_TRUE(d.ok()) << int(d.fault);
    EXPECT_EQ(d.fragment.file_number, 0x12345678u);
    EXPECT_EQ(d.fragment.t_old, 100000000u);
    EXPECT_EQ(d.fragment.t_new, 100000016u);
    EXPECT_TRUE(d.fragment.ends_header());
    EXPECT_TRUE(d.fragment.newest());
    EXPECT_FALSE(d.fragment.type_error());
    EXPECT_EQ(d.fragment.data.size(), 2u);
    auto bad = kDirField;
    bad[17] ^= 0xFF;
    EXPECT_EQ(decode_directory_fragment(bad).fault, BroadcastFault::BadCrc);
}

TEST(RequestFrames, ByteLayouts) {
    EXPECT_EQ(file_request_whole(0x1A2B3C, 244), (Bytes{0x10, 0x3C, 0x2B, 0x1A, 0x00, 0xF4, 0x00}));
    const FileHoleRequest holes[] = {{0x012345, 0x00FF}, {0, 0xFFFF}};
    EXPECT_EQ(file_request_holes(0x1A2B3C, 244, holes),
              (Bytes{0x12, 0x3C, 0x2B, 0x1A, 0x00, 0xF4, 0x00, 0x45, 0x23, 0x01, 0xFF, 0x00, 0, 0, 0, 0xFF, 0xFF}));
    const DirectoryHoleRequest dir[] = {{0x01020304, 0x7FFFFFFF}};
    EXPECT_EQ(directory_request(244, dir),
              (Bytes{0x10, 0xF4, 0x00, 0x04, 0x03, 0x02, 0x01, 0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_TRUE(directory_request(244, {}).empty());
    EXPECT_EQ(receive_ack(0x1234, "G0ABCDEF"), (Bytes{0x11, 0, 0, 0x34, 0x12, 0, 0, 'G', '0', 'A', 'B', 'C', 'D'}));
    EXPECT_EQ(receive_ack(0x1234, "W1AW").size(), 11u);
}

TEST(RequestFrames, HoleCountsAreCappedToWhatFits) {
    std::vector<FileHoleRequest> many(500, FileHoleRequest{10, 10});
    const auto f = file_request_holes(1, 244, many);
    EXPECT_EQ(f.size(), 7 + 5 * kMaxFileHolesPerRequest);
    EXPECT_LE(f.size() + 16, 350u); // with addresses, control and PID
    std::vector<DirectoryHoleRequest> dirs(30);
    EXPECT_EQ(directory_request(244, dirs).size(), 3 + 8 * 10u);
}

struct Scripted : RandomSource {
    std::deque<std::uint32_t> values;
    std::uint32_t below(std::uint32_t n) override {
        if (values.empty()) return n - 1;
        auto v = values.front();
        values.pop_front();
        return v % n;
    }
};

TEST(FillPlanner, WholeFileAndForwardWalk) {
    Scripted r;
    const FileHole fresh[] = {{0, kOpenEnd}};
    EXPECT_TRUE(wants_whole_file(fresh));
    const FileHole holes[] = {{100, 200}, {300, 70000 + 300}, {80000, kOpenEnd}};
    EXPECT_FALSE(wants_whole_file(holes));
    r.values = {1, 1}; // long holes: from their start
    auto plan = plan_file_fill(holes, FillOptions{.max_holes = 10}, r);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[0].offset, 100u);
    EXPECT_EQ(plan[0].length, 100);
    EXPECT_EQ(plan[1].offset, 300u);
    EXPECT_EQ(plan[1].length, 0xFFFF);
    EXPECT_EQ(plan[2].offset, 80000u);
    EXPECT_EQ(plan[2].length, 0xFFFF);
    r.values = {0}; // the tail of the long hole instead
    plan = plan_file_fill(holes, FillOptions{.max_holes = 2}, r);
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[1].offset, 70300u - 0xFFFF);
}

TEST(FillPlanner, LimitsBudgetAndBackwardWalk) {
    Scripted r;
    std::vector<FileHole> holes;
    for (std::uint32_t i = 0; i < 300; ++i) holes.push_back({i * 1000, i * 1000 + 100});
    EXPECT_TRUE(plan_file_fill(holes, FillOptions{.max_holes = 0}, r).empty());
    // "Max Holes" without an upper limit: capped at what one frame holds.
    EXPECT_EQ(plan_file_fill(holes, FillOptions{.max_holes = 1000, .zero_start = true}, r).size(),
              kMaxFileHolesPerRequest);
    // More holes than allowed and the length known: backward from the last (draw 1 of 3), no jump.
    r.values = {1, 1};
    auto plan = plan_file_fill(holes, FillOptions{.max_holes = 3, .length_known = true}, r);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[0].offset, 299000u);
    EXPECT_EQ(plan[2].offset, 297000u);
    // A byte budget shortens the last hole and stops.
    plan = plan_file_fill(holes, FillOptions{.max_holes = 10, .zero_start = true, .byte_budget = 250}, r);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan[2].length, 50);
}

} // namespace
} // namespace orva::engine

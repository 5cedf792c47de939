// Bitmap files: the older 12-byte core header and bare DIBs become ordinary 40-byte files; what the
// writer produces is laid out as the format says.
#include <gtest/gtest.h>

#include "ccdview/dib_file.h"

using namespace orva::ccdview;

namespace {

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// A 3 x 2 8-bit image with a core header and three 3-byte palette entries (no file header).
std::vector<std::uint8_t> core_dib()
{
    std::vector<std::uint8_t> b = {12, 0, 0, 0, 3, 0, 2, 0, 1, 0, 8, 0};
    // 256 entries are implied by 8 bits; give them, blue-green-red.
    for (int i = 0; i < 256; ++i) {
        b.push_back(std::uint8_t(i));
        b.push_back(std::uint8_t(255 - i));
        b.push_back(7);
    }
    // Rows bottom-up, each padded to 4 bytes.
    for (std::uint8_t v : {1, 2, 3, 0, 4, 5, 6, 0})
        b.push_back(v);
    return b;
}

} // namespace

TEST(DibFile, CoreHeaderBecomesAFortyByteHeaderWithWidenedPalette)
{
    DibInfo info;
    auto file = normalise_dib(core_dib(), &info);
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.bit_count, 8);
    EXPECT_EQ(info.palette_entries, 256);
    const auto& f = *file;
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(u32(f, 2), f.size());
    EXPECT_EQ(u32(f, 10), 14u + 40 + 1024);
    EXPECT_EQ(u32(f, 14), 40u);
    EXPECT_EQ(u32(f, 18), 3u);
    EXPECT_EQ(u32(f, 22), 2u);
    EXPECT_EQ(u32(f, 34), 8u); // image size computed
    // Entry 5 widened to 4 bytes.
    EXPECT_EQ(f[54 + 5 * 4], 5);
    EXPECT_EQ(f[54 + 5 * 4 + 1], 250);
    EXPECT_EQ(f[54 + 5 * 4 + 2], 7);
    EXPECT_EQ(f[54 + 5 * 4 + 3], 0);
    EXPECT_EQ(f[u32(f, 10) + 4], 4);

    // The same DIB behind a file header reads the same.
    std::vector<std::uint8_t> with_header = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    auto core = core_dib();
    with_header.insert(with_header.end(), core.begin(), core.end());
    auto again = normalise_dib(with_header);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(*again, f);
}

TEST(DibFile, BrokenHeadersAreRefused)
{
    auto core = core_dib();
    auto bad = [](std::vector<std::uint8_t> b) { return !normalise_dib(b).ok(); };
    EXPECT_TRUE(bad({}));
    EXPECT_TRUE(bad({'B', 'M', 1, 2}));
    auto b = core;
    b[0] = 20; // no such header size
    EXPECT_TRUE(bad(b));
    b = core;
    b[10] = 7; // no such bit count
    EXPECT_TRUE(bad(b));
    b = core;
    b[8] = 2; // two planes
    EXPECT_TRUE(bad(b));
    b = core;
    b.resize(b.size() - 1); // pixels cut short
    EXPECT_TRUE(bad(b));
    b = core;
    b.resize(12 + 100); // palette cut short
    EXPECT_TRUE(bad(b));
}

TEST(DibFile, WriterLayouts)
{
    std::vector<PaletteEntry> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
    std::vector<std::uint8_t> px = {9, 9, 9, 1, 2, 3}; // 3 x 2, top row first

    auto rgb = encode_dib(3, 2, 8, palette, px, DibCompression::Rgb);
    ASSERT_EQ(rgb.size(), 14u + 40 + 1024 + 8);
    EXPECT_EQ(u32(rgb, 14), 40u);
    EXPECT_EQ(u32(rgb, 30), 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(rgb.end() - 8, rgb.end()), (std::vector<std::uint8_t>{1, 2, 3, 0, 9, 9, 9, 0}));
    ASSERT_TRUE(normalise_dib(rgb).ok());

    auto rle8 = encode_dib(3, 2, 8, palette, px, DibCompression::Rle8);
    EXPECT_EQ(u32(rle8, 30), 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(rle8.begin() + 14 + 40 + 1024, rle8.end()),
              (std::vector<std::uint8_t>{1, 1, 1, 2, 1, 3, 0, 0, 3, 9, 0, 1}));
    EXPECT_EQ(u32(rle8, 34), 12u);

    std::vector<std::uint8_t> px4 = {5, 5, 5, 5, 1, 2, 2, 2};
    auto rle4 = encode_dib(4, 2, 4, palette, px4, DibCompression::Rle4);
    EXPECT_EQ(u32(rle4, 30), 2u);
    EXPECT_EQ(u32(rle4, 46), 16u);
    EXPECT_EQ(std::vector<std::uint8_t>(rle4.begin() + 14 + 40 + 64, rle4.end()),
              (std::vector<std::uint8_t>{1, 0x11, 3, 0x22, 0, 0, 4, 0x55, 0, 1}));

    std::vector<std::uint8_t> mono = {1, 0, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    auto one = encode_dib(9, 2, 1, palette, mono, DibCompression::Rgb);
    EXPECT_EQ(u32(one, 46), 2u);
    // Bottom row first (1 then eight 0), padded to 4 bytes; then the top row 101000001.
    EXPECT_EQ(std::vector<std::uint8_t>(one.end() - 8, one.end()),
              (std::vector<std::uint8_t>{0x80, 0x00, 0, 0, 0xA0, 0x80, 0, 0}));

    std::vector<std::uint8_t> rgb24 = {255, 0, 0, 0, 255, 0};
    auto full = encode_dib(2, 1, 24, palette, rgb24, DibCompression::Rle8);
    EXPECT_EQ(u32(full, 30), 0u); // no run-length coding at 24 bits
    EXPECT_EQ(u32(full, 46), 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(full.end() - 8, full.end()),
              (std::vector<std::uint8_t>{0, 0, 255, 0, 255, 0, 0, 0}));
}

// The block coder: what Encode writes, what Decode rebuilds, and short or missing detail files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "ccdview/block_coder.h"

namespace fs = std::filesystem;
using namespace orva::ccdview;

namespace {

constexpr int kWidth = 1008, kHeight = 16; // 252 x 4 blocks

// Pixel of the picture as shown (top row first) in a bottom-up bitmap.
std::uint8_t& at(Bitmap& bm, int top_row, int x) { return bm.row(bm.height - 1 - top_row)[x]; }

struct Sample {
    Bitmap bm;
    enum Kind { Flat, Texture, Edge, Noise };
    std::vector<Kind> kinds;
};

// Block k: flat, two-level with a small spread, two-level with a large spread, or noise.
Sample make_sample()
{
    Sample s;
    s.bm.width = kWidth;
    s.bm.height = kHeight;
    s.bm.pixels.assign(std::size_t(kWidth * kHeight), 0);
    std::mt19937 rng(11);
    for (int k = 0; k < 252 * 4; ++k) {
        int by = k / 252, bx = k % 252;
        auto kind = Sample::Kind(k % 4);
        s.kinds.push_back(kind);
        int m = 40 + int(rng() % 150);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                int v = m;
                // A checker of two levels around m: each quadrant holds two of each.
                bool high = (r + c) % 2 == 0;
                if (kind == Sample::Texture)
                    v = high ? m + 6 : m - 6;
                else if (kind == Sample::Edge)
                    v = high ? m + 30 : m - 30;
                else if (kind == Sample::Noise)
                    v = int(rng() % 256);
                at(s.bm, by * 4 + r, bx * 4 + c) = std::uint8_t(v);
            }
    }
    return s;
}

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() / ("ccdcoder-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(std::random_device{}()));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

std::vector<std::uint8_t> read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(BlockCoder, EncodeThenDecodeKeepsMeansFlatAndTwoLevelBlocks)
{
    Sample s = make_sample();
    EncodedImage enc = encode_blocks(s.bm);
    ASSERT_EQ(enc.thumb.size(), 252u * 4);
    EXPECT_EQ(enc.thumb_width, 252);
    EXPECT_EQ(enc.thumb_height, 4);

    auto decoded = decode_blocks(enc.thumb, enc.nail);
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    ASSERT_EQ(decoded->size(), enc.thumb.size() * 16);

    for (int k = 0; k < 252 * 4; ++k) {
        int by = k / 252, bx = k % 252;
        int sum = 0, dsum = 0;
        bool same = true;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                int v = at(s.bm, by * 4 + r, bx * 4 + c);
                int d = (*decoded)[std::size_t((by * 4 + r) * kWidth + bx * 4 + c)];
                sum += v;
                dsum += d;
                same = same && v == d;
            }
        ASSERT_EQ(enc.thumb[std::size_t(k)], sum / 16) << "thumbnail holds the block mean, block " << k;
        if (s.kinds[std::size_t(k)] != Sample::Noise) {
            ASSERT_TRUE(same) << "block " << k << " kind " << s.kinds[std::size_t(k)];
            ASSERT_EQ(dsum / 16, sum / 16);
        }
    }
}

TEST(BlockCoder, ClassArrayAndDetailLayout)
{
    Bitmap bm;
    bm.width = 16;
    bm.height = 4;
    bm.pixels.assign(64, 100);
    // Block 1: top row brighter by 8 (a small spread); block 2: checker of +-30 (large spread).
    for (int c = 4; c < 8; ++c)
        at(bm, 0, c) = 108;
    for (int r = 0; r < 4; ++r)
        for (int c = 8; c < 12; ++c)
            at(bm, r, c) = std::uint8_t((r + c) % 2 == 0 ? 130 : 70);
    EncodedImage enc = encode_blocks(bm);
    ASSERT_EQ(enc.thumb, (std::vector<std::uint8_t>{100, 102, 100, 100}));
    // Classes 0, 3, 2, 0 in bit pairs from the lowest.
    ASSERT_GE(enc.nail.size(), 1u + 3 + 9);
    EXPECT_EQ(enc.nail[0], 0x2C);
    // Class 3: sigma = sqrt((16*(4*108^2+12*100^2) - 1632^2)/256) = 3.46 -> 3; A has the top row set.
    EXPECT_EQ(enc.nail[1], 3);
    EXPECT_EQ(enc.nail[2], 0x0F);
    EXPECT_EQ(enc.nail[3], 0x00);
    // Class 2: means of quadrants 2, 3, 4, then four deviations, then the two halves in row order.
    EXPECT_EQ(enc.nail[4], 100);
    EXPECT_EQ(enc.nail[5], 100);
    EXPECT_EQ(enc.nail[6], 100);
    for (int i = 7; i < 11; ++i)
        EXPECT_EQ(enc.nail[std::size_t(i)], 30);
    // Rows 0 and 2 are 1010, rows 1 and 3 0101 (column 8 first).
    EXPECT_EQ(enc.nail[11], 0xA5);
    EXPECT_EQ(enc.nail[12], 0xA5);
    EXPECT_EQ(enc.nail.size(), 13u);
}

TEST(BlockCoder, ShortDetailFileIsAnErrorNotAnOverread)
{
    Sample s = make_sample();
    EncodedImage enc = encode_blocks(s.bm);
    for (std::size_t keep : {std::size_t(0), std::size_t(10), enc.thumb.size() / 4, enc.nail.size() - 1}) {
        // A copy of exactly the shortened length, so a read past it is caught by the sanitizers.
        std::vector<std::uint8_t> nail(enc.nail.begin(), enc.nail.begin() + std::ptrdiff_t(keep));
        auto r = decode_blocks(enc.thumb, nail);
        ASSERT_FALSE(r.ok()) << keep;
        EXPECT_NE(r.error().message.find("Nail.Ccd"), std::string::npos);
    }
    EXPECT_TRUE(decode_blocks(enc.thumb, enc.nail).ok());
}

TEST(BlockCoder, FilesInTheFolder)
{
    TempDir dir;
    Sample s = make_sample();
    Bitmap shown = s.bm;
    ASSERT_TRUE(encode_to_folder(shown, dir.path).ok());
    EncodedImage enc = encode_blocks(s.bm);
    EXPECT_EQ(read(dir.path / "Thumb.Ccd"), enc.thumb);
    EXPECT_EQ(read(dir.path / "Nail.Ccd"), enc.nail);
    // The image on show becomes the thumbnail, the right way up.
    EXPECT_EQ(shown.width, 252);
    EXPECT_EQ(shown.height, 4);
    EXPECT_EQ(shown.row(3)[0], enc.thumb[0]);
    EXPECT_EQ(shown.row(0)[251], enc.thumb.back());

    ASSERT_TRUE(decode_in_folder(dir.path).ok());
    auto drume = read(dir.path / "Drume.Ccd");
    EXPECT_EQ(drume, *decode_blocks(enc.thumb, enc.nail));

    // Decode again replaces the output; a missing thumbnail is reported with its path.
    fs::remove(dir.path / "Thumb.Ccd");
    auto missing = decode_in_folder(dir.path);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message, "Can't open file " + (dir.path / "Thumb.ccd").string());

    // Nowhere to write: the path is named.
    Bitmap again = s.bm;
    auto refused = encode_to_folder(again, dir.path / "no-such-folder");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message, "Can't open file " + (dir.path / "no-such-folder" / "Thumb.Ccd").string());
    EXPECT_EQ(again.width, kWidth);
}

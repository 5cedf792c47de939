// CCD decoding on image files the tests make: families, sizes, row placement, clean-up, exposure
// and rotation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "ccdview/ccd_image.h"

namespace fs = std::filesystem;
using namespace orva::ccdview;

namespace {

// A file of `size` bytes: the header block, then pixels given by row and column of the file.
std::vector<std::uint8_t> make_file(std::size_t size, int header, int width,
                                    const std::function<std::uint8_t(int, int)>& pixel)
{
    std::vector<std::uint8_t> bytes(size, 0);
    for (std::size_t i = std::size_t(header); i < size; ++i) {
        std::size_t k = i - std::size_t(header);
        bytes[i] = pixel(int(k / std::size_t(width)), int(k % std::size_t(width)));
    }
    return bytes;
}

std::vector<std::uint8_t> flat(std::size_t size, std::uint8_t v)
{
    std::vector<std::uint8_t> b(size, v);
    std::fill_n(b.begin(), 256, 0);
    return b;
}

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() / ("ccdview-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(std::random_device{}()));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

void write(const fs::path& p, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace

TEST(CcdFamily, NamesChooseLayoutAndOverrides)
{
    struct Case { const char* name; int w, h, header, gap; bool interlaced; } cases[] = {
        {"KBIW0001.CCD", 511, 502, 256, 0, true},   {"U5123456.CCD", 611, 576, 256, 355, true},
        {"KA000123.CCD", 611, 576, 256, 355, true}, {"KBIN0001.CCD", 611, 576, 256, 355, true},
        {"IM000001.CCD", 611, 576, 256, 355, false}, {"OTHER.CCD", 1020, 1024, 0, 0, false},
        {"KATHUMB.CCD", 252, 256, 0, 0, false},     {"DRUME.CCD", 1008, 1024, 0, 0, false},
        {"KBIWDRUME.CCD", 1008, 1024, 0, 0, false},
    };
    for (const auto& c : cases) {
        CcdLayout l = layout_for_name(upper_name(c.name));
        EXPECT_EQ(l.width, c.w) << c.name;
        EXPECT_EQ(l.height, c.h) << c.name;
        EXPECT_EQ(l.header_bytes, c.header) << c.name;
        EXPECT_EQ(l.gap_bytes, c.gap) << c.name;
        EXPECT_EQ(l.interlaced, c.interlaced) << c.name;
    }
    // Lower-case names are recognised the same way.
    EXPECT_EQ(layout_for_name(upper_name("kbiw.ccd")).width, 511);

    // Shown sizes: width up to a multiple of 4, height down to one.
    auto wide = decode_ccd("KBIW0001.CCD", flat(kWideFileSize, 90));
    ASSERT_TRUE(wide.ok());
    EXPECT_EQ(wide->bitmap.width, 512);
    EXPECT_EQ(wide->bitmap.height, 500);
    auto large = decode_ccd("OTHER.CCD", flat(kNarrowFileSize, 90));
    ASSERT_TRUE(large.ok());
    EXPECT_EQ(large->bitmap.width, 1020);
    EXPECT_EQ(large->bitmap.height, 1024);
    // The large frame needs more bytes than the file holds: the rows it does not reach stay black.
    EXPECT_EQ(large->bitmap.row(0)[5], 0);
    EXPECT_EQ(large->bitmap.row(1023)[500], 90);
}

TEST(CcdFamily, OtherSizesAndNamesAreRefusedWithTheirTexts)
{
    for (std::size_t size : {std::size_t(0), std::size_t(256), kNarrowFileSize - 1, kNarrowFileSize + 1, kWideFileSize + 1}) {
        auto r = decode_ccd("U5000001.CCD", std::vector<std::uint8_t>(size, 7));
        ASSERT_FALSE(r.ok()) << size;
        EXPECT_EQ(r.error().message, "This file is corrupted. Load aborted");
        EXPECT_STREQ(caption_text(r.error().code), "Filesize Error");
    }
    auto bmp = choose_ccd_file("/tmp/picture.bmp");
    ASSERT_FALSE(bmp.ok());
    EXPECT_EQ(bmp.error().message, "This is a BMP file, Use Open Bmp");
    EXPECT_STREQ(caption_text(bmp.error().code), "File Error");
    auto other = choose_ccd_file("/tmp/notes.txt");
    ASSERT_FALSE(other.ok());
    EXPECT_EQ(other.error().message, "Unsupported File type");
    EXPECT_STREQ(caption_text(other.error().code), "CCD Error");
    // The folder's name does not count, only the file's.
    EXPECT_FALSE(choose_ccd_file("/home/op/IMAGES.CCD/notes.txt").ok());

    TempDir dir;
    auto missing = load_ccd(dir.path / "U5000009.CCD");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().message, "Can't open file " + (dir.path / "U5000009.CCD").string());
    write(dir.path / "KA000002.CCD", std::vector<std::uint8_t>(1000, 1));
    auto short_file = load_ccd(dir.path / "KA000002.CCD");
    ASSERT_FALSE(short_file.ok());
    EXPECT_EQ(short_file.error().message, "This file is corrupted. Load aborted");
}

TEST(CcdFamily, FamilyNameWithoutExtensionLoadsInPlaceWithoutACopy)
{
    TempDir dir;
    write(dir.path / "u5123456", flat(kNarrowFileSize, 60));
    // A file already called like the copy would have been must survive untouched.
    write(dir.path / "u5123456.CCD", {1, 2, 3});
    auto image = load_ccd(dir.path / "u5123456");
    ASSERT_TRUE(image.ok()) << image.error().message;
    EXPECT_EQ(image->name, "u5123456");
    EXPECT_EQ(image->bitmap.width, 612);
    EXPECT_EQ(fs::file_size(dir.path / "u5123456.CCD"), 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

TEST(CcdRows, KaFileIsInterlacedAroundTheGapBlock)
{
    // Each file row carries its own number, so every bitmap row tells where it came from.
    auto bytes = make_file(kNarrowFileSize, 256, 611, [](int, int) { return std::uint8_t(0); });
    std::vector<std::uint8_t> pixels(bytes.begin() + 256, bytes.end());
    const int W = 611, H = 576, gap = 355;
    for (int y = 0; y < H; ++y) {
        std::size_t start = y < H / 2 ? std::size_t(y) * W : std::size_t(y - 1) * W + gap;
        if (y == H / 2)
            continue;
        for (int x = 0; x < W; ++x)
            pixels[start + std::size_t(x)] = std::uint8_t(y % 250 + 1);
    }
    // The gap block is not shown anywhere.
    std::fill_n(pixels.begin() + std::ptrdiff_t(H / 2) * W, gap, std::uint8_t(255));

    Bitmap bm;
    bm.width = 612;
    bm.height = 576;
    bm.pixels.assign(612 * 576, 0);
    place_rows(bm, layout_for_name("KA000001.CCD"), pixels);
    for (int y = 0; y < H / 2; ++y)
        ASSERT_EQ(bm.row(2 * (H - 1 - y - H / 2))[10], y % 250 + 1) << "even line from file row " << y;
    for (int y = H / 2 + 1; y < H; ++y)
        ASSERT_EQ(bm.row(2 * (H - 1 - y) + 1)[10], y % 250 + 1) << "odd line from file row " << y;
    EXPECT_EQ(bm.row(H - 1)[10], 0); // the top odd line has no source
    for (int r = 0; r < H; ++r) {
        ASSERT_EQ(bm.row(r)[611], 0) << "padding column, row " << r;
        for (int x = 0; x < 611; ++x)
            ASSERT_NE(bm.row(r)[x], 255) << r;
    }

    // The whole load: shown 612 x 576, then moved 30 bytes towards the start for Kitsat 1.
    bytes.assign(256, 0);
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    auto image = decode_ccd("KA000001.CCD", bytes);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image->bitmap.width, 612);
    EXPECT_EQ(image->bitmap.height, 576);
    EXPECT_EQ(image->raw.size(), kNarrowFileSize - 256);
}

TEST(CcdRows, ThumbNameReadsTheFirst256BytesAsPixels)
{
    auto bytes = make_file(kNarrowFileSize, 0, 252, [](int y, int x) { return std::uint8_t(100 + (x + y) % 7); });
    bytes[4] = 0x12; // would be the capture time if this were a header
    auto image = decode_ccd("KITTHUMB.CCD", bytes);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image->bitmap.width, 252);
    EXPECT_EQ(image->bitmap.height, 256);
    for (int x = 0; x < 252; ++x)
        ASSERT_EQ(image->bitmap.row(255)[x], bytes[std::size_t(x)]) << x;
    for (auto b : image->header_block)
        ASSERT_EQ(b, 0);
    EXPECT_EQ(image->raw.size(), kNarrowFileSize);
}

TEST(CcdCleanup, SpikeFilterReplacesLoneSpikesOnly)
{
    Bitmap bm;
    bm.width = 8;
    bm.height = 1;
    bm.pixels = {50, 50, 90, 50, 50, 60, 80, 80};
    spike_filter(bm);
    // The lone spike goes; a step up that keeps climbing (60 between 50 and 80) stays.
    EXPECT_EQ(bm.pixels, (std::vector<std::uint8_t>{50, 50, 50, 50, 50, 60, 80, 80}));

    // Only "U5" names are filtered.
    auto with_spike = flat(kNarrowFileSize, 80);
    with_spike[256 + 611 * 10 + 300] = 200;
    auto ka = decode_ccd("KA000003.CCD", with_spike);
    auto u5 = decode_ccd("U5000003.CCD", with_spike);
    ASSERT_TRUE(ka.ok() && u5.ok());
    auto count = [](const Bitmap& b) { return std::count(b.pixels.begin(), b.pixels.end(), std::uint8_t(200)); };
    EXPECT_EQ(count(ka->bitmap), 1);
    EXPECT_EQ(count(u5->bitmap), 0);
}

TEST(CcdCleanup, NoSeamIsLookedForInTheFirst21AndLast20Rows)
{
    auto seam_for_step_at = [](int step_row) {
        Bitmap bm;
        bm.width = 612;
        bm.height = 576;
        bm.pixels.assign(612 * 576, 60);
        for (int r = step_row; r < 576; ++r)
            std::fill_n(bm.row(r), 612, std::uint8_t(110));
        return row_sums(bm, 24576).seam;
    };
    EXPECT_EQ(seam_for_step_at(20), -1);
    EXPECT_EQ(seam_for_step_at(21), 21);
    EXPECT_EQ(seam_for_step_at(555), 555);
    EXPECT_EQ(seam_for_step_at(556), -1);

    // The threshold: Kitsat names use 4096.
    Bitmap bm;
    bm.width = 612;
    bm.height = 576;
    bm.pixels.assign(612 * 576, 60);
    for (int r = 100; r < 576; ++r)
        std::fill_n(bm.row(r), 612, std::uint8_t(70)); // 6120 a row
    EXPECT_EQ(row_sums(bm, 24576).seam, -1);
    EXPECT_EQ(row_sums(bm, 4096).seam, 100);
}

TEST(CcdCleanup, SeamAtAKnownRowIsFoundLevelledAndBlended)
{
    // Bitmap rows 200 and up (file rows 0..375) are 45 brighter: a field seam at row 200.
    auto bytes = make_file(kNarrowFileSize, 256, 611, [](int y, int) { return std::uint8_t(y <= 375 ? 145 : 100); });
    auto image = decode_ccd("IM000004.CCD", bytes);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image->seam, 200);
    EXPECT_EQ(image->mean, 129);
    // M2 = 144, D = 15 x 200 / 576 = 5: the bright part comes down by 5.
    const Bitmap& bm = image->bitmap;
    for (int r : {210, 300, 575})
        EXPECT_EQ(bm.row(r)[100], 140) << r;
    for (int r : {0, 100, 190})
        EXPECT_EQ(bm.row(r)[100], 100) << r;
    // The four seam rows ramp from the row before to the row four after.
    EXPECT_EQ(bm.row(200)[100], 108);
    EXPECT_EQ(bm.row(201)[100], 116);
    EXPECT_EQ(bm.row(202)[100], 124);
    EXPECT_EQ(bm.row(203)[100], 132);
    // Mean 129: the palette moves up by 2.
    EXPECT_EQ(bm.palette[2].red, 0);
    EXPECT_EQ(bm.palette[3].red, 1);
}

TEST(CcdCleanup, BlendClampsAtTheEnds)
{
    Bitmap bm;
    bm.width = 4;
    bm.height = 10;
    bm.pixels.assign(40, 0);
    std::fill_n(bm.row(2), 4, std::uint8_t(0));
    std::fill_n(bm.row(7), 4, std::uint8_t(255)); // e = 51: 51, 102, 153, 204
    blend_seam(bm, 3);
    EXPECT_EQ(bm.row(3)[0], 51);
    EXPECT_EQ(bm.row(6)[0], 204);
    std::fill_n(bm.row(2), 4, std::uint8_t(250));
    std::fill_n(bm.row(7), 4, std::uint8_t(255)); // e = 1: 251 (kept), 252, 253, 254 > 250 -> 255
    blend_seam(bm, 3);
    EXPECT_EQ(bm.row(3)[0], 251);
    EXPECT_EQ(bm.row(6)[0], 255);
    std::fill_n(bm.row(2), 4, std::uint8_t(7));
    std::fill_n(bm.row(7), 4, std::uint8_t(0)); // e = 1: 6, 5, 4, 3 -> the last is at most 4: 0
    blend_seam(bm, 3);
    EXPECT_EQ(bm.row(3)[0], 6);
    EXPECT_EQ(bm.row(6)[0], 0);
}

TEST(CcdCleanup, StartShiftForUoSatAndKitsatNarrowOnly)
{
    auto bytes = make_file(kNarrowFileSize, 256, 611, [](int, int x) { return std::uint8_t(x % 200); });
    auto kbin = decode_ccd("KBIN0005.CCD", bytes);
    auto im = decode_ccd("IM000005.CCD", bytes);
    ASSERT_TRUE(kbin.ok() && im.ok());
    EXPECT_EQ(im->bitmap.pixels[0], 0);
    EXPECT_EQ(kbin->bitmap.pixels[0], 30);
    Bitmap placed;
    placed.width = 612;
    placed.height = 576;
    placed.pixels.assign(612 * 576, 0);
    place_rows(placed, layout_for_name("KBIN0005.CCD"), std::span(bytes).subspan(256));
    EXPECT_TRUE(std::equal(placed.pixels.begin() + 30, placed.pixels.end(), kbin->bitmap.pixels.begin()));
    EXPECT_TRUE(std::all_of(kbin->bitmap.pixels.end() - 30, kbin->bitmap.pixels.end(), [](auto v) { return v == 0; }));
}

TEST(CcdExposure, Mean140MovesThePaletteUpBy13AndOriginalEnhancedSwitch)
{
    auto image = decode_ccd("THUMB.CCD", std::vector<std::uint8_t>(kNarrowFileSize, 140));
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image->mean, 140);
    EXPECT_TRUE(image->normalised);
    const Palette loaded = image->bitmap.palette;
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(loaded[std::size_t(i)].green, 0) << i;
    EXPECT_EQ(loaded[13].green, 0);
    EXPECT_EQ(loaded[14].green, 1);
    EXPECT_EQ(loaded[255].green, 242);
    // The pixels keep their values: exposure is the palette only.
    EXPECT_EQ(image->bitmap.pixels[1000], 140);

    set_exposure(*image, ExposureCommand::Original);
    EXPECT_EQ(image->bitmap.palette, grey_palette());
    set_exposure(*image, ExposureCommand::Enhanced);
    EXPECT_EQ(image->bitmap.palette, loaded);

    // A dark image is lightened at load.
    auto dark = decode_ccd("THUMB.CCD", std::vector<std::uint8_t>(kNarrowFileSize, 100));
    ASSERT_TRUE(dark.ok());
    EXPECT_EQ(dark->bitmap.palette[0].blue, 27);
    EXPECT_EQ(dark->bitmap.palette[228].blue, 255);
    EXPECT_EQ(dark->bitmap.palette[255].blue, 255);
}

TEST(CcdExposure, LightenStopsAt127AndDarkenAt0)
{
    auto image = decode_ccd("THUMB.CCD", std::vector<std::uint8_t>(kNarrowFileSize, 127));
    ASSERT_TRUE(image.ok());
    EXPECT_FALSE(image->normalised);
    set_exposure(*image, ExposureCommand::Original);
    for (int i = 1; i <= 15; ++i) {
        set_exposure(*image, ExposureCommand::Lighten);
        ASSERT_EQ(image->shift, 8 * i);
    }
    set_exposure(*image, ExposureCommand::Lighten);
    EXPECT_EQ(image->shift, 127);
    set_exposure(*image, ExposureCommand::Lighten);
    EXPECT_EQ(image->shift, 127);
    EXPECT_EQ(image->bitmap.palette[0].red, 127);
    EXPECT_EQ(image->bitmap.palette[128].red, 255);
    for (int i = 0; i < 15; ++i)
        set_exposure(*image, ExposureCommand::Darken);
    EXPECT_EQ(image->shift, 7);
    set_exposure(*image, ExposureCommand::Darken);
    EXPECT_EQ(image->shift, 0);
    EXPECT_EQ(image->bitmap.palette, grey_palette());
}

TEST(CcdRotate, BothWaysAndBack)
{
    Bitmap bm;
    bm.width = 8;
    bm.height = 12;
    std::mt19937 rng(5);
    for (int i = 0; i < 96; ++i)
        bm.pixels.push_back(std::uint8_t(rng()));
    const Bitmap original = bm;

    rotate(bm, true);
    EXPECT_EQ(bm.width, 12);
    EXPECT_EQ(bm.height, 8);
    // New row k holds old column W-1-k, from the first stored row up.
    EXPECT_EQ(bm.row(0)[0], original.row(0)[7]);
    EXPECT_EQ(bm.row(0)[11], original.row(11)[7]);
    EXPECT_EQ(bm.row(7)[3], original.row(3)[0]);
    rotate(bm, false);
    EXPECT_EQ(bm.pixels, original.pixels);
    EXPECT_EQ(bm.width, 8);

    rotate(bm, false);
    // New row k holds old column k, from the last stored row down.
    EXPECT_EQ(bm.row(2)[0], original.row(11)[2]);
    rotate(bm, true);
    EXPECT_EQ(bm.pixels, original.pixels);

    for (int i = 0; i < 4; ++i)
        rotate(bm, true);
    EXPECT_EQ(bm.pixels, original.pixels);
    rotate(bm, true);
    EXPECT_NE(bm.pixels, original.pixels);
}

// A CCD camera image as the viewer holds it: an 8-bit bottom-up bitmap with a grey palette, the
// file's 256-byte header block, and the exposure state. Decoding is pure: bytes in, image out.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace orva::ccdview {

// One palette entry in the bitmap's own byte order.
struct PaletteEntry {
    std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
    bool operator==(const PaletteEntry&) const = default;
};
using Palette = std::array<PaletteEntry, 256>;

// An 8-bit bitmap: rows stored bottom-up, each `width` bytes (a multiple of 4 for CCD images).
struct Bitmap {
    int width = 0;
    int height = 0;
    Palette palette{};
    std::vector<std::uint8_t> pixels;

    std::uint8_t* row(int r) { return pixels.data() + std::size_t(r) * std::size_t(width); }
    const std::uint8_t* row(int r) const { return pixels.data() + std::size_t(r) * std::size_t(width); }
};

Palette grey_palette();

// How a file of a given name is laid out.
struct CcdLayout {
    int width = 0;
    int height = 0;
    int header_bytes = 0;
    int gap_bytes = 0;
    bool interlaced = false;
};

inline constexpr std::size_t kNarrowFileSize = 352192; // 256 + 611 x 576
inline constexpr std::size_t kWideFileSize = 256778;   // 256 + 511 x 502
inline constexpr std::size_t kHeaderBlockSize = 256;

// Message-box captions the failures carry in Error::code.
enum Caption : int { CaptionPixora = 0, CaptionFileError, CaptionCcdError, CaptionFilesizeError, CaptionMemory };
const char* caption_text(int code);

std::string upper_name(std::string_view name);
// Family by the upper-cased file name, then the THUMB and DRUME overrides.
CcdLayout layout_for_name(std::string_view upper);

// The file to load for a chosen path, or the refusal. A name of an image family without ".CCD"
// is loaded where it is: nothing is written beside the operator's file.
Result<std::filesystem::path> choose_ccd_file(const std::filesystem::path& chosen);

enum class ExposureCommand { Original, Enhanced, Lighten, Darken };

struct CcdImage {
    std::string name; // file name as shown in the title
    Bitmap bitmap;
    std::array<std::uint8_t, kHeaderBlockSize> header_block{};
    std::vector<std::uint8_t> raw;              // pixel bytes as read
    std::array<PaletteEntry, 512> reference{}; // 128 black, the grey ramp, 128 white
    int mean = 0;          // mean brightness at load
    int seam = -1;         // bitmap row of the field seam, -1 when none was found
    int shift = 0;         // exposure shift, 0..127
    bool lighten = false;  // direction of the shift
    bool normalised = false;
};

// Decodes a file's bytes; `file_name` decides the family. Failures carry the fixed texts.
Result<CcdImage> decode_ccd(std::string_view file_name, std::span<const std::uint8_t> bytes);
// Reads and decodes a file chosen by the operator (choose_ccd_file, then decode_ccd).
Result<CcdImage> load_ccd(const std::filesystem::path& chosen);

// The clean-up steps, each in place on the bitmap's pixel area; exposed for the tests.
void place_rows(Bitmap& bitmap, const CcdLayout& layout, std::span<const std::uint8_t> pixel_bytes);
void spike_filter(Bitmap& bitmap);
struct RowSums {
    int seam = -1;
    std::uint64_t first_total = 0;
    std::uint64_t second_total = 0;
};
RowSums row_sums(const Bitmap& bitmap, std::uint64_t threshold);
// Moves the palette so that the mean shows as mid grey; returns the move (entries).
int normalise_palette(Bitmap& bitmap, int mean);
void correct_seam(Bitmap& bitmap, int seam, int mean, int second_mean);
void blend_seam(Bitmap& bitmap, int s);
void start_shift(Bitmap& bitmap);

// Display only: rebuilds the palette from the reference ramp; the pixels do not change.
void set_exposure(CcdImage& image, ExposureCommand command);
void apply_shift(CcdImage& image);

// A quarter turn; width and height exchange. Clockwise then anticlockwise gives the original.
void rotate(Bitmap& bitmap, bool clockwise);

} // namespace orva::ccdview

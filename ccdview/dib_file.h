// Device-independent bitmap files: checking and normalising what the operator opens (with or
// without the "BM" file header, 40-byte or 12-byte core header) and writing 1-, 4-, 8- and 24-bit
// files, uncompressed or run-length coded.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "ccdview/ccd_image.h"
#include "platform/result.h"

namespace orva::ccdview {

enum class DibCompression : std::uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2 };

struct DibInfo {
    int width = 0;
    int height = 0; // negative for top-down files
    int bit_count = 0;
    DibCompression compression = DibCompression::Rgb;
    std::uint32_t compression_code = 0;
    int palette_entries = 0;
};

// A complete "BM" file with a 40-byte information header and 4-byte palette entries for any DIB
// the viewer accepts; an error (no message text) for bytes that are not one.
Result<std::vector<std::uint8_t>> normalise_dib(std::span<const std::uint8_t> bytes, DibInfo* info = nullptr);

// Writes a bitmap file. `pixels` are rows from the top, `width` indices for 1, 4 and 8 bits
// (each below the palette size) or 3 bytes (red, green, blue) a pixel for 24 bits. Compression
// applies to 8 bits (RLE8) and 4 bits (RLE4) only.
std::vector<std::uint8_t> encode_dib(int width, int height, int bit_count, std::span<const PaletteEntry> palette,
                                     std::span<const std::uint8_t> pixels, DibCompression compression);

} // namespace orva::ccdview

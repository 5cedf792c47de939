// The experimental block coder: 4 x 4 blocks become a thumbnail of block means ("Thumb.Ccd") and
// a detail file of block classes and texture ("Nail.Ccd"); the reader rebuilds 1008-wide images.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "ccdview/ccd_image.h"
#include "platform/result.h"

namespace orva::ccdview {

inline constexpr int kDecodedWidth = 1008;
inline constexpr int kDecodedBlocksPerRow = kDecodedWidth / 4;

struct EncodedImage {
    std::vector<std::uint8_t> thumb; // one mean per block, raster order from the top
    std::vector<std::uint8_t> nail;  // class array then detail stream
    int thumb_width = 0;             // blocks per row
    int thumb_height = 0;            // block rows
};

// Blocks run left to right from the top row of the picture as shown (the bitmap's last stored row).
EncodedImage encode_blocks(const Bitmap& bitmap);

// The pixels of the decoded picture, 1008 wide, top row first: thumb.size() x 16 bytes. A detail
// file shorter than the thumbnail implies is an error, never read past.
Result<std::vector<std::uint8_t>> decode_blocks(std::span<const std::uint8_t> thumb,
                                                std::span<const std::uint8_t> nail);

// Writes "Thumb.Ccd" and "Nail.Ccd" in `folder` and replaces the bitmap by the thumbnail.
Status encode_to_folder(Bitmap& bitmap, const std::filesystem::path& folder);
// Reads "Thumb.ccd" and "Nail.ccd" from `folder` and writes "Drume.Ccd" there.
Status decode_in_folder(const std::filesystem::path& folder);

} // namespace orva::ccdview

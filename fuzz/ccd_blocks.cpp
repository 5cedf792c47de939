// The compressed pair "Thumb.Ccd" and "Nail.Ccd": any bytes, any lengths, never a read past either.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ccdview/block_coder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // First two bytes: the thumbnail's length; the thumbnail, then the detail file, copied into
    // vectors of exactly their lengths so the sanitizer sees any overread.
    std::size_t thumb_len = (std::size_t(data[0]) << 8 | data[1]) % (size - 1);
    const std::uint8_t* p = data + 2;
    std::size_t left = size - 2;
    thumb_len = std::min(thumb_len, left);
    std::vector<std::uint8_t> thumb(p, p + thumb_len);
    std::vector<std::uint8_t> nail(p + thumb_len, p + left);
    (void)orva::ccdview::decode_blocks(thumb, nail);
    return 0;
}

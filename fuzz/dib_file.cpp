// Bitmap files as the operator opens them: any bytes are refused or turned into a sound file.
#include <cstddef>
#include <cstdint>
#include <span>

#include "ccdview/dib_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    orva::ccdview::DibInfo info;
    auto file = orva::ccdview::normalise_dib(std::span(data, size), &info);
    // The result's own header must read back with the same dimensions.
    if (file) {
        orva::ccdview::DibInfo again;
        auto second = orva::ccdview::normalise_dib(*file, &again);
        if (!second || again.width != info.width || again.height != info.height)
            __builtin_trap();
    }
    return 0;
}

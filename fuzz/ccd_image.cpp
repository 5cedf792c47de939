// CCD image files of any size under every family name: decoding must refuse or succeed cleanly.
#include <cstddef>
#include <cstdint>
#include <span>

#include "ccdview/ccd_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orva::ccdview;
    if (size == 0)
        return 0;
    // The first byte picks the name; the rest is padded or cut to one of the accepted sizes so
    // that the decoder's inner steps are reached, not only the size check.
    static const char* names[] = {"U5000001.CCD", "KA000001.CCD", "KBIN0001.CCD", "KBIW0001.CCD",
                                  "IM000001.CCD", "OTHER.CCD", "THUMB.CCD", "DRUME.CCD"};
    const char* name = names[data[0] % 8];
    std::span<const std::uint8_t> rest(data + 1, size - 1);
    if (data[0] & 0x80) {
        (void)decode_ccd(name, rest);
        return 0;
    }
    std::vector<std::uint8_t> bytes((data[0] & 0x40) ? kWideFileSize : kNarrowFileSize, 0);
    for (std::size_t i = 0; i < bytes.size() && !rest.empty(); ++i)
        bytes[i] = rest[i % rest.size()];
    auto image = decode_ccd(name, bytes);
    if (image) {
        set_exposure(*image, ExposureCommand::Lighten);
        rotate(image->bitmap, true);
    }
    return 0;
}

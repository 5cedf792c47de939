// "ORVA.OBS" files of any size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "common/elements/observer_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto records = orva::elements::decode_observer_file(std::span<const std::uint8_t>(data, size));
    if (!records)
        return 0;
    for (const auto& r : *records) {
        auto bytes = orva::elements::encode_observer_record(r);
        if (orva::elements::decode_observer_record(bytes).name != r.name)
            std::abort();
        (void)orva::elements::ObserverSite::from_record(r);
    }
    return 0;
}

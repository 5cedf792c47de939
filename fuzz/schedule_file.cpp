// "Orva Schedule.DAT" files of any size: a file that decodes must round-trip through the writer,
// and what the station loads from it is never out of time order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "station/schedule/schedule_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orva::station;
    auto entries = decode_schedule(std::span<const std::uint8_t>(data, size));
    if (!entries)
        return 0;
    if (size != 2 + entries->size() * kPassEntrySize)
        std::abort();
    for (std::size_t i = 1; i < entries->size(); ++i)
        if ((*entries)[i].aos < (*entries)[i - 1].aos)
            std::abort();
    auto bytes = encode_schedule(*entries);
    auto again = decode_schedule(bytes);
    if (!again || *again != *entries)
        std::abort();
    // The writer's output is stable: the fields it drops are dropped once.
    if (encode_schedule(*again) != bytes)
        std::abort();
    return 0;
}

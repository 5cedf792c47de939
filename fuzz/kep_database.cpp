// "Orva.KEP" files of any size: loading either refuses them or gives 50 slots that write back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "common/elements/kep_database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto db = orva::elements::KepDatabase::from_bytes(std::span<const std::uint8_t>(data, size));
    if (!db)
        return 0;
    auto bytes = db->to_bytes();
    if (bytes.size() < orva::elements::kKepFileSize)
        std::abort();
    auto again = orva::elements::KepDatabase::from_bytes(bytes);
    if (!again || again->to_bytes() != bytes)
        std::abort(); // what we write must read back to itself
    (void)db->find_by_name("AO-16");
    (void)db->find_by_catalogue(20439);
    return 0;
}

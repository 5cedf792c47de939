#include "station/radio/transverters.h"

#include <bit>
#include <cstring>

#include "common/settings/keys.h"

namespace orva::station {

namespace {
bool read_double(const platform::Store& store, const std::string& key, const char* name, double& out)
{
    auto bytes = store.read_binary(key, name, 8);
    if (!bytes)
        return false;
    std::memcpy(&out, bytes->data(), 8);
    return true;
}
} // namespace

double transverter_offset(const platform::Store& store, double mhz, Direction direction)
{
    const std::string root = settings::keys::transverters;
    for (std::uint32_t i = 0; i < platform::max_enumeration; ++i) {
        auto name = store.enumerate_subkeys(root, i);
        if (!name)
            break;
        std::string key = platform::join_key_path(root, *name);
        double start = 0, finish = 0;
        if (!read_double(store, key, "Start Freq", start) || start > mhz)
            continue;
        if (!read_double(store, key, "Finish Freq", finish) || finish < mhz)
            continue;
        bool transmit = direction == Direction::Transmit;
        auto used = store.read_integer(key, transmit ? "TX" : "RX");
        double lo = 0;
        if (used && *used != 0 && read_double(store, key, transmit ? "TX IF" : "RX IF", lo))
            return lo * 1'000'000;
        return 0;
    }
    return 0;
}

} // namespace orva::station

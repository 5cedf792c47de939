#include "station/radio/pass_frequencies.h"

#include <cstring>

#include "station/radio/transverters.h"

namespace orva::station {

namespace {
double read_mhz(const platform::Store& store, const std::string& key, const std::string& name)
{
    auto bytes = store.read_binary(key, name, 8);
    if (!bytes)
        return 0;
    double v = 0;
    std::memcpy(&v, bytes->data(), 8);
    return v == v ? v : 0; // a stored NaN is no frequency
}

void load_direction(const platform::Store& store, const std::string& key, bool up, int number, PassFrequencies& f)
{
    std::string name = std::string(up ? "Uplink " : "Downlink ") + std::to_string(number);
    double mhz = read_mhz(store, key, name);
    double offset = transverter_offset(store, mhz, up ? Direction::Transmit : Direction::Receive);
    (up ? f.uplink_hz : f.downlink_hz) = mhz * 1'000'000;
    (up ? f.uplink_offset_hz : f.downlink_offset_hz) = offset;
}

std::uint16_t read_mode(const platform::Store& store, const std::string& key, const char* name)
{
    auto v = store.read_integer(key, name);
    return v ? std::uint16_t(*v) : std::uint16_t(2);
}
} // namespace

PassFrequencies load_pass_frequencies(const platform::Store& store, const std::string& key)
{
    PassFrequencies f;
    auto down = store.read_integer(key, "Default Downlink");
    load_direction(store, key, false, down ? int(*down) : 1, f);
    auto up = store.read_integer(key, "Default Uplink");
    load_direction(store, key, true, up ? int(*up) : 1, f);
    f.uplink_mode = read_mode(store, key, "Uplink Mode");
    f.downlink_mode = read_mode(store, key, "Downlink Mode");
    return f;
}

bool select_uplink(const platform::Store& store, const std::string& key, char digit, PassFrequencies& f)
{
    if (digit < '1' || digit > '4')
        return false;
    load_direction(store, key, true, digit - '0', f);
    return true;
}

bool select_downlink(const platform::Store& store, const std::string& key, char digit, PassFrequencies& f)
{
    if (digit < '1' || digit > '4')
        return false;
    load_direction(store, key, false, digit - '0', f);
    return true;
}

std::uint32_t radio_mode_code(std::uint16_t mode)
{
    static const std::uint32_t codes[] = {1, 1, 4097, 2, 4, 8, 4104};
    return mode < 7 ? codes[mode] : 1;
}

namespace {
std::uint32_t band(double hz)
{
    double mhz = hz / 1'000'000;
    if (mhz < 160) return 1;
    if (mhz < 460) return 2;
    if (mhz < 1350) return 4;
    if (mhz < 2450) return 8;
    return 0;
}
} // namespace

std::uint32_t band_mask(double uplink_offset_hz, double downlink_offset_hz)
{
    return band(downlink_offset_hz) | (band(uplink_offset_hz) << 8);
}

} // namespace orva::station

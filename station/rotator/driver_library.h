// The radio and rotator driver library as the station calls it for the "Level1" type. Status
// results are judged on their low 16 bits: 0 is success. A frequency that is none is left as
// the radio has it.
#pragma once

#include <cstdint>
#include <optional>

namespace orva::station {

class DriverLibrary {
public:
    virtual ~DriverLibrary() = default;
    virtual std::int32_t rotor_open() = 0;
    virtual void rotor_close(std::int32_t reserved) = 0;
    // Whole degrees, azimuth then elevation; none when the rotator could not be read.
    virtual std::optional<std::pair<std::uint16_t, std::uint16_t>> rotor_get_position() = 0;
    virtual void rotor_set_position(std::int32_t azimuth, std::int32_t elevation, std::int32_t reserved) = 0;
    virtual std::int32_t radio_open(std::uint32_t band_mask) = 0;
    virtual void radio_close() = 0;
    virtual void radio_set_mode(std::uint32_t downlink_code, std::uint32_t uplink_code, std::int32_t reserved) = 0;
    virtual void radio_set_frequency(std::optional<std::int64_t> downlink_hz, std::optional<std::int64_t> uplink_hz,
                                     std::int32_t reserved) = 0;
};

inline bool driver_ok(std::int32_t status)
{
    return (status & 0xFFFF) == 0;
}

} // namespace orva::station

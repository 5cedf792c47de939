// The driver library on Hamlib: any rotator and rig Hamlib knows, rotctld and rigctld included
// through its network models ("127.0.0.1:4533"). The rig works split: downlink on the main
// VFO, uplink on the transmit VFO. Models, devices and speeds live in a Linux-only key.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/store/store.h"
#include "station/rotator/driver_library.h"

namespace orva::station {

inline constexpr const char* kHamlibKey = "SOFTWARE\\Orva\\Linux\\Hamlib";
inline constexpr std::uint32_t kHamlibNetRotator = 2; // rotctld
inline constexpr std::uint32_t kHamlibNetRig = 2;     // rigctld

struct HamlibConfig {
    std::uint32_t rotator_model = kHamlibNetRotator;
    std::string rotator_device = "127.0.0.1:4533";
    std::uint32_t rotator_speed = 0; // 0: the model's default
    std::uint32_t radio_model = kHamlibNetRig;
    std::string radio_device = "127.0.0.1:4532";
    std::uint32_t radio_speed = 0;
};

// "Rotator Model", "Rotator Device", "Rotator Speed", "Radio Model", "Radio Device", "Radio Speed".
HamlibConfig read_hamlib_config(const platform::Store& store);
Status write_hamlib_config(platform::Store& store, const HamlibConfig& config);

struct HamlibModel {
    std::uint32_t number;
    std::string maker, name;
};
std::vector<HamlibModel> hamlib_rotator_models();
std::vector<HamlibModel> hamlib_rig_models();

class HamlibDriver final : public DriverLibrary {
public:
    explicit HamlibDriver(HamlibConfig config);
    ~HamlibDriver() override;

    std::int32_t rotor_open() override;
    void rotor_close(std::int32_t reserved) override;
    std::optional<std::pair<std::uint16_t, std::uint16_t>> rotor_get_position() override;
    void rotor_set_position(std::int32_t azimuth, std::int32_t elevation, std::int32_t reserved) override;
    std::int32_t radio_open(std::uint32_t band_mask) override;
    void radio_close() override;
    void radio_set_mode(std::uint32_t downlink_code, std::uint32_t uplink_code, std::int32_t reserved) override;
    void radio_set_frequency(std::optional<std::int64_t> downlink_hz, std::optional<std::int64_t> uplink_hz,
                             std::int32_t reserved) override;

    // Hamlib's own words for the last failure, for the log.
    std::string last_error() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace orva::station

#include "station/radio/hamlib_driver.h"

#include <hamlib/rig.h>
#include <hamlib/rotator.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orva::station {

namespace {
const char* kRotModel = "Rotator Model";
const char* kRotDevice = "Rotator Device";
const char* kRotSpeed = "Rotator Speed";
const char* kRigModel = "Radio Model";
const char* kRigDevice = "Radio Device";
const char* kRigSpeed = "Radio Speed";

void quiet()
{
    static std::once_flag once;
    std::call_once(once, [] {
        rig_set_debug(RIG_DEBUG_NONE);
        rig_load_all_backends();
        rot_load_all_backends();
    });
}

// The 4096 bit marks the narrow variant of a mode.
std::pair<rmode_t, bool> hamlib_mode(std::uint32_t code)
{
    bool narrow = code & 4096;
    switch (code & ~4096u) {
    case 2: return {RIG_MODE_USB, narrow};
    case 4: return {RIG_MODE_LSB, narrow};
    case 8: return {RIG_MODE_CW, narrow};
    default: return {RIG_MODE_FM, narrow};
    }
}
} // namespace

HamlibConfig read_hamlib_config(const platform::Store& store)
{
    HamlibConfig c;
    if (auto v = store.read_integer(kHamlibKey, kRotModel)) c.rotator_model = *v;
    if (auto v = store.read_string(kHamlibKey, kRotDevice, 512)) c.rotator_device = *v;
    if (auto v = store.read_integer(kHamlibKey, kRotSpeed)) c.rotator_speed = *v;
    if (auto v = store.read_integer(kHamlibKey, kRigModel)) c.radio_model = *v;
    if (auto v = store.read_string(kHamlibKey, kRigDevice, 512)) c.radio_device = *v;
    if (auto v = store.read_integer(kHamlibKey, kRigSpeed)) c.radio_speed = *v;
    return c;
}

Status write_hamlib_config(platform::Store& store, const HamlibConfig& c)
{
    for (auto s : {store.write_integer(kHamlibKey, kRotModel, c.rotator_model),
                   store.write_string(kHamlibKey, kRotDevice, c.rotator_device),
                   store.write_integer(kHamlibKey, kRotSpeed, c.rotator_speed),
                   store.write_integer(kHamlibKey, kRigModel, c.radio_model),
                   store.write_string(kHamlibKey, kRigDevice, c.radio_device),
                   store.write_integer(kHamlibKey, kRigSpeed, c.radio_speed)})
        if (!s)
            return s;
    return {};
}

std::vector<HamlibModel> hamlib_rotator_models()
{
    quiet();
    std::vector<HamlibModel> out;
    rot_list_foreach(
        [](const rot_caps* caps, void* data) -> int {
            static_cast<std::vector<HamlibModel>*>(data)->push_back(
                {std::uint32_t(caps->rot_model), caps->mfg_name ? caps->mfg_name : "", caps->model_name ? caps->model_name : ""});
            return 1;
        },
        &out);
    std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.number < b.number; });
    return out;
}

std::vector<HamlibModel> hamlib_rig_models()
{
    quiet();
    std::vector<HamlibModel> out;
    rig_list_foreach(
        [](const rig_caps* caps, void* data) -> int {
            static_cast<std::vector<HamlibModel>*>(data)->push_back(
                {std::uint32_t(caps->rig_model), caps->mfg_name ? caps->mfg_name : "", caps->model_name ? caps->model_name : ""});
            return 1;
        },
        &out);
    std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.number < b.number; });
    return out;
}

struct HamlibDriver::Impl {
    HamlibConfig config;
    mutable std::mutex mutex; // Hamlib handles are not shared between threads unguarded
    ROT* rot = nullptr;
    RIG* rig = nullptr;
    std::string error;

    void fail(const char* what, int code) { error = std::string(what) + ": " + rigerror(code); }
};

HamlibDriver::HamlibDriver(HamlibConfig config) : impl_(std::make_unique<Impl>())
{
    quiet();
    impl_->config = std::move(config);
}

HamlibDriver::~HamlibDriver()
{
    radio_close();
    rotor_close(0);
}

std::int32_t HamlibDriver::rotor_open()
{
    std::lock_guard lock(impl_->mutex);
    if (impl_->rot)
        return 0;
    ROT* rot = rot_init(rot_model_t(impl_->config.rotator_model));
    if (!rot) {
        impl_->error = "no Hamlib rotator model " + std::to_string(impl_->config.rotator_model);
        return -1;
    }
    std::strncpy(rot->state.rotport.pathname, impl_->config.rotator_device.c_str(), HAMLIB_FILPATHLEN - 1);
    if (impl_->config.rotator_speed)
        rot->state.rotport.parm.serial.rate = int(impl_->config.rotator_speed);
    rot->state.rotport.timeout = 2000;
    rot->state.rotport.retry = 0;
    if (int rc = rot_open(rot); rc != RIG_OK) {
        impl_->fail("rotator", rc);
        rot_cleanup(rot);
        return rc == 0 ? -1 : std::abs(rc);
    }
    impl_->rot = rot;
    return 0;
}

void HamlibDriver::rotor_close(std::int32_t)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->rot)
        return;
    rot_close(impl_->rot);
    rot_cleanup(impl_->rot);
    impl_->rot = nullptr;
}

std::optional<std::pair<std::uint16_t, std::uint16_t>> HamlibDriver::rotor_get_position()
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->rot)
        return std::nullopt;
    azimuth_t az = 0;
    elevation_t el = 0;
    if (int rc = rot_get_position(impl_->rot, &az, &el); rc != RIG_OK) {
        impl_->fail("rotator position", rc);
        return std::nullopt;
    }
    return std::pair{std::uint16_t(std::lround(az)), std::uint16_t(std::lround(el))};
}

void HamlibDriver::rotor_set_position(std::int32_t azimuth, std::int32_t elevation, std::int32_t)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->rot)
        return;
    // A rotator without flip travel takes elevations up to 90 only; keep what it can do.
    float min_el = impl_->rot->state.min_el, max_el = impl_->rot->state.max_el;
    float min_az = impl_->rot->state.min_az, max_az = impl_->rot->state.max_az;
    float el = std::clamp(float(elevation), min_el, std::max(min_el, max_el));
    float az = float(azimuth);
    while (az < min_az)
        az += 360;
    while (az > max_az && az - 360 >= min_az)
        az -= 360;
    if (int rc = rot_set_position(impl_->rot, az, el); rc != RIG_OK)
        impl_->fail("rotator set position", rc);
}

std::int32_t HamlibDriver::radio_open(std::uint32_t)
{
    std::lock_guard lock(impl_->mutex);
    if (impl_->rig)
        return 0;
    RIG* rig = rig_init(rig_model_t(impl_->config.radio_model));
    if (!rig) {
        impl_->error = "no Hamlib rig model " + std::to_string(impl_->config.radio_model);
        return -1;
    }
    std::strncpy(rig->state.rigport.pathname, impl_->config.radio_device.c_str(), HAMLIB_FILPATHLEN - 1);
    if (impl_->config.radio_speed)
        rig->state.rigport.parm.serial.rate = int(impl_->config.radio_speed);
    rig->state.rigport.timeout = 2000;
    rig->state.rigport.retry = 0;
    if (int rc = rig_open(rig); rc != RIG_OK) {
        impl_->fail("radio", rc);
        rig_cleanup(rig);
        return rc == 0 ? -1 : std::abs(rc);
    }
    if (int rc = rig_set_split_vfo(rig, RIG_VFO_CURR, RIG_SPLIT_ON, RIG_VFO_TX); rc != RIG_OK)
        impl_->fail("radio split", rc);
    impl_->rig = rig;
    return 0;
}

void HamlibDriver::radio_close()
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->rig)
        return;
    rig_close(impl_->rig);
    rig_cleanup(impl_->rig);
    impl_->rig = nullptr;
}

void HamlibDriver::radio_set_mode(std::uint32_t down, std::uint32_t up, std::int32_t)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->rig)
        return;
    auto [dm, dn] = hamlib_mode(down);
    auto [um, un] = hamlib_mode(up);
    RIG* rig = impl_->rig;
    if (int rc = rig_set_mode(rig, RIG_VFO_CURR, dm, dn ? rig_passband_narrow(rig, dm) : RIG_PASSBAND_NOCHANGE);
        rc != RIG_OK)
        impl_->fail("radio mode", rc);
    if (int rc = rig_set_split_mode(rig, RIG_VFO_CURR, um, un ? rig_passband_narrow(rig, um) : RIG_PASSBAND_NOCHANGE);
        rc != RIG_OK)
        impl_->fail("radio split mode", rc);
}

void HamlibDriver::radio_set_frequency(std::optional<std::int64_t> down, std::optional<std::int64_t> up, std::int32_t)
{
    std::lock_guard lock(impl_->mutex);
    if (!impl_->rig)
        return;
    if (down && *down > 0)
        if (int rc = rig_set_freq(impl_->rig, RIG_VFO_CURR, freq_t(*down)); rc != RIG_OK)
            impl_->fail("radio frequency", rc);
    if (up && *up > 0)
        if (int rc = rig_set_split_freq(impl_->rig, RIG_VFO_CURR, freq_t(*up)); rc != RIG_OK)
            impl_->fail("radio split frequency", rc);
}

std::string HamlibDriver::last_error() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->error;
}

} // namespace orva::station

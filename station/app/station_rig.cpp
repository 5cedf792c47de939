#include "station/app/station_rig.h"

#include <cmath>
#include <cstdio>

#include "common/elements/kep_database.h"
#include "common/settings/suite_settings.h"
#include "platform/serial_port.h"
#include "platform/store_ports.h"
#include "station/radio/hamlib_driver.h"

namespace orva::station {

Result<std::unique_ptr<StationRig>> StationRig::open(const std::filesystem::path& store_file,
                                                     const std::filesystem::path& suite_dir,
                                                     elements::ObserverSite home, StationRigHooks hooks,
                                                     const platform::Clock& clock)
{
    auto store = platform::Store::open(store_file, platform::Access::ReadOnly);
    if (!store)
        return store.error();
    std::unique_ptr<StationRig> rig(new StationRig());
    rig->store_ = std::make_unique<platform::Store>(std::move(*store));
    rig->timers_ = std::make_unique<platform::TimerThread>(clock);
    const platform::Store& s = *rig->store_;
    settings::RotatorSettings rotator = settings::read_rotator(s);
    settings::HelmoSettings helmo = settings::read_helmo(s);

    auto open_port = [&s](std::uint32_t port, std::uint32_t speed) {
        platform::SerialSettings serial;
        serial.speed = speed;
        return platform::open_byte_stream(platform::com_port_name(int(port)), serial, platform::store_port_lookup(s));
    };
    RigHooks h;
    h.log = hooks.log;
    h.warn = hooks.warn;
    h.error_sound = hooks.error_sound;
    h.next_pass_start = hooks.next_pass_start;
    h.on_rotor_position = hooks.on_rotor_position;
    h.open_port = open_port;
    h.make_driver = [&s]() -> std::unique_ptr<DriverLibrary> { return std::make_unique<HamlibDriver>(read_hamlib_config(s)); };
    h.find_elements = [suite_dir](const std::string& name) -> std::optional<elements::KepRecord> {
        auto db = elements::KepDatabase::load(elements::kep_database_path(suite_dir));
        if (!db)
            return std::nullopt;
        int slot = db->find_by_name(name);
        if (slot < 0)
            return std::nullopt;
        return db->slot(slot);
    };
    rig->control_ = std::make_unique<RigControl>(clock, *rig->timers_, s, std::move(home), rotator,
                                                 helmo.rotor_display != 0, std::move(h));
    rig->rotator_ = rotator;
    rig->rotor_display_ = helmo.rotor_display;
    DspHooks d;
    d.log = hooks.log;
    d.warn = hooks.warn;
    d.error_sound = hooks.error_sound;
    d.open_port = open_port;
    rig->modem_ = std::make_unique<DspModemControl>(*rig->timers_, s, std::move(d));
    return rig;
}

StationRig::~StationRig()
{
    shutdown();
}

void StationRig::shutdown()
{
    if (control_)
        control_->shutdown();
}

void StationRig::open_at_start()
{
    control_->open_at_start();
}

void StationRig::track(const std::string& name, bool rotator_only)
{
    if (name.empty())
        control_->stop_tracking();
    else
        control_->start_tracking(name, rotator_only);
}

void StationRig::configure_modem(const std::string& name)
{
    modem_->configure(name);
}

void StationRig::set_home(const elements::ObserverSite& home)
{
    control_->set_home(home);
}

bool StationRig::follow_rotator_settings()
{
    const settings::RotatorSettings rotator = settings::read_rotator(*store_);
    const std::uint32_t display = settings::read_helmo(*store_).rotor_display;
    if (rotator == rotator_ && display == rotor_display_)
        return false;
    rotator_ = rotator;
    rotor_display_ = display;
    control_->reconfigure(rotator, display != 0);
    return true;
}

bool StationRig::modem_ready() const
{
    return modem_->ready();
}

bool StationRig::handle_message(const platform::WindowMessage& m, const std::string& text)
{
    switch (m.number) {
    case kMsgSelectUplink:
        control_->select_uplink(char(m.word & 0xFF));
        return true;
    case kMsgSelectDownlink:
        control_->select_downlink(char(m.word & 0xFF));
        return true;
    case kMsgDownlinkOffset:
        // The offset travels as a word: a negative one arrives as its 16-bit pattern.
        control_->set_downlink_offset(m.word > 0xFFFF ? std::int32_t(m.word) : std::int32_t(std::int16_t(m.word)));
        return true;
    case kMsgRotatorCommand:
        if (m.word == 0)
            control_->start_tracking(text, true);
        else if (m.word == 1)
            control_->stop_tracking();
        return true;
    default:
        return false;
    }
}

std::optional<TrackReport> StationRig::report() const
{
    return control_->report();
}

std::string StationRig::status_line() const
{
    auto r = control_->report();
    if (!r)
        return control_->tracked().empty() ? std::string() : control_->tracked() + ": below the horizon";
    char buf[200];
    std::snprintf(buf, sizeof buf, "%s: az %.0f el %.0f, up %.0f Hz, down %.0f Hz", r->name.c_str(), r->azimuth_deg,
                  r->elevation_deg, r->uplink_hz, r->downlink_hz);
    return buf;
}

} // namespace orva::station

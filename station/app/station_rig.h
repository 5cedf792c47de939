// The station's rotator, radio and DSP modem for a host: the tracking control and the modem
// set-up on real ports, timers and Hamlib, and the window messages the engine sends about
// frequencies. Helmo's hosts and `orva track` share it.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/elements/observer_file.h"
#include "platform/clock.h"
#include "platform/shared_clock.h"
#include "platform/messenger.h"
#include "platform/store/store.h"
#include "platform/timers.h"
#include "station/modem/dsp_control.h"
#include "station/rotator/rig_control.h"

namespace orva::station {

inline constexpr std::uint32_t kMsgSelectUplink = 2031;
inline constexpr std::uint32_t kMsgRotatorCommand = 2032;
inline constexpr std::uint32_t kMsgDownlinkOffset = 2039;
inline constexpr std::uint32_t kMsgSelectDownlink = 2040;

struct StationRigHooks {
    std::function<void(const std::string&)> log;
    std::function<void(const std::string& text, const std::string& caption)> warn;
    std::function<void()> error_sound;
    std::function<std::optional<std::int64_t>()> next_pass_start;
    std::function<void(const RotorPosition&)> on_rotor_position;
};

class StationRig {
public:
    // Opens its own connection to the store file (its threads read it) and the element
    // database of the suite directory at each start of tracking.
    static Result<std::unique_ptr<StationRig>> open(const std::filesystem::path& store_file,
                                                    const std::filesystem::path& suite_dir,
                                                    elements::ObserverSite home, StationRigHooks hooks,
                                                    const platform::Clock& clock = platform::station_clock());
    ~StationRig();

    void open_at_start();
    // A scheduled pass (radio too) or rotator only; an empty name stops.
    void track(const std::string& name, bool rotator_only);
    void configure_modem(const std::string& name);
    // The station moved (Station sheet, `orva station set`): tracking aims from the new site.
    void set_home(const elements::ObserverSite& home);
    // Re-reads the Rotator page's values; when they changed, the new controller takes over at
    // once. True when it did.
    bool follow_rotator_settings();
    bool modem_ready() const;
    // 2031, 2032, 2039, 2040; false for any other message.
    bool handle_message(const platform::WindowMessage& message, const std::string& text_param = {});

    std::optional<TrackReport> report() const;
    // "AO-7: az 123 el 45, up 145897567 Hz, down 435807268 Hz" or empty when nothing is tracked.
    std::string status_line() const;
    RigControl& control() { return *control_; }
    void shutdown();

private:
    StationRig() = default;
    std::unique_ptr<platform::Store> store_;
    std::unique_ptr<platform::TimerThread> timers_;
    std::unique_ptr<RigControl> control_;
    std::unique_ptr<DspModemControl> modem_;
    settings::RotatorSettings rotator_; // in use
    std::uint32_t rotor_display_ = 1;
};

} // namespace orva::station

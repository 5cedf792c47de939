// Rotator and radio control while a satellite is tracked: start and stop, the 2-second tick on
// the timers it is handed (one tick at a time under the tracking lock), the serial dialogues,
// their time-outs, the driver library, and run-time frequency switching. The host supplies the
// ports, the driver and the operator's messages; tests hand it a manual clock.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "common/settings/suite_settings.h"
#include "platform/byte_stream.h"
#include "platform/clock.h"
#include "platform/store/store.h"
#include "platform/timers.h"
#include "station/core/track_data.h"
#include "station/radio/pass_frequencies.h"
#include "station/rotator/driver_library.h"
#include "station/rotator/rotator_models.h"

namespace orva::station {

inline constexpr std::chrono::milliseconds kTrackingTick{2000};

struct RotorPosition {
    double azimuth = 0, elevation = 0;
    bool reported = false; // read back from the rotator, not computed
};

struct RigHooks {
    std::function<void(const std::string&)> log;
    std::function<void(const std::string& text, const std::string& caption)> warn;
    std::function<void()> error_sound;
    // Start of the next scheduled pass, station time; none when there is none.
    std::function<std::optional<std::int64_t>()> next_pass_start;
    // Opens the rotator's "COM%d" port (or what the store maps it to).
    std::function<Result<std::unique_ptr<platform::ByteStream>>(std::uint32_t port, std::uint32_t speed)> open_port;
    std::function<std::unique_ptr<DriverLibrary>()> make_driver;
    std::function<std::optional<elements::KepRecord>(const std::string& name)> find_elements;
    // Every new rotor display position (the map's dials) and every tick's report.
    std::function<void(const RotorPosition&)> on_rotor_position;
    std::function<void(const std::optional<TrackReport>&)> on_report;
};

class RigControl {
public:
    RigControl(const platform::Clock& clock, platform::Timers& timers, const platform::Store& store,
               elements::ObserverSite home, settings::RotatorSettings rotator, bool rotor_display_computed,
               RigHooks hooks);
    ~RigControl();
    RigControl(const RigControl&) = delete;
    RigControl& operator=(const RigControl&) = delete;

    void open_at_start();
    void start_tracking(const std::string& name, bool rotator_only);
    void stop_tracking();
    void select_uplink(char digit);
    void select_downlink(char digit);
    void set_downlink_offset(std::int32_t hz);
    // The station moved: the next tick aims from the new site.
    void set_home(elements::ObserverSite home);
    // The Rotator page was saved: the controller in use is let go and the new one opened as at
    // start; a satellite being tracked goes on being tracked with it.
    void reconfigure(const settings::RotatorSettings& rotator, bool rotor_display_computed);
    // Sends the antenna to "Park Az", "Park El" now, whatever "Park" says (a hardware check
    // ends with the antenna parked). Types without position commands do nothing.
    void park_now();
    // Ends everything: ticks, dialogues, port, the driver's rotor and radio.
    void shutdown();

    const RotatorModel& model() const;
    std::string tracked() const;
    std::optional<TrackReport> report() const;
    std::optional<RotorPosition> rotor_position() const;
    PassFrequencies frequencies() const;
    bool port_open() const;
    int dialogue_state() const;
    // "Enable Rotator" with a "TrakBox": walks the controller's menu for its satellite names
    // (gathered in trakbox_names()); the port is closed when the menu ends or Cancel calls
    // close_trakbox_listing().
    void start_trakbox_listing();
    void close_trakbox_listing();
    // The "Enable Rotator" list a "TrakBox" listing dialogue gathered.
    std::vector<std::string> trakbox_names() const;
    // Runs one tick at once (the timer does this every 2 s).
    void tick();

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace orva::station

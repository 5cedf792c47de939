// What RigControl keeps under its tracking lock, and the steps on it that its calls, its timers
// and the port's reader share: the controller's serial port and dialogues (controller_port.cpp),
// the tracking and its ticks (rig_control.cpp). Only those two files include it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "station/orbit/sat_track.h"
#include "station/rotator/easycomm.h"
#include "station/rotator/line_reader.h"
#include "station/rotator/paced_writer.h"
#include "station/rotator/rig_control.h"
#include "station/rotator/sattrak.h"
#include "station/rotator/tracking_tick.h"
#include "station/rotator/trakbox.h"

namespace orva::station {

struct RigControl::Impl : std::enable_shared_from_this<RigControl::Impl> {
    const platform::Clock& clock;
    platform::Timers& timers;
    const platform::Store& store;
    elements::ObserverSite home;
    settings::RotatorSettings settings;
    bool display_computed;
    RigHooks hooks;
    const RotatorModel* model_ptr = nullptr; // the Rotator Type's entry; changed only under the lock
    const RotatorModel& model() const { return *model_ptr; }

    // The tracking lock: every field below, and one tick at a time.
    mutable std::mutex mutex;
    std::uint64_t generation = 0; // a new start or stop makes older ticks and ports stale
    std::string name, sat_key;
    std::optional<SatTrack> track;
    bool flip_pass = false;
    PassFrequencies freq;
    LastSent last;
    std::optional<TrackingTicker> ticker;
    platform::TimerId tick_timer = 0, timeout_timer = 0, poll_timer = 0;
    std::unique_ptr<DriverLibrary> driver;
    bool rotor_open = false, radio_open = false;
    std::shared_ptr<platform::ByteStream> port;
    std::uint64_t port_generation = 0;
    std::unique_ptr<PacedWriter> writer;
    using Dialogue = std::variant<std::monostate, trakbox::MenuDialogue, sattrak::PromptDialogue>;
    Dialogue dialogue;
    std::optional<LineReader> lines;
    std::optional<easycomm::ReplyReader> replies;
    std::optional<TrackReport> report;
    std::optional<RotorPosition> rotor;
    std::vector<std::string> trakbox_names;
    std::set<std::string> logged;
    bool stopped = false;
    bool rotator_only = false; // of the satellite tracked
    std::int64_t last_logged_status = 0;

    Impl(const platform::Clock& c, platform::Timers& t, const platform::Store& s, elements::ObserverSite h,
         settings::RotatorSettings r, bool d, RigHooks k);
    void configure(const settings::RotatorSettings& r, bool d);

    std::int64_t now() const;
    void log(const std::string& line) const;
    void log_once(const std::string& kind, const std::string& line);
    void fail(const std::string& text, const std::string& caption) const;
    void set_rotor(const RotorPosition& p);
    void publish();

    // The serial port.
    bool open_port();
    void send(std::string_view bytes);
    // Ends the dialogue and the time-out and takes the port out of use; the caller closes the
    // stream it returns once the lock is released.
    std::shared_ptr<platform::ByteStream> close_port_locked();
    // A new uplink or downlink, told to the controllers that want to hear of it.
    void tell_controller(char digit, int prompt, double hz);
    void close_port_later();
    void start_timeout(std::chrono::milliseconds after);
    // A timer's step on the port of generation `gen`, run under the lock while that port is still
    // the one in use; the stream the step takes out of use is closed after the lock. False when
    // the port has moved on.
    bool on_port_timer(std::uint64_t gen, const std::function<std::shared_ptr<platform::ByteStream>()>& step);
    void on_port_data(std::uint64_t gen, std::span<const std::uint8_t> bytes);
    void start_dialogue(Dialogue d, std::string_view ends, std::string_view opening, std::chrono::milliseconds timeout);

    // Tracking.
    void stop_locked(bool clear_line);
    bool select_satellite();
    void read_frequencies();
    void tick(std::uint64_t gen);
};

} // namespace orva::station

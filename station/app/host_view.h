// What the station host shows: the terminal of `helmo --headless` or the main window. The host
// calls these on its own (the Qt loop's) thread, except line() which any thread may call.
#pragma once

#include <cstdint>
#include <string>

#include "common/elements/observer_file.h"
#include "station/schedule/pass_entry.h"

namespace orva::station {

class HostView {
public:
    virtual ~HostView() = default;
    virtual void line(const std::string& text) = 0;                              // any thread
    virtual void warning(const std::string& text, const std::string& caption) = 0; // any thread
    virtual void pre_pass_notice(const PassEntry& entry, bool show_window) = 0;
    virtual void close_pre_pass_notice(const PassEntry& entry) = 0;
    virtual void refresh(std::int64_t now) = 0; // after each round of the tracking loop
    virtual void satellite_rose(const std::string& /*name*/) {}
    // Where the rotator points (computed, or read back from it); any thread.
    virtual void rotor_position(double /*azimuth*/, double /*elevation*/) {}
    virtual void time_changed() {}
    // The element database was read again (2037, an edit): the map finds its satellite again.
    virtual void elements_reloaded() {}
    // The station's position changed (the map draws from there).
    virtual void station_moved(const elements::ObserverSite& /*home*/) {}
    // A pass began for a satellite whose run shows it on the map ("Map Display").
    virtual void display_on_map(const std::string& /*name*/) {}
};

} // namespace orva::station

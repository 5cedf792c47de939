// Helmo with a display: on a store that was never set up, the first-start setup and then the
// Satellite Setup Wizard; then the main window over the station host, with its menus.
#pragma once

#include <memory>

#include "platform/result.h"
#include "platform/store/store.h"
#include "station/app/station_host.h"
#include "station/app/web/web_view.h"
#include "station/app/window/main_window.h"

namespace orva::station::app {

struct WindowStation {
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<WebView> web; // the page, when the store turns it on, in front of the window
    std::unique_ptr<StationHost> host;
    ~WindowStation(); // the web view and the host stop before the window goes
};

// Null when the operator cancelled the first-start setup (the store is as it was). An error is
// the text for "Orva Initialisation Error": the store could not be written, or start-up failed.
Result<std::unique_ptr<WindowStation>> start_window_station(platform::Store store, HostOptions options = {});

} // namespace orva::station::app

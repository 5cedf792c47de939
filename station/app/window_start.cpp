#include "station/app/window_start.h"

#include "common/settings/keys.h"
#include "station/app/setup/first_start_dialog.h"
#include "station/app/setup/satellite_wizard.h"
#include "station/app/setup/setup_menu.h"

namespace orva::station::app {

WindowStation::~WindowStation()
{
    if (web)
        web->stop();
    if (host)
        host->shutdown();
    host.reset();
    web.reset();
    window.reset();
}

Result<std::unique_ptr<WindowStation>> start_window_station(platform::Store store, HostOptions options)
{
    if (!store.key_exists(settings::keys::general)) {
        FirstStartDialog first(store);
        const int answer = first.exec();
        if (answer == FirstStartDialog::StoreFailed)
            return make_error(std::string(kSetupNotCompleted) + "\n\n" + first.store_failure());
        if (answer != QDialog::Accepted)
            return std::unique_ptr<WindowStation>();
        // The first satellite; the wizard may be closed without one.
        SatelliteWizard wizard(store, first.orva_directory());
        wizard.exec();
    }
    auto station = std::make_unique<WindowStation>();
    station->window = std::make_unique<MainWindow>();
    station->web = std::make_unique<WebView>(*station->window);
    station->host = std::make_unique<StationHost>(std::move(store), *station->web, options);
    station->window->attach(*station->host);
    station->web->attach(*station->host);
    wire_setup_menu(*station->window, *station->host);
    if (Status s = station->host->start(); !s)
        return s.error();
    (void)station->web->start(); // a refusal is in the log; the station runs without the page
    station->window->started();
    station->window->show();
    return station;
}

} // namespace orva::station::app

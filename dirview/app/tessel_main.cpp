// tessel [SAT]: the directory viewer. With a satellite name it opens that satellite's directory;
// without one (or when the name is not configured) it asks which satellite to show. A second
// Tessel only brings the first one forward.
#include "dirview/app/tessel_window.h"
#include "platform/dbus/session_bus.h"
#include "platform/options/program_options.h"
#include "platform/store/store.h"
#include "platform/version.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    using namespace orva;
    std::string satellite;
    platform::ProgramOptions cli("tessel", "Shows a satellite's PACSAT directory and marks files for download.");
    cli.positional("SATELLITE", satellite, "The satellite to open (default: ask)", false);
    if (auto code = cli.parse(argc, argv))
        return *code;

    QApplication app(argc, argv);
    QApplication::setApplicationName("Tessel");
    QApplication::setApplicationVersion(QString::fromStdString(suite_version_text()));

    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        QMessageBox::critical(nullptr, "Tessel", QString::fromStdString("Cannot open the configuration store: " +
                                                                          store.error().message));
        return 1;
    }
    auto messenger = platform::dbus::session_messenger();

    dirview::TesselOptions options;
    options.store = &*store;
    options.messenger = messenger.get();
    options.connector = [](const std::string& service, const std::string& topic, std::function<void()> lost) {
        return platform::dbus::connect_data(service, topic, std::move(lost), std::chrono::seconds(2));
    };
    dirview::TesselWindow window(options);
    if (auto registered = window.register_window(); !registered) {
        if (registered.error().code == platform::already_running)
            return 0; // the first one came forward
        std::fprintf(stderr, "tessel: window messages unavailable: %s\n", registered.error().message.c_str());
    }
    window.show_placed();
    QTimer::singleShot(0, &window, [&] {
        if (satellite.empty() || !window.open_satellite(satellite))
            if (window.satellite().empty())
                window.choose_satellite();
    });
    return QApplication::exec();
}

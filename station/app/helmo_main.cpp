// helmo: the station with its main window (on a store never set up, the first-start setup first);
// helmo --headless [--log FILE] [--no-table]: without it.
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sys/signalfd.h>
#include <unistd.h>

#include "common/settings/keys.h"
#include "common/settings/setup_command.h"
#include "station/app/headless_host.h"
#include "station/app/web/web_view.h"
#include "station/app/window_start.h"
#include "platform/options/program_options.h"

using namespace orva;

namespace {
// SIGINT and SIGTERM arrive through a descriptor, so the loop shuts down in order.
int block_signals()
{
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    return signalfd(-1, &mask, SFD_CLOEXEC);
}

int run_window(int argc, char** argv, int sfd)
{
    QApplication app(argc, argv);
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        QMessageBox::critical(nullptr, "Orva Initialisation Error", QString::fromStdString(store.error().message));
        return 1;
    }
    // A store never set up gets the first-start setup first.
    auto started = station::app::start_window_station(std::move(*store));
    if (!started) {
        std::fprintf(stderr, "Orva Initialisation Error: %s\n", started.error().message.c_str());
        QMessageBox::critical(nullptr, "Orva Initialisation Error", QString::fromStdString(started.error().message));
        return 255;
    }
    if (!*started) {
        std::fprintf(stderr, "helmo: setup cancelled; nothing was written\n");
        return 1;
    }
    station::app::WindowStation& station = **started;
    QSocketNotifier notifier(sfd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info;
        (void)::read(sfd, &info, sizeof info);
        station.window->close();
        app.quit();
    });
    int rc = app.exec();
    station.web->stop();
    station.host->shutdown();
    return rc;
}
} // namespace

int main(int argc, char** argv)
{
    bool headless = false, no_table = false;
    station::HeadlessOptions options;
    std::string log_file;
    platform::ProgramOptions cli("helmo", "The station: element sets, pass schedule, tracking, rotator and radio, "
                                          "pass execution.");
    cli.flag("--headless", headless, "Run without the main window; the schedule and log go to the terminal")
        .option("--log", log_file, "With --headless: the log goes to FILE instead of standard output", "FILE")
        .flag("--no-table", no_table, "With --headless: no live tracking table on the terminal");
    if (auto code = cli.parse(argc, argv))
        return *code;
    if (cli.given("--log"))
        options.log_file = log_file;
    options.table = !no_table;
    int sfd = block_signals();
    if (!headless) {
        int rc = run_window(argc, argv, sfd);
        ::close(sfd);
        return rc;
    }

    QCoreApplication app(argc, argv);
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "helmo: cannot open the store: %s\n", store.error().message.c_str());
        return 1;
    }
    if (!store->key_exists(settings::keys::general)) {
        std::fprintf(stderr, "Orva Initialisation Error: %s\nhelmo: set the station up with: %s\n",
                     station::kSetupNotCompleted, settings::setup_command);
        return 255;
    }
    // The terminal, and the web page when the store turns it on: two views over one host.
    station::TerminalView terminal(options);
    station::WebView web(terminal);
    station::StationHost host(std::move(*store), web, station::HostOptions{options.clock});
    terminal.attach(host);
    web.attach(host);
    if (Status s = terminal.open(); !s) {
        std::fprintf(stderr, "Orva Initialisation Error: %s\n", s.error().message.c_str());
        return 255;
    }
    if (Status s = host.start(); !s) {
        std::fprintf(stderr, "Orva Initialisation Error: %s\n", s.error().message.c_str());
        return 255;
    }
    if (Status s = web.start(); !s)
        std::fprintf(stderr, "helmo: web view not started: %s\n", s.error().message.c_str());
    QSocketNotifier notifier(sfd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info;
        if (::read(sfd, &info, sizeof info) == sizeof info)
            host.log(std::string("signal ") + (info.ssi_signo == SIGINT ? "SIGINT" : "SIGTERM") + ": shutting down");
        web.stop();
        host.shutdown();
        app.quit();
    });
    int rc = app.exec();
    web.stop();
    host.shutdown();
    ::close(sfd);
    return rc;
}

// helmo --headless [--log FILE] [--no-table]: the station without its window.
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>

#include <sys/signalfd.h>
#include <unistd.h>

#include "station/app/headless_host.h"

using namespace orva;

int main(int argc, char** argv)
{
    bool headless = false;
    station::HeadlessOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
        } else if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) {
            options.log_file = argv[++i];
        } else if (std::strcmp(argv[i], "--no-table") == 0) {
            options.table = false;
        } else {
            std::fprintf(stderr, "usage: helmo --headless [--log FILE] [--no-table]\n");
            return 2;
        }
    }
    if (!headless) {
        std::fprintf(stderr, "helmo: the main window is not built yet; run helmo --headless\n");
        return 2;
    }
    // SIGINT and SIGTERM arrive through a descriptor, so the loop shuts down in order.
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    int sfd = signalfd(-1, &mask, SFD_CLOEXEC);

    QCoreApplication app(argc, argv);
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "helmo: cannot open the store: %s\n", store.error().message.c_str());
        return 1;
    }
    station::HeadlessHost host(std::move(*store), options);
    if (Status s = host.start(); !s) {
        std::fprintf(stderr, "Orva Initialisation Error: %s\n", s.error().message.c_str());
        return 255;
    }
    QSocketNotifier notifier(sfd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info;
        if (::read(sfd, &info, sizeof info) == sizeof info)
            host.log(std::string("signal ") + (info.ssi_signo == SIGINT ? "SIGINT" : "SIGTERM") + ": shutting down");
        host.shutdown();
        app.quit();
    });
    int rc = app.exec();
    host.shutdown();
    ::close(sfd);
    return rc;
}

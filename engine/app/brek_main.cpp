// brek SAT: the engine with its window. brek --headless SAT: the same session without a window,
// its status list on the terminal, for unattended stations. brek --replay FILE.KSS SAT: a
// capture fed through the receive path of SAT's pass.
#include "engine/app/brek_host.h"
#include "engine/app/terminal_view.h"
#include "engine/log/kiss_replay.h"
#include "engine/window/run_brek_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

using namespace orva;

int g_signal_pipe[2] = {-1, -1};

void on_signal(int)
{
    const int saved = errno;
    const char c = 1;
    (void)!::write(g_signal_pipe[1], &c, 1);
    errno = saved;
}

void usage(std::FILE* to)
{
    std::fprintf(to, "usage: brek [--headless] SATELLITE [--pass-seconds N] [--port DEVICE] [--clock-rate X]\n"
                     "            [--seed N] [--checkpoint-seconds N]\n"
                     "       brek --replay FILE.KSS SATELLITE\n"
                     "Runs the pass of SATELLITE (a \"Name\" of the station settings): with its window, or with\n"
                     "--headless on the terminal. The pass ends when the station closes it, after --pass-seconds\n"
                     "of station time, or on Ctrl+C.\n");
}

struct Arguments {
    std::string satellite, replay;
    bool headless = false;
    engine::BrekHostOptions host;
};

bool number(const char* text, double& out)
{
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno || end == text || *end)
        return false;
    out = v;
    return true;
}

// Exit code 2 and a message on a bad command line; -1 to go on.
int parse(int argc, char** argv, Arguments& a)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](double& out, bool positive) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "brek: %s needs a value\n", arg.c_str());
                return false;
            }
            if (!number(argv[++i], out) || (positive ? !(out > 0) : out < 0)) {
                std::fprintf(stderr, "brek: %s: \"%s\" is not a %s number\n", arg.c_str(), argv[i],
                             positive ? "positive" : "non-negative");
                return false;
            }
            return true;
        };
        double v = 0;
        if (arg == "--headless") {
            a.headless = true;
        } else if (arg == "--replay") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "brek: --replay needs a capture file\n");
                return 2;
            }
            a.replay = argv[++i];
        } else if (arg == "--port") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "brek: --port needs a device or host:port\n");
                return 2;
            }
            a.host.port_override = argv[++i];
        } else if (arg == "--pass-seconds") {
            if (!value(v, true)) return 2;
            a.host.pass_seconds = v;
        } else if (arg == "--clock-rate") {
            if (!value(v, true)) return 2;
            a.host.clock_rate = v;
        } else if (arg == "--checkpoint-seconds") {
            if (!value(v, true)) return 2;
            a.host.checkpoint_seconds = v;
        } else if (arg == "--seed") {
            if (!value(v, false)) return 2;
            a.host.seed = std::uint64_t(v);
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (!arg.empty() && arg[0] != '-' && a.satellite.empty()) {
            a.satellite = arg;
        } else {
            std::fprintf(stderr, "brek: unknown argument %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (!a.replay.empty()) {
        a.headless = true;
        a.host.offline = true;
        if (a.satellite.empty()) {
            std::fprintf(stderr, "brek: --replay needs the satellite whose pass it replays\n");
            return 2;
        }
    }
    if (a.headless && a.satellite.empty()) {
        usage(stderr);
        return 2;
    }
    return -1;
}

// SIGINT and SIGTERM close the pass in order, as the station's close request does.
void close_on_signals(engine::BrekHost& host)
{
    if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [&host] {
        char buf[16];
        while (::read(g_signal_pipe[0], buf, sizeof buf) > 0) {}
        host.session().request_close();
        host.pump();
    });
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

std::uint64_t steady_ms()
{
    return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count());
}

int run_headless(int argc, char** argv, Arguments& a)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    auto made = engine::BrekHost::create(a.host);
    if (auto* refusal = std::get_if<engine::BrekHost::Refusal>(&made)) {
        std::fprintf(stderr, "brek: %s\n", refusal->message.c_str());
        return refusal->exit_code;
    }
    auto host = std::move(std::get<std::unique_ptr<engine::BrekHost>>(made));
    engine::TerminalView view(host->session(), stdout, ::isatty(STDOUT_FILENO) == 1, {steady_ms});
    host->session().add_observer(&view);
    host->set_raise_handler([] { std::printf("Another start of Brek was refused: this one runs the pass\n"); });
    close_on_signals(*host);
    host->start(a.satellite);
    if (!host->session().pass_open()) {
        // Without a window nobody could choose another satellite: end at once.
        std::fprintf(stderr, "brek: no pass of %s could be opened\n", a.satellite.c_str());
        host->session().remove_observer(&view);
        return 1;
    }
    if (!a.replay.empty()) {
        QTimer::singleShot(0, [&] {
            auto n = engine::replay_kiss_capture(a.replay, [&](std::span<const std::uint8_t> bytes) {
                host->session().feed_tnc(bytes);
                host->session().poll();
            });
            if (!n)
                host->session().post(n.error().message, engine::LineColour::Red);
            else
                host->session().post("Replayed " + std::to_string(*n) + " bytes of " + a.replay,
                                     engine::LineColour::Black);
            host->session().request_close();
            host->pump();
        });
    }
    const int rc = host->session().finished() ? 0 : QCoreApplication::exec();
    host->session().remove_observer(&view);
    return rc;
}

int run_window(int argc, char** argv, Arguments& a)
{
    QApplication app(argc, argv);
    a.host.writable_store = true;
    auto made = engine::BrekHost::create(a.host);
    if (auto* refusal = std::get_if<engine::BrekHost::Refusal>(&made)) {
        std::fprintf(stderr, "brek: %s\n", refusal->message.c_str());
        return refusal->exit_code;
    }
    auto host = std::move(std::get<std::unique_ptr<engine::BrekHost>>(made));
    host->set_raise_handler([] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            w->showNormal();
            w->raise();
            w->activateWindow();
        }
    });
    host->set_beep([] { QApplication::beep(); });
    close_on_signals(*host);
    host->start_services();
    host->arm_soon();
    return engine::run_brek_window(host->session(), &host->local_store(), a.satellite);
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    Arguments a;
    if (const int rc = parse(argc, argv, a); rc >= 0)
        return rc;
    return a.headless ? run_headless(argc, argv, a) : run_window(argc, argv, a);
}

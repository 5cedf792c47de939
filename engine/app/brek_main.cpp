// brek SAT: the engine with its window. brek --headless SAT: the same session without a window,
// its status list on the terminal, for unattended stations. brek --replay FILE.KSS SAT: a
// capture fed through the receive path of SAT's pass.
#include "engine/app/brek_host.h"
#include "engine/app/terminal_view.h"
#include "engine/log/kiss_replay.h"
#include "engine/window/run_brek_window.h"
#include "platform/options/program_options.h"

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
#include <optional>
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

struct Arguments {
    std::string satellite, replay;
    bool headless = false;
    engine::BrekHostOptions host;
};

// The exit code after --help, --version or a usage error; nullopt to go on.
std::optional<int> parse(int argc, char** argv, Arguments& a)
{
    platform::ProgramOptions cli("brek", "The PACSAT protocol engine: runs the pass of SATELLITE (a \"Name\" of the "
                                         "station settings) with its window, or with --headless on the terminal.");
    double pass_seconds = a.host.pass_seconds, clock_rate = a.host.clock_rate,
           checkpoint_seconds = a.host.checkpoint_seconds;
    long seed = long(a.host.seed);
    cli.positional("SATELLITE", a.satellite, "The satellite whose pass this is", false)
        .flag("--headless", a.headless, "No window: the status list goes to the terminal")
        .option("--replay", a.replay, "Feed a KISS capture through the receive path of SATELLITE's pass", "FILE.KSS")
        .option("--port", a.host.port_override, "The TNC's device or host:port instead of the satellite's", "DEVICE")
        .option("--pass-seconds", pass_seconds, "End the pass after this much station time (0: when the station closes it)", "N", 0.001, 1e9)
        .option("--clock-rate", clock_rate, "Run station time X times faster (default 1)", "X", 0.001, 1e6)
        .option("--checkpoint-seconds", checkpoint_seconds, "Write the directory and hole files this often (default 5)", "N",
                0.001, 1e9)
        .option("--seed", seed, "Seed of the request scheduler's random choices", "N", 0, 2147483647)
        .footer("The pass ends when the station closes it, after --pass-seconds of station time, or on Ctrl+C.");
    if (auto code = cli.parse(argc, argv))
        return code;
    a.host.pass_seconds = pass_seconds;
    a.host.clock_rate = clock_rate;
    a.host.checkpoint_seconds = checkpoint_seconds;
    a.host.seed = std::uint64_t(seed);
    if (!a.replay.empty()) {
        a.headless = true;
        a.host.offline = true;
        if (a.satellite.empty())
            return cli.usage_error("--replay needs the satellite whose pass it replays");
    }
    if (a.headless && a.satellite.empty())
        return cli.usage_error("--headless needs a satellite");
    return std::nullopt;
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
    if (auto rc = parse(argc, argv, a))
        return *rc;
    return a.headless ? run_headless(argc, argv, a) : run_window(argc, argv, a);
}

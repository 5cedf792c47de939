#include "mailproc/app/dispo_hosts.h"

#include "platform/dbus/session_bus.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>

#include <chrono>
#include <cstdio>


namespace orva::mailproc {

using namespace std::chrono_literals;

void SuiteNewMailSound::play()
{
    if (type_ == 2) {
        if (beep_)
            beep_();
    } else if (type_ == 3) {
        std::this_thread::sleep_for(250ms);
        if (!wav_.empty()) {
            platform::Launcher launcher;
            // Whichever player the desktop has; none is no sound, never an error.
            for (const char* player : {"paplay", "aplay", "pw-play"}) {
                auto p = launcher.start(std::vector<std::string>{player, wav_});
                if (p) {
                    [[maybe_unused]] auto ended = p->wait_or_kill(60s);
                    break;
                }
            }
        }
        std::this_thread::sleep_for(250ms);
    }
}

BusWindowPoster::BusWindowPoster() : messenger_(platform::dbus::session_messenger()) {}

void BusWindowPoster::post(std::string_view window_class, std::string_view title, std::uint32_t number,
    std::uint64_t wparam, std::int64_t lparam)
{
    platform::WindowAddress to{std::string(window_class), std::string(title)};
    platform::WindowMessage message{number, static_cast<std::uint32_t>(wparam), static_cast<std::int32_t>(lparam)};
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app, [messenger = messenger_, to, message] { (void)messenger->post(to, message); }, Qt::QueuedConnection);
}

DispoWorker::DispoWorker(DispoConfig config, std::function<void(const std::string&)> status,
    std::function<void()> done, std::function<void()> beep)
    : config_(std::move(config)), status_(std::move(status)), done_(std::move(done)),
      sound_(config_.sound_type, config_.new_mail_wav, std::move(beep))
{
}

void DispoWorker::wait()
{
    if (thread_.joinable())
        thread_.join();
}

DispoWorker::~DispoWorker()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void DispoWorker::start()
{
    thread_ = std::thread([this] {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 5); // below normal
        DispoHost host{runner_, poster_, sound_, status_, [](std::chrono::milliseconds ms) {
                           std::this_thread::sleep_for(ms);
                       },
            [this] { return stop_.load(); }};
        DispoRun run(config_, host);
        run.run();
        if (done_)
            done_();
    });
}

} // namespace orva::mailproc

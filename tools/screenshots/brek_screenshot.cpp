// brek-screenshot SAT --port PTY --out FILE.png [--seconds N] [--pass-seconds N]
// Runs Brek's window over a real session on the given TNC port for N seconds, the way the station
// program would start it (pass end from message 2042), asks for every file the directory shows,
// then saves the window as a picture. Kept so the README's screenshot can be retaken.
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/app/link_port.h"
#include "engine/log/satellite_clock.h"
#include "engine/session/brek_session.h"
#include "engine/window/brek_window.h"
#include "engine/window/status_list_view.h"
#include "platform/store/store.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <strings.h>
#include <unistd.h>

namespace {

using namespace orva;
namespace fs = std::filesystem;

struct NoClock final : engine::SystemClockSetter {
    Status set_utc(std::chrono::system_clock::time_point) override { return make_error("not set by the screenshot"); }
};

class ShotHost final : public engine::SessionHost {
public:
    ShotHost(platform::Store& store, std::string port) : store_(store), port_(std::move(port)) {}
    engine::BrekSession* session = nullptr;

    std::uint64_t now_ms() override
    {
        return std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count());
    }
    Status open_tnc(const settings::SatelliteRecord& rec) override
    {
        auto fd = engine::open_serial_device(port_, rec.speed);
        if (!fd)
            return fd.error();
        fd_ = *fd;
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            std::uint8_t buf[4096];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0)
                session->feed_tnc(std::span(buf, std::size_t(n)));
        });
        return {};
    }
    void write_tnc(std::span<const std::uint8_t> b) override
    {
        std::size_t off = 0;
        while (fd_ >= 0 && off < b.size()) {
            const ssize_t n = ::write(fd_, b.data() + off, b.size() - off);
            if (n > 0)
                off += std::size_t(n);
            else if (n < 0 && errno != EINTR && errno != EAGAIN)
                break;
        }
    }
    void close_tnc() override
    {
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    bool window_exists(const platform::WindowAddress&) override { return false; }
    Status post_message(const platform::WindowAddress&, const platform::WindowMessage&) override { return {}; }
    void set_title(const std::string&) override {}
    Status launch(const std::vector<std::string>&, platform::ShowMode, const fs::path&) override { return {}; }
    std::optional<settings::SatelliteRecord> find_satellite(const std::string& name) override
    {
        auto r = settings::read_satellite(store_, name, settings::Program::Brek);
        if (!r)
            return std::nullopt;
        return *r;
    }
    std::vector<settings::SatelliteRecord> satellites() override
    {
        std::vector<settings::SatelliteRecord> all;
        for (const auto& n : settings::list_satellites(store_))
            if (auto r = find_satellite(n))
                all.push_back(*r);
        return all;
    }
    engine::SystemClockSetter& clock_setter() override { return clock_; }

private:
    platform::Store& store_;
    std::string port_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    NoClock clock_;
};

// Asks for each file the directory shows, as an operator would from the Fill box.
struct FillEverything final : engine::SessionObserver {
    engine::BrekSession* session = nullptr;
    std::set<std::uint32_t> asked;
    void on_status_line(const engine::StatusLine& line) override
    {
        const std::uint32_t n = engine::directory_line_file(line);
        if (n && asked.insert(n).second)
            QTimer::singleShot(0, [this, n] { session->fill_file(n, false); });
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::string satellite, port, out;
    double seconds = 30, pass_seconds = 600;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--port") port = next();
        else if (a == "--out") out = next();
        else if (a == "--seconds") seconds = std::atof(next().c_str());
        else if (a == "--pass-seconds") pass_seconds = std::atof(next().c_str());
        else if (satellite.empty() && !a.empty() && a[0] != '-') satellite = a;
        else {
            std::fprintf(stderr, "usage: brek-screenshot SAT --port PTY --out FILE.png [--seconds N] [--pass-seconds N]\n");
            return 2;
        }
    }
    if (satellite.empty() || port.empty() || out.empty()) {
        std::fprintf(stderr, "usage: brek-screenshot SAT --port PTY --out FILE.png [--seconds N] [--pass-seconds N]\n");
        return 2;
    }
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "brek-screenshot: %s\n", store.error().message.c_str());
        return 1;
    }
    engine::SessionConfig config;
    config.station = settings::read_station(*store, settings::Program::Brek);
    config.general = settings::read_general(*store, settings::Program::Brek);
    ShotHost host(*store, port);
    engine::BrekSession session(config, host);
    host.session = &session;
    FillEverything fill;
    fill.session = &session;
    session.add_observer(&fill);

    engine::BrekWindow window(session, &*store);
    window.show_placed();
    window.resize(760, 620);
    session.start(satellite);
    if (!session.pass_open()) {
        std::fprintf(stderr, "brek-screenshot: no pass opened for %s\n", satellite.c_str());
        return 1;
    }
    // What the station program sends at the start of a pass.
    const auto start_s = std::int64_t(host.now_ms() / 1000);
    session.on_window_message({engine::kMsgPassEnd, 0, std::int32_t(start_s + std::int64_t(pass_seconds))});

    QTimer poll;
    poll.setSingleShot(true);
    std::function<void()> arm = [&] {
        session.poll();
        const auto due = session.next_deadline();
        const std::uint64_t now = host.now_ms();
        poll.start(due ? int(std::clamp<std::uint64_t>(*due > now ? *due - now : 0, 0, 200)) : 200);
    };
    QObject::connect(&poll, &QTimer::timeout, arm);
    arm();
    int rc = 0;
    QTimer::singleShot(int(seconds * 1000), [&] {
        if (!window.grab().save(QString::fromStdString(out), "PNG")) {
            std::fprintf(stderr, "brek-screenshot: cannot write %s\n", out.c_str());
            rc = 1;
        }
        app.quit();
    });
    app.exec();
    session.remove_observer(&fill);
    session.request_close();
    return rc;
}

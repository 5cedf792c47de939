// helmo-map [SATELLITE] [--at ISO-TIME] [--fast] [--size WxH] [--out FILE.png]: the map window on
// its own, over the station's store, for a look at the map without the rest of Helmo. With
// --out it saves the window as a picture after its first rounds and ends (the README's
// screenshot, testbed/screenshots/map.sh).
#include <QApplication>
#include <QKeyEvent>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "common/station_time.h"
#include "platform/dbus/session_bus.h"
#include "platform/options/program_options.h"
#include "station/app/map_window.h"

using namespace orva;

namespace {

// A clock that runs from a chosen start at the real rate.
class ShiftedClock final : public platform::Clock {
public:
    explicit ShiftedClock(platform::Duration shift) : shift_(shift) {}
    platform::TimePoint now() const override { return platform::SystemClock::instance().now() + shift_; }
    bool wait_until(std::mutex& m, std::condition_variable_any& cv, platform::TimePoint deadline, std::stop_token stop,
                    const std::function<bool()>& pred) const override
    {
        return platform::SystemClock::instance().wait_until(m, cv, deadline - shift_, stop, pred);
    }

private:
    platform::Duration shift_;
};

} // namespace

int main(int argc, char** argv)
{
    std::string satellite, at, out_text, size;
    platform::Duration shift{};
    bool fast = false;
    int width = 0, height = 0;
    platform::ProgramOptions cli("helmo-map", "The station's map window on its own, over the station's store.");
    cli.positional("SATELLITE", satellite, "Show this satellite (or \"The Sun\") on the map", false)
        .option("--at", at, "Start the map's clock at this UTC time, such as 2026-12-09T12:00Z", "TIME")
        .flag("--fast", fast, "Fast mode: many updates per orbit")
        .option("--size", size, "The window's size, such as 1040x700", "WxH")
        .option("--out", out_text, "Save the window as a picture after its first rounds and end", "FILE.png");
    if (auto code = cli.parse(argc, argv))
        return *code;
    if (cli.given("--at")) {
        auto t = parse_iso8601(at);
        if (!t)
            return cli.usage_error(at + " is not a time such as 2026-12-09T12:00Z");
        shift = platform::TimePoint(*t) - platform::SystemClock::instance().now();
    }
    if (cli.given("--size") && (std::sscanf(size.c_str(), "%dx%d", &width, &height) != 2 || width < 100 || height < 100))
        return cli.usage_error("--size takes WIDTHxHEIGHT, such as 1040x700");
    QApplication app(argc, argv);
    QString out = QString::fromLocal8Bit(out_text.c_str());
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "helmo-map: %s\n", store.error().message.c_str());
        return 1;
    }
    ShiftedClock clock(shift);
    station::map::MapWindow window(*store, clock, {});
    auto messenger = platform::dbus::session_messenger();
    if (messenger)
        (void)window.register_window(*messenger);
    if (!satellite.empty() && !window.show_on_map(satellite)) {
        std::fprintf(stderr, "helmo-map: no satellite %s in the element database\n", satellite.c_str());
        return 1;
    }
    if (fast) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_F, Qt::NoModifier, QStringLiteral("F"));
        QApplication::sendEvent(&window, &key);
    }
    if (width > 0)
        window.resize(width, height);
    window.show();
    if (out.isEmpty())
        return app.exec();
    bool saved = false;
    QTimer::singleShot(1500, &window, [&] {
        saved = window.grab().save(out);
        QApplication::quit();
    });
    QApplication::exec();
    if (!saved) {
        std::fprintf(stderr, "helmo-map: could not write %s\n", out.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

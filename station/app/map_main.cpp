// helmo-map [SATELLITE] [--at ISO-TIME] [--fast]: the map window on its own, over the station's
// store, for a look at the map without the rest of Helmo (and for its screenshot).
#include <QApplication>
#include <QKeyEvent>

#include <cstdio>
#include <cstring>

#include "common/station_time.h"
#include "platform/dbus/session_bus.h"
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
    QApplication app(argc, argv);
    std::string satellite;
    platform::Duration shift{};
    bool fast = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--at") == 0 && i + 1 < argc) {
            auto t = parse_iso8601(argv[++i]);
            if (!t) {
                std::fprintf(stderr, "helmo-map: %s is not a time such as 2026-12-09T12:00Z\n", argv[i]);
                return 2;
            }
            shift = platform::TimePoint(*t) - platform::SystemClock::instance().now();
        } else if (std::strcmp(argv[i], "--fast") == 0) {
            fast = true;
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: helmo-map [SATELLITE | \"The Sun\"] [--at 2026-12-09T12:00Z] [--fast]\n");
            return 2;
        } else {
            satellite = argv[i];
        }
    }
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
    window.show();
    return app.exec();
}

// map-screenshot --out FILE.png [--at ISO-TIME] [--size WxH]: the map window following AO-16
// in the middle of a pass of the demo station (`orva setup --demo`), saved as a picture. The
// element set is the demo's own, moved so that the pass begins at the chosen time, as
// `orva demo` does. Kept so the README's screenshot can be retaken (testbed/screenshots/map.sh).
#include "common/elements/kep_database.h"
#include "common/elements/observer_file.h"
#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "platform/clock.h"
#include "platform/store/store.h"
#include "station/app/map_window.h"
#include "station/orbit/sat_track.h"
#include "cli/demo/demo_pass.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>

using namespace orva;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString out = QStringLiteral("map.png");
    std::string at = "2026-12-09T11:40:00Z";
    int width = 1040, height = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            out = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--at") && i + 1 < argc)
            at = argv[++i];
        else if (!std::strcmp(argv[i], "--size") && i + 1 < argc)
            std::sscanf(argv[++i], "%dx%d", &width, &height);
        else {
            std::fprintf(stderr, "usage: map-screenshot --out FILE.png [--at 2026-12-09T11:40:00Z] [--size WxH]\n");
            return 2;
        }
    }
    auto when = parse_iso8601(at);
    if (!when) {
        std::fprintf(stderr, "map-screenshot: %s is not a time\n", at.c_str());
        return 2;
    }
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "map-screenshot: %s\n", store.error().message.c_str());
        return 1;
    }
    const auto st = settings::read_station(*store, settings::Program::Helmo);
    const std::filesystem::path suite = settings::read_general(*store, settings::Program::Helmo).orva_directory;
    const auto site = elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude, st.altitude);

    tools::PassWanted wanted;
    wanted.aos = when->time_since_epoch().count();
    wanted.shortest_s = 480;
    wanted.longest_s = 720;
    auto pass = tools::element_set_for_pass(tools::demo_orbit_ao16(), site, wanted);
    if (!pass) {
        std::fprintf(stderr, "map-screenshot: %s\n", pass.error().message.c_str());
        return 1;
    }
    elements::KepDatabase db;
    db.add_record(pass->record);
    elements::KepRecord uo = tools::demo_orbit_uo22();
    uo = tools::shifted_orbit(uo, double(wanted.aos) - station::epoch_unix_seconds(uo.epoch_year, uo.epoch_day));
    db.add_record(uo);
    if (auto s = db.save(elements::kep_database_path(suite)); !s) {
        std::fprintf(stderr, "map-screenshot: %s\n", s.error().message.c_str());
        return 1;
    }
    // Two more observers, as an operator would add them with Change Observers.
    elements::ObserverFile observers(elements::observer_file_path(suite));
    (void)observers.store_observer({"W1AW Newington", 41.715, -72.727, 30});
    (void)observers.store_observer({"VK2 Sydney", -33.87, 151.2, 50});

    const std::int64_t middle = pass->aos + (pass->los - pass->aos) / 2;
    platform::ManualClock clock{platform::TimePoint(std::chrono::seconds(middle))};
    station::map::MapWindow::Options options;
    options.run_timer = false;
    station::map::MapWindow window(*store, clock, options);
    if (!window.show_on_map("AO-16")) {
        std::fprintf(stderr, "map-screenshot: AO-16 is not in the element database\n");
        return 1;
    }
    window.set_observer_names({"W1AW Newington", "VK2 Sydney"});
    window.show();
    QApplication::processEvents();
    if (height == 0) // the picture's own proportions at this width
        height = window.height() - window.canvas()->height() + width * 260 / 520;
    window.resize(width, height);
    std::printf("AO-16 pass %s to %s; map at %s\n", format_iso8601(StationTime(std::chrono::seconds(pass->aos))).c_str(),
                format_iso8601(StationTime(std::chrono::seconds(pass->los))).c_str(),
                format_iso8601(StationTime(std::chrono::seconds(middle))).c_str());
    bool saved = false;
    QTimer::singleShot(500, &window, [&] {
        window.update_round();
        QTimer::singleShot(300, &window, [&] {
            saved = window.grab().save(out);
            QApplication::quit();
        });
    });
    QApplication::exec();
    if (!saved) {
        std::fprintf(stderr, "map-screenshot: could not write %s\n", out.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

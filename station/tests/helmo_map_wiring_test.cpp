// Helmo's main window with the map: Graphic Track, Select Map Font, Display on Map from the
// tracking table, the reload after an element edit and the rotor dials, offscreen over a real
// store and host on a manual clock.
#include "common/elements/kep_database.h"
#include "common/settings/keys.h"
#include "common/settings/suite_settings.h"
#include "station/app/station_host.h"
#include "station/app/window/main_window.h"
#include "station/app/window/menu_table.h"
#include "station/tests/map_satellite.h"
#include "station/tests/station_store_fixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>

#include <filesystem>

namespace orva::station {
namespace {

namespace fs = std::filesystem;

TEST(HelmoMapWiring, MainWindowOpensAndFeedsTheMap)
{
    const fs::path dir = fs::temp_directory_path() / ("orva-helmo-map-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store);
        ASSERT_NO_FATAL_FAILURE(testing::write_home(*store, dir));
        ASSERT_TRUE(store->write_string(settings::keys::helmo, "Tracking", "AO-16~"));
        elements::KepDatabase db;
        db.add_record(testing::map_satellite());
        ASSERT_TRUE(db.save(elements::kep_database_path(dir)));
    }
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store);
    platform::ManualClock clock{platform::TimePoint(std::chrono::seconds(1796817600))};
    {
        MainWindow window;
        HostOptions options;
        options.clock = &clock;
        StationHost host(std::move(*store), window, options);
        window.attach(host);
        ASSERT_TRUE(host.start());
        window.started();

        ASSERT_TRUE(window.action(143) && window.action(143)->isEnabled());
        ASSERT_TRUE(window.action(40001) && window.action(40001)->isEnabled());
        EXPECT_EQ(window.map_window(), nullptr);
        window.run_command(143);
        ASSERT_NE(window.map_window(), nullptr);
        EXPECT_TRUE(window.map_window()->isVisible());
        map::MapWindow* first = window.map_window();
        window.run_command(143); // forward again, not a second window
        EXPECT_EQ(window.map_window(), first);

        window.refresh(host.now());
        int row = -1;
        for (int i = 0; i < window.tracking_table()->count(); ++i)
            if (window.tracking_table()->item(i)->data(Qt::UserRole).toString() == "AO-16")
                row = i;
        ASSERT_GE(row, 0);
        window.tracking_row_command(kDisplayOnMap, row);
        EXPECT_EQ(window.map_window()->view().subject_name(), "AO-16");
        EXPECT_TRUE(window.map_window()->action("Track with Rotator")->isEnabled());

        // An element edit: the host reloads and the map finds its satellite by number.
        {
            auto db = elements::KepDatabase::load(elements::kep_database_path(dir));
            ASSERT_TRUE(db);
            db->slot(0).name = "AO-16B";
            ASSERT_TRUE(db->save(elements::kep_database_path(dir)));
        }
        host.reload_elements();
        QApplication::processEvents();
        EXPECT_EQ(window.map_window()->view().subject_name(), "AO-16B");

        // A pass shown on the map when "Map Display" is on.
        window.display_on_map("AO-16B");
        QApplication::processEvents();
        EXPECT_EQ(window.map_window()->view().subject_name(), "AO-16B");

        ASSERT_NE(window.rotor_display(), nullptr);
        window.rotor_display()->set_position(123, 45);
        EXPECT_EQ(window.rotor_display()->azimuth_text(), "Az 123");
        window.close();
        host.shutdown();
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace orva::station

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

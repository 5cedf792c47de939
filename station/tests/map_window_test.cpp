// The map window offscreen over a real store (SQLite) and real element and observer files in a
// temporary suite folder, on a manual clock; the dialogs' answers come from the test.
#include "common/elements/kep_database.h"
#include "common/elements/observer_file.h"
#include "common/settings/keys.h"
#include "common/settings/suite_settings.h"
#include "platform/dbus/session_bus.h"
#include "station/app/map_window.h"
#include "station/app/rotor_display.h"
#include "station/app/world_picture.h"
#include "station/map/map_text.h"
#include "station/tests/map_satellite.h"
#include "station/tests/station_store_fixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace orva::station::map {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::int64_t kNoon = 1796817600; // 2026-12-09 12:00:00 UTC

struct ScriptedDialogs final : MapDialogs {
    std::vector<std::string> offered;
    std::optional<std::string> satellite;
    std::vector<std::string> observers_available, observers_before;
    std::optional<std::vector<std::string>> observers;
    std::optional<int> speed;
    std::optional<QFont> font;
    std::vector<std::string> errors;

    std::optional<std::string> choose_satellite(QWidget*, const std::vector<std::string>& names,
                                                const std::string&) override
    {
        offered = names;
        return satellite;
    }
    std::optional<std::vector<std::string>> choose_observers(QWidget*, const std::string&,
                                                             const std::vector<std::string>& available,
                                                             const std::vector<std::string>& chosen) override
    {
        observers_available = available;
        observers_before = chosen;
        return observers;
    }
    std::optional<int> ask_speed(QWidget*, int) override { return speed; }
    std::optional<QFont> choose_font(QWidget*, const QFont&) override { return font; }
    void show_error(QWidget*, const std::string& text) override { errors.push_back(text); }
};

class MapWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("orva-map-" + std::to_string(::getpid()) + "-"
                                            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        auto s = platform::Store::open(dir_ / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s);
        store_.emplace(std::move(*s));
        settings::StationSettings st;
        st.callsign = "G0XYZ";
        st.latitude = 52;
        st.longitude = 1; // west positive
        st.altitude = 20;
        ASSERT_NO_FATAL_FAILURE(station::testing::write_home(*store_, dir_, st));

        elements::KepDatabase db;
        elements::KepRecord r = station::testing::map_satellite();
        r.beacon_mhz = 437.025;
        ASSERT_GE(db.add_record(r), 0);
        ASSERT_TRUE(db.save(elements::kep_database_path(dir_)));
        elements::ObserverFile obs(dir_ / "ORVA.OBS");
        ASSERT_TRUE(obs.store_observer({"Boston", 42.36, -71.06, 10}));
        ASSERT_TRUE(obs.store_observer({"Sydney", -33.87, 151.2, 50}));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::unique_ptr<MapWindow> open(MapWindow::Options extra = {})
    {
        extra.dialogs = &dialogs_;
        extra.run_timer = false;
        extra.picture = plain_world_picture();
        return std::make_unique<MapWindow>(*store_, clock_, std::move(extra));
    }
    settings::HelmoSettings stored() const { return settings::read_helmo(*store_); }

    fs::path dir_;
    std::optional<platform::Store> store_;
    platform::ManualClock clock_{platform::TimePoint(std::chrono::seconds(kNoon))};
    ScriptedDialogs dialogs_;
};

TEST_F(MapWindowTest, KeysDriveTheMapTime)
{
    auto w = open();
    EXPECT_EQ(w->windowTitle(), "Helmo - Graphic Tracking");
    EXPECT_FALSE(w->view().has_subject());
    ASSERT_TRUE(w->show_on_map("ao-16")); // names match without regard to case
    EXPECT_EQ(w->panel_text()[0].left(15), "AO-16          ");
    EXPECT_EQ(w->view().map_time(), kNoon);

    clock_.advance(10s);
    w->update_round();
    EXPECT_EQ(w->view().map_time(), kNoon + 10);

    QTest::keyClick(w.get(), Qt::Key_D); // normal mode: nothing
    EXPECT_EQ(w->view().direction(), MapDirection::Forward);
    QTest::keyClick(w.get(), Qt::Key_P);
    EXPECT_TRUE(w->view().paused());
    EXPECT_TRUE(w->panel_text()[2].contains("paused"));
    clock_.advance(10s);
    w->update_round();
    EXPECT_EQ(w->view().map_time(), kNoon + 10);
    QTest::keyClick(w.get(), Qt::Key_Space);
    EXPECT_FALSE(w->view().paused());

    EXPECT_EQ(w->round_interval_ms(), 977);
    QTest::keyClick(w.get(), Qt::Key_F);
    EXPECT_EQ(w->view().mode(), MapMode::Fast);
    EXPECT_EQ(w->round_interval_ms(), 2);
    EXPECT_EQ(w->view().step(), 60);
    QTest::keyClick(w.get(), Qt::Key_Up);
    EXPECT_EQ(w->view().step(), 73);
    QTest::keyClick(w.get(), Qt::Key_Down);
    QTest::keyClick(w.get(), Qt::Key_Down);
    EXPECT_EQ(w->view().step(), 46);
    w->update_round();
    EXPECT_EQ(w->view().map_time(), kNoon + 10 + 46);
    QTest::keyClick(w.get(), Qt::Key_D);
    EXPECT_EQ(w->view().direction(), MapDirection::Backward);
    w->update_round();
    w->update_round();
    EXPECT_EQ(w->view().map_time(), kNoon + 10 + 46 - 92);
    EXPECT_TRUE(w->panel_text()[2].contains("backward"));

    clock_.advance(5s);
    QTest::keyClick(w.get(), Qt::Key_F);
    EXPECT_EQ(w->view().mode(), MapMode::Normal);
    EXPECT_EQ(w->view().map_time(), kNoon + 25);
}

TEST_F(MapWindowTest, SelectSatelliteOffersTheDatabaseAndTheSun)
{
    auto w = open();
    dialogs_.satellite = "The Sun";
    w->select_satellite();
    ASSERT_EQ(dialogs_.offered.size(), 2u);
    EXPECT_EQ(dialogs_.offered[0], "AO-16");
    EXPECT_EQ(dialogs_.offered[1], "The Sun");
    EXPECT_TRUE(w->view().showing_sun());
    EXPECT_EQ(w->panel_text()[0].left(15), "The Sun        ");
    EXPECT_EQ(stored().map_sat, "The Sun");
    EXPECT_FALSE(w->action("Edit keplerian elements...")->isEnabled());

    // An unknown name changes nothing.
    EXPECT_FALSE(w->show_on_map("NOSUCH"));
    EXPECT_TRUE(w->view().showing_sun());

    // A new window opens on the stored choice.
    dialogs_.satellite = "AO-16";
    w->select_satellite();
    auto again = open();
    EXPECT_EQ(again->view().subject_name(), "AO-16");
}

TEST_F(MapWindowTest, OptionMenusAreStored)
{
    auto w = open();
    ASSERT_TRUE(w->show_on_map("AO-16"));
    QAction* circle = w->action("Map Circle Norm");
    ASSERT_TRUE(circle);
    EXPECT_TRUE(circle->isChecked());
    circle->trigger();
    EXPECT_EQ(stored().map_circle_norm, 0u);
    EXPECT_EQ(stored().map_circle_fast, 1u);
    EXPECT_FALSE(w->view().switches().circle);
    EXPECT_TRUE(w->view().shapes().circle.empty());

    w->action("80E")->trigger();
    EXPECT_EQ(stored().map_origin, 2u);
    EXPECT_EQ(w->view().options().origin, 2);

    dialogs_.speed = 250;
    w->choose_speed();
    EXPECT_EQ(stored().map_speed, 250u);
    QTest::keyClick(w.get(), Qt::Key_F);
    EXPECT_EQ(w->view().step(), fast_step(14.3, 250));

    QFont f = QFont(QStringLiteral("Monospace"));
    f.setPixelSize(16);
    dialogs_.font = f;
    w->choose_font();
    EXPECT_EQ(stored().map_font_size, 16u);
    EXPECT_EQ(stored().map_font_pitch, 1u);
    EXPECT_EQ(stored_map_font(stored()).pixelSize(), 16);
    EXPECT_TRUE(QFontInfo(stored_map_font(stored())).fixedPitch());

    // A second window starts with what was stored.
    auto again = open();
    EXPECT_EQ(again->view().options().origin, 2);
    EXPECT_FALSE(again->action("Map Circle Norm")->isChecked());
    EXPECT_TRUE(again->action("80E")->isChecked());
}

TEST_F(MapWindowTest, ChangeObserversKeepsResolvedNamesAndGrowsThePanel)
{
    auto w = open();
    ASSERT_TRUE(w->show_on_map("AO-16"));
    w->show();
    QApplication::processEvents();
    const int lines = w->panel_text().size();
    const int height = w->height();
    dialogs_.observers = std::vector<std::string>{"Boston", "Nowhere", "Sydney"};
    w->change_observers();
    EXPECT_EQ(dialogs_.observers_available, (std::vector<std::string>{"Boston", "Sydney"}));
    EXPECT_TRUE(dialogs_.observers_before.empty());
    ASSERT_EQ(w->view().observers().size(), 3u);
    EXPECT_EQ(w->view().observers()[0].name, "G0XYZ");
    EXPECT_EQ(w->panel_text().size(), lines + 2);
    EXPECT_TRUE(w->panel_text().last().startsWith("Sydney"));
    EXPECT_GT(w->height(), height);

    dialogs_.observers.reset(); // cancelled: nothing changes
    w->change_observers();
    EXPECT_EQ(dialogs_.observers_before, (std::vector<std::string>{"Boston", "Sydney"}));
    EXPECT_EQ(w->view().observers().size(), 3u);
}

TEST_F(MapWindowTest, ScaledMapDrawsAndReadsPositionsAtTheReferenceGeometry)
{
    auto w = open();
    ASSERT_TRUE(w->show_on_map("AO-16"));
    w->show();
    w->resize(1100, 800);
    QApplication::processEvents();
    QWidget* canvas = w->canvas();
    ASSERT_GE(canvas->width(), 1000);
    const double scale = std::min(canvas->width() / 520.0, canvas->height() / 260.0);
    const double left = (canvas->width() - 520 * scale) / 2.0;
    ASSERT_GT(scale, 1.5);

    // The pixel under the cursor reads back as the place drawn there, for every origin.
    for (const char* origin : {"170W", "30W", "80E"}) {
        w->action(origin)->trigger();
        const int o = w->view().options().origin;
        for (int x : {3, 130, 257, 400, 516}) {
            const QPoint at(int(left + (x + 0.5) * scale), int((100 + 0.5) * scale));
            auto pos = w->position_at(at);
            ASSERT_TRUE(pos);
            const Pixel back = map_pixel(pos->latitude_deg, pos->longitude_west_deg, o);
            EXPECT_LE(std::min(std::abs(back.x - x), 520 - std::abs(back.x - x)), 1) << origin << " " << x;
            EXPECT_LE(std::abs(back.y - 100), 1);
        }
    }

    // The marker is drawn at the satellite's scaled place: red there, none elsewhere on the
    // plain picture.
    w->action("170W")->trigger();
    const QImage shot = canvas->grab().toImage();
    const Pixel m = *w->view().shapes().marker;
    auto red = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 120 && qBlue(c) < 120; };
    bool found = false;
    for (int dy = -3; dy <= 3 && !found; ++dy)
        for (int dx = -3; dx <= 3 && !found; ++dx) {
            const int px = int(left + (m.x + 0.5) * scale) + dx, py = int((m.y + 0.5) * scale) + dy;
            if (px >= 0 && py >= 0 && px < shot.width() && py < shot.height())
                found = red(shot.pixel(px, py));
        }
    EXPECT_TRUE(found);
    const int fx = int(left + ((m.x + 260) % 520 + 0.5) * scale), fy = int(((m.y + 130) % 260 + 0.5) * scale);
    EXPECT_FALSE(red(shot.pixel(fx, fy)));
}

TEST_F(MapWindowTest, OpenMapReusesTheWindowAndPlacesItAsStored)
{
    settings::HelmoSettings h = stored();
    h.map_x_left = 100;
    h.map_y_top = 120;
    ASSERT_TRUE(settings::write_helmo(*store_, h));
    std::unique_ptr<MapWindow> w;
    MapWindow::Options o;
    o.dialogs = &dialogs_;
    o.run_timer = false;
    MapWindow& first = open_map(w, *store_, clock_, o);
    EXPECT_EQ(first.pos(), QPoint(100, 120));
    EXPECT_EQ(&open_map(w, *store_, clock_, o), &first);
    EXPECT_TRUE(first.isVisible());
    first.move(140, 160);
    first.close();
    EXPECT_EQ(stored().map_x_left, 140u);
    EXPECT_EQ(stored().map_y_top, 160u);

    // A position off the screen is left to the system.
    h = stored();
    h.map_x_left = std::uint32_t(-500);
    ASSERT_TRUE(settings::write_helmo(*store_, h));
    auto again = open();
    EXPECT_NE(again->pos().x(), -500);
}

TEST_F(MapWindowTest, MenuHooksAreGreyedUntilTheMainWindowSetsThem)
{
    auto plain = open();
    ASSERT_TRUE(plain->show_on_map("AO-16"));
    EXPECT_FALSE(plain->action("Edit keplerian elements...")->isEnabled());
    EXPECT_FALSE(plain->action("Track with Rotator")->isEnabled());

    std::vector<std::string> edited;
    std::vector<std::pair<std::string, bool>> tracked;
    MapWindow::Options o;
    o.edit_elements = [&](const std::string& name) { edited.push_back(name); };
    o.track_with_rotator = [&](const std::string& name, bool on) { tracked.emplace_back(name, on); };
    auto w = open(o);
    ASSERT_TRUE(w->show_on_map("AO-16"));
    w->action("Edit keplerian elements...")->trigger();
    EXPECT_EQ(edited, (std::vector<std::string>{"AO-16"}));
    w->action("Track with Rotator")->trigger();
    w->action("Track with Rotator")->trigger();
    ASSERT_EQ(tracked.size(), 2u);
    EXPECT_EQ(tracked[0], (std::pair<std::string, bool>{"AO-16", true}));
    EXPECT_EQ(tracked[1], (std::pair<std::string, bool>{"", false}));
}

TEST_F(MapWindowTest, ReloadFindsTheSatelliteByCatalogueNumber)
{
    auto w = open();
    ASSERT_TRUE(w->show_on_map("AO-16"));
    auto db = elements::KepDatabase::load(elements::kep_database_path(dir_));
    ASSERT_TRUE(db);
    db->slot(0).name = "PACSAT";
    db->slot(0).mean_motion = 14.0;
    ASSERT_TRUE(db->save(elements::kep_database_path(dir_)));
    w->reload_elements();
    EXPECT_EQ(w->view().subject_name(), "PACSAT");
    QTest::keyClick(w.get(), Qt::Key_F);
    EXPECT_EQ(w->view().step(), fast_step(14.0, 100));
}

TEST_F(MapWindowTest, OwnsItsBusNameWhileOpen)
{
    auto messenger = platform::dbus::session_messenger();
    if (!messenger || !std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "no session bus";
    auto w = open();
    ASSERT_TRUE(w->register_window(*messenger));
    auto other = platform::dbus::session_messenger();
    EXPECT_TRUE(other->exists({"HelmoCtl:Map", "Helmo - Graphic Tracking"}));
    w->close();
    EXPECT_FALSE(other->exists({"HelmoCtl:Map", ""}));
}

TEST(MapDialogsOnTheDesktop, ChangeObserversKeepsHomeFirstAndAtMostFive)
{
    auto dialogs = desktop_map_dialogs();
    std::vector<std::string> names = {"A", "B", "C", "D", "E", "F"};
    bool driven = false;
    QTimer::singleShot(0, [&] {
        QWidget* d = QApplication::activeModalWidget();
        ASSERT_TRUE(d);
        auto lists = d->findChildren<QListWidget*>();
        ASSERT_EQ(lists.size(), 2);
        QListWidget* file = lists[0];
        QListWidget* map = lists[1];
        QPushButton* add = nullptr;
        QPushButton* remove = nullptr;
        for (auto* b : d->findChildren<QPushButton*>()) {
            if (b->text() == "Add >>")
                add = b;
            if (b->text() == "<< Remove")
                remove = b;
        }
        ASSERT_TRUE(add && remove);
        EXPECT_EQ(map->item(0)->text(), "G0XYZ");
        for (int i = 0; i < 6; ++i) {
            file->setCurrentRow(i);
            add->click();
        }
        EXPECT_EQ(map->count(), 5); // the home station and four
        map->setCurrentRow(0);
        remove->click(); // the home station stays
        EXPECT_EQ(map->item(0)->text(), "G0XYZ");
        map->setCurrentRow(2);
        remove->click();
        EXPECT_EQ(map->count(), 4);
        driven = true;
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
    });
    auto chosen = dialogs->choose_observers(nullptr, "G0XYZ", names, {"A"});
    EXPECT_TRUE(driven);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, (std::vector<std::string>{"A", "C", "D"}));
}

TEST(RotorDisplay, DialsShowThePositionGiven)
{
    RotorDisplay d;
    d.resize(240, 140);
    d.set_position(90.4, 45.6);
    EXPECT_EQ(d.azimuth_text(), "Az  90");
    EXPECT_EQ(d.elevation_text(), "El  46");
    // East points right, 45 degrees of elevation up and right.
    EXPECT_GT(d.azimuth_tip().x(), d.azimuth_centre().x() + 10);
    EXPECT_NEAR(d.azimuth_tip().y(), d.azimuth_centre().y(), 1.5);
    const QPointF e = d.elevation_tip() - d.elevation_centre();
    EXPECT_NEAR(-e.y() / e.x(), std::tan(45.6 * 3.14159265 / 180), 0.01);

    auto red_at = [&](QPointF from, QPointF to) {
        const QImage shot = d.grab().toImage();
        const QPointF mid = (from + to) / 2;
        const QRgb c = shot.pixel(mid.toPoint());
        return qRed(c) > 150 && qGreen(c) < 80;
    };
    EXPECT_TRUE(red_at(d.azimuth_centre(), d.azimuth_tip()));
    const QPointF old_mid_from = d.azimuth_centre(), old_mid_to = d.azimuth_tip();
    d.set_position(270, 10);
    EXPECT_EQ(d.azimuth_text(), "Az 270");
    EXPECT_EQ(d.elevation_text(), "El  10");
    EXPECT_FALSE(red_at(old_mid_from, old_mid_to)); // the old pointer is gone
    EXPECT_TRUE(red_at(d.azimuth_centre(), d.azimuth_tip()));
}

TEST(WorldPicture, PackagedEarthImageAlignedWithTheProjection)
{
    const QImage plain = plain_world_picture();
    EXPECT_EQ(plain.size(), QSize(520, 260));
    // Rotation by the origin rule: column c goes to c + r.
    const QImage r = rotated_picture(plain, 2);
    for (int c : {0, 100, 357, 358, 519})
        EXPECT_EQ(r.pixel((c + picture_rotation(2)) % 520, 40), plain.pixel(c, 40));

    const QImage earth = world_picture_from(QString::fromLatin1(kEarthImage));
    if (earth.isNull())
        GTEST_SKIP() << "xplanet-images is not installed";
    ASSERT_EQ(earth.size(), QSize(520, 260));
    auto blue = [](QRgb c) { return qBlue(c) > qRed(c) + 15 && qBlue(c) > qGreen(c); };
    // Mid-Pacific and mid-Atlantic are sea; the Sahara and central Australia are not.
    const Pixel pacific = map_pixel(0, 150, 0), atlantic = map_pixel(-20, 25, 0);
    const Pixel sahara = map_pixel(23, -10, 0), australia = map_pixel(-25, -133, 0);
    EXPECT_TRUE(blue(earth.pixel(pacific.x, pacific.y)));
    EXPECT_TRUE(blue(earth.pixel(atlantic.x, atlantic.y)));
    EXPECT_FALSE(blue(earth.pixel(sahara.x, sahara.y)));
    EXPECT_FALSE(blue(earth.pixel(australia.x, australia.y)));
}

} // namespace
} // namespace orva::station::map

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

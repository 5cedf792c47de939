// The main window's Edit Schedule and Add Pass dialogs, its two help entries and its placement
// saved while it runs: offscreen, on a manual clock, over the real host and store.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/clock.h"
#include "station/app/window/dialogs.h"
#include "station/app/window/main_window.h"
#include "station/schedule/schedule_file.h"
#include "station/tests/helmo_test_station.h"

namespace orva::station {
namespace {

namespace fs = std::filesystem;
using testing::kReferenceStart;

QApplication& app() { return testing::offscreen_application("helmo_edit_schedule_test"); }

struct Messages {
    std::vector<std::string> seen;
    Messages() { set_message_sink([this](const QString& t, const QString&) { seen.push_back(t.toStdString()); }); }
    ~Messages()
    {
        set_message_sink([](const QString& t, const QString& c) {
            std::fprintf(stderr, "message box %s: %s\n", c.toStdString().c_str(), t.toStdString().c_str());
        });
    }
};

// Two satellites in the database and the store, both scheduled; no programs.
struct Station {
    fs::path dir;
    platform::ManualClock clock{platform::TimePoint{std::chrono::seconds(kReferenceStart)}};
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<StationHost> host;

    explicit Station(const std::string& tag)
        : dir(fs::temp_directory_path() / ("orva-helmo-edit-" + tag + "-" + std::to_string(::getpid())))
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        testing::write_helmo_test_station(dir, "TESTSAT~");
        app();
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        window = std::make_unique<MainWindow>();
        host = std::make_unique<StationHost>(std::move(*store), *window, HostOptions{&clock});
        window->attach(*host);
        Status s = host->start();
        EXPECT_TRUE(s.ok()) << (s ? "" : s.error().message);
        window->started();
        window->refresh(host->now());
    }
    ~Station()
    {
        if (host)
            host->shutdown();
        host.reset();
        window.reset();
        fs::remove_all(dir);
    }
    void step(std::int64_t seconds = 1)
    {
        clock.advance(std::chrono::seconds(seconds));
        host->step();
        QCoreApplication::processEvents();
    }
    void run_until(std::int64_t t)
    {
        while (host->now() < t)
            step();
    }
    // The schedule row of the first TESTSAT pass whose start is at least `ahead` seconds away.
    int row_ahead(std::int64_t ahead, PassEntry* out)
    {
        window->refresh(host->now());
        std::vector<PassEntry> list = host->core().schedule_snapshot();
        int row = 0;
        for (const PassEntry& e : list) {
            if (e.los < host->now())
                continue;
            if (e.name == "TESTSAT" && e.run_start - e.start_lead - host->now() > ahead) {
                *out = e;
                return row;
            }
            ++row;
        }
        ADD_FAILURE() << "no pass ahead";
        return -1;
    }
    RunningPass running() { return host->core().dispatcher_snapshot().running; }
};

void set_time(const std::array<QLineEdit*, 6>& fields, const TimeFields& f)
{
    for (std::size_t i = 0; i < 6; ++i)
        fields[i]->setText(QString::fromStdString(f[i]));
}

TEST(HelmoEditSchedule, EditedTimesAndPriorityAreWhatTheStationRuns)
{
    Station s("times");
    PassEntry e;
    int row = s.row_ahead(3600, &e);
    ASSERT_GE(row, 0);
    const std::int64_t new_aos = e.aos + 1500, new_los = e.los + 1500;
    bool opened = false;
    s.window->set_dialog_driver([&](QDialog& d) {
        auto* edit = qobject_cast<EditScheduleDialog*>(&d);
        ASSERT_NE(edit, nullptr);
        opened = true;
        EXPECT_EQ(edit->windowTitle(), "Edit pass of TESTSAT");
        // The fields show the pass in the clock's time.
        EXPECT_EQ(edit->aos_fields[0]->text().toStdString(), time_fields(e.aos, true, 0)[0]);
        EXPECT_EQ(edit->priority->text(), QString::number(e.priority));
        set_time(edit->aos_fields, time_fields(new_aos, true, 0));
        set_time(edit->los_fields, time_fields(new_los, true, 0));
        edit->priority->setText("7");
        edit->run_regardless->setChecked(true);
        EXPECT_TRUE(edit->press_ok());
    });
    s.window->schedule_row_command(kEditScheduling, row);
    ASSERT_TRUE(opened);
    bool found = false;
    for (const PassEntry& x : s.host->core().schedule_snapshot())
        if (x.name == "TESTSAT" && x.aos == new_aos) {
            found = true;
            EXPECT_EQ(x.los, new_los);
            EXPECT_EQ(x.priority, 7);
            EXPECT_EQ(x.run_regardless, 1);
        }
    ASSERT_TRUE(found);
    // The schedule row shows it at once.
    bool shown = false;
    for (int i = 0; i < s.window->schedule_list()->count(); ++i)
        shown = shown || s.window->schedule_list()->item(i)->text().contains(" 7 ");
    EXPECT_TRUE(shown);

    // Over the run: nothing at the old time, the pass at the new one.
    bool early = false;
    while (s.host->now() < new_aos - e.start_lead - 3) {
        s.step(std::min<std::int64_t>(5, new_aos - e.start_lead - 3 - s.host->now()));
        const RunningPass r = s.running();
        early = early || (r.running && r.name == "TESTSAT" && (r.aos == e.aos || r.aos == new_aos));
    }
    EXPECT_FALSE(early);
    s.run_until(new_aos + 5);
    ASSERT_TRUE(s.running().running);
    EXPECT_EQ(s.running().name, "TESTSAT");
    EXPECT_EQ(s.running().aos, new_aos);

    // The edited pass is in the schedule file written at exit.
    s.host->shutdown();
    LoadedSchedule saved = load_schedule_file(s.dir / kScheduleFileName);
    bool kept = false;
    for (const PassEntry& x : saved.entries)
        kept = kept || (x.name == "TESTSAT" && x.aos == new_aos && x.priority == 7);
    EXPECT_TRUE(kept);
}

TEST(HelmoEditSchedule, BadInputGetsItsMessageAndChangesNothing)
{
    Station s("bad");
    PassEntry e;
    int row = s.row_ahead(600, &e);
    ASSERT_GE(row, 0);
    const std::vector<PassEntry> before = s.host->core().schedule_snapshot();
    struct Case {
        std::function<void(EditScheduleDialog&)> change;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[](EditScheduleDialog& d) { d.priority->setText("0"); }, kPriorityOutOfRange},
        {[](EditScheduleDialog& d) { d.priority->setText(""); }, kPriorityOutOfRange},
        {[](EditScheduleDialog& d) { d.priority->setText("101"); }, kPriorityOutOfRange},
        {[](EditScheduleDialog& d) { d.aos_fields[3]->setText("32"); }, kBadAosFields},
        {[](EditScheduleDialog& d) { d.los_fields[0]->setText("x1"); }, kBadLosFields},
        {[](EditScheduleDialog& d) { d.aos_fields[4]->setText("13"); }, kBadAosFields},
        {[&](EditScheduleDialog& d) { set_time(d.los_fields, time_fields(e.aos - 60, true, 0)); }, kLosBeforeAos},
    };
    for (const Case& c : cases) {
        Messages m;
        bool stayed = false;
        s.window->set_dialog_driver([&](QDialog& d) {
            auto& edit = static_cast<EditScheduleDialog&>(d);
            c.change(edit);
            EXPECT_FALSE(edit.press_ok());
            stayed = edit.result() != QDialog::Accepted;
        });
        s.window->schedule_row_command(kEditScheduling, row);
        ASSERT_EQ(m.seen.size(), 1u) << c.message;
        EXPECT_EQ(m.seen[0], c.message);
        EXPECT_TRUE(stayed);
        EXPECT_EQ(s.host->core().schedule_snapshot(), before) << c.message;
    }
    // A priority outside 1-100 is taken, as 0, for a pass that does not run.
    s.window->set_dialog_driver([&](QDialog& d) {
        auto& edit = static_cast<EditScheduleDialog&>(d);
        edit.priority->setText("0");
        edit.status->setCurrentIndex(1);
        EXPECT_TRUE(edit.press_ok());
    });
    s.window->schedule_row_command(kEditScheduling, row);
    for (const PassEntry& x : s.host->core().schedule_snapshot())
        if (x.name == e.name && x.aos == e.aos) {
            EXPECT_EQ(x.priority, 0);
            EXPECT_EQ(x.dont_run, 1);
        }
}

TEST(HelmoEditSchedule, LocalTimeFieldsAreConvertedAndDeleteStopsThePass)
{
    Station s("local");
    s.window->set_display_utc(false);
    s.window->set_local_offset(-3600); // an hour east of UTC
    PassEntry e;
    int row = s.row_ahead(600, &e);
    ASSERT_GE(row, 0);
    s.window->set_dialog_driver([&](QDialog& d) {
        auto& edit = static_cast<EditScheduleDialog&>(d);
        // Shown an hour later than UTC; OK without a change keeps the same UTC times.
        EXPECT_EQ(edit.aos_fields[0]->text().toStdString(), time_fields(e.aos + 3600, true, 0)[0]);
        EXPECT_TRUE(edit.press_ok());
    });
    s.window->schedule_row_command(kEditScheduling, row);
    bool same = false;
    for (const PassEntry& x : s.host->core().schedule_snapshot())
        same = same || (x.name == e.name && x.aos == e.aos && x.los == e.los);
    EXPECT_TRUE(same);

    s.window->set_dialog_driver([&](QDialog& d) { EXPECT_TRUE(static_cast<EditScheduleDialog&>(d).press_delete()); });
    s.window->schedule_row_command(kEditScheduling, row);
    bool started = false;
    while (s.host->now() < e.los) {
        s.step(10);
        started = started || (s.running().running && s.running().aos == e.aos);
    }
    EXPECT_FALSE(started);
}

TEST(HelmoEditSchedule, TheRunningPassIsRefusedWithAClearMessage)
{
    Station s("running");
    PassEntry e;
    int row = s.row_ahead(120, &e);
    ASSERT_GE(row, 0);
    s.run_until(e.run_start + 20);
    ASSERT_TRUE(s.running().running);
    ASSERT_EQ(s.running().aos, e.aos);
    s.window->refresh(s.host->now());
    int running_row = -1;
    for (int i = 0; i < s.window->schedule_list()->count(); ++i)
        if (s.window->schedule_list()->item(i)->text().startsWith("TESTSAT"))
            running_row = running_row < 0 ? i : running_row;
    ASSERT_GE(running_row, 0);
    Messages m;
    s.window->set_dialog_driver([&](QDialog& d) {
        auto& edit = static_cast<EditScheduleDialog&>(d);
        set_time(edit.los_fields, time_fields(s.host->now() + 2, true, 0));
        EXPECT_FALSE(edit.press_ok());
        EXPECT_FALSE(edit.press_delete());
    });
    s.window->schedule_row_command(kEditScheduling, running_row);
    ASSERT_EQ(m.seen.size(), 2u);
    EXPECT_EQ(m.seen[0], kPassIsRunning);
    EXPECT_EQ(m.seen[1], kPassIsRunning);
    s.step(30);
    EXPECT_TRUE(s.running().running);
    EXPECT_EQ(s.running().run_end, e.run_end);
}

TEST(HelmoEditSchedule, AddPassCreatesTheEnteredPassAndItIsSavedAtExit)
{
    Station s("add");
    const std::int64_t aos = s.host->now() + 7200 + 17, los = aos + 600;
    int dialogs = 0;
    s.window->set_dialog_driver([&](QDialog& d) {
        ++dialogs;
        if (auto* choose = qobject_cast<ChooseDialog*>(&d)) {
            EXPECT_EQ(choose->windowTitle(), "Add Pass");
            auto items = choose->list->findItems("SAT2", Qt::MatchExactly);
            ASSERT_EQ(items.size(), 1);
            choose->list->setCurrentItem(items[0]);
            choose->accept();
            return;
        }
        auto& edit = static_cast<EditScheduleDialog&>(d);
        EXPECT_FALSE(edit.del->isVisibleTo(&edit)); // nothing to delete yet
        set_time(edit.aos_fields, time_fields(aos, true, 0));
        set_time(edit.los_fields, time_fields(los, true, 0));
        edit.priority->setText("5");
        EXPECT_TRUE(edit.press_ok());
    });
    s.window->run_command(152);
    EXPECT_EQ(dialogs, 2);
    bool added = false;
    for (const PassEntry& x : s.host->core().schedule_snapshot())
        if (x.name == "SAT2" && x.aos == aos) {
            added = true;
            EXPECT_EQ(x.los, los);
            EXPECT_EQ(x.run_start, aos);
            EXPECT_EQ(x.run_end, los);
            EXPECT_EQ(x.priority, 5);
            EXPECT_EQ(x.dont_run, 0);
        }
    ASSERT_TRUE(added);
    // Cancel adds nothing.
    const std::size_t count = s.host->core().schedule_snapshot().size();
    s.window->set_dialog_driver([](QDialog& d) { d.reject(); });
    s.window->add_pass_of("TESTSAT");
    EXPECT_EQ(s.host->core().schedule_snapshot().size(), count);

    s.host->shutdown();
    LoadedSchedule saved = load_schedule_file(s.dir / kScheduleFileName);
    bool kept = false;
    for (const PassEntry& x : saved.entries)
        kept = kept || (x.name == "SAT2" && x.aos == aos && x.los == los && x.priority == 5);
    EXPECT_TRUE(kept);
}

TEST(HelmoEditSchedule, HelpIndexAndUsingHelpOpenDifferentSections)
{
    Station s("help");
    std::vector<std::string> opened;
    s.window->set_guide_opener([&](std::string_view section) {
        opened.emplace_back(section);
        return Status{};
    });
    s.window->run_command(901);
    s.window->run_command(905);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], kHelpIndexSection);
    EXPECT_EQ(opened[1], kUsingHelpSection);
    EXPECT_NE(opened[0], opened[1]);
    // Both anchors exist in the guide the programs open.
    std::ifstream in(fs::path(ORVA_SOURCE_DIR) / "docs" / "user-guide.html");
    std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const std::string& id : opened)
        EXPECT_NE(html.find("id=\"" + id + "\""), std::string::npos) << id;
    // A guide that cannot be opened is said in the status line.
    s.window->set_guide_opener([](std::string_view) { return Status(make_error("no browser")); });
    s.window->run_command(901);
    EXPECT_TRUE(s.window->status_text().contains("no browser"));
}

TEST(HelmoEditSchedule, PlacementIsStoredASecondAfterAMoveOrResize)
{
    Station s("place");
    s.window->show();
    QCoreApplication::processEvents();
    s.step(2); // anything from showing it settles
    platform::Store& st = s.host->store();
    auto stored = [&](const char* name) { return st.read_integer(settings::keys::helmo, name).value_or(0); };
    const int before = s.window->placements_stored();

    s.window->move(140, 120);
    QCoreApplication::processEvents();
    s.window->refresh(s.host->now()); // a redraw in the same second: the drag goes on
    EXPECT_EQ(s.window->placements_stored(), before); // not on every step of a drag
    s.window->move(150, 130);
    QCoreApplication::processEvents();
    s.step();
    EXPECT_EQ(s.window->placements_stored(), before + 1);
    EXPECT_EQ(stored("xLeft"), 150u);
    EXPECT_EQ(stored("yTop"), 130u);
    s.step(5);
    EXPECT_EQ(s.window->placements_stored(), before + 1); // once per change

    s.window->resize(s.window->width(), 420);
    QCoreApplication::processEvents();
    s.step();
    EXPECT_EQ(stored("cyHeight"), std::uint32_t(s.window->height()));
    EXPECT_EQ(stored("cxWidth"), std::uint32_t(s.window->fixed_width()));

    // Minimised, nothing is stored; the next start takes the last place kept.
    s.window->showMinimized();
    QCoreApplication::processEvents();
    s.window->move(300, 300);
    QCoreApplication::processEvents();
    s.step(2);
    EXPECT_EQ(stored("xLeft"), 150u);
}

} // namespace
} // namespace orva::station

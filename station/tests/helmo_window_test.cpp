// Helmo's main window over the station host, offscreen, on a manual clock: the live table, the
// clock, placement, the commands and dialogs and what they store, the pre-pass notice, and the
// same dispatcher decisions as the headless program over one simulated day.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QPushButton>
#include <QFontDatabase>
#include <QFontInfo>
#include <QScrollBar>
#include <QRegularExpression>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/elements/observer_file.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/subkey_records.h"
#include "common/settings/suite_settings.h"
#include "platform/clock.h"
#include "station/app/headless_host.h"
#include "station/app/window/dialogs.h"
#include "station/app/window/event_form.h"
#include "station/app/window/main_window.h"
#include "station/tests/helmo_test_station.h"
#include "elemupd/network/element_sources.h"
#include "platform/testing/spawned_child.h"

namespace orva::station {
namespace {

namespace fs = std::filesystem;
using testing::kReferenceStart;

// A message box nobody expected would wait for a click forever: print it instead.
void print_message(const QString& text, const QString& caption)
{
    std::fprintf(stderr, "message box %s: %s\n", caption.toStdString().c_str(), text.toStdString().c_str());
}

QApplication& app()
{
    set_message_sink(print_message);
    return testing::offscreen_application("helmo_window_test");
}

struct Messages {
    std::vector<std::pair<std::string, std::string>> seen; // text, caption
    Messages()
    {
        set_message_sink([this](const QString& t, const QString& c) { seen.emplace_back(t.toStdString(), c.toStdString()); });
    }
    ~Messages() { set_message_sink(print_message); }
};

// A station in a temporary folder: two satellites in the database and the store, the first
// tracked, no programs (a pass waits for its end).
struct Station {
    fs::path dir;
    platform::ManualClock clock{platform::TimePoint{std::chrono::seconds(kReferenceStart)}};
    std::vector<std::string> log;

    static fs::path make_dir(const std::string& tag)
    {
        fs::path d = fs::temp_directory_path() / ("orva-helmo-window-" + tag + "-" + std::to_string(::getpid()));
        fs::remove_all(d);
        fs::create_directories(d);
        return d;
    }

    explicit Station(const std::string& tag, const std::string& tracking = "TESTSAT~",
                     const std::function<void(platform::Store&)>& extra = {})
        : dir(make_dir(tag))
    {
        testing::write_helmo_test_station(dir, tracking);
        if (extra) {
            auto store = open_store();
            extra(store);
        }
    }
    ~Station() { fs::remove_all(dir); }

    platform::Store open_store()
    {
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        EXPECT_TRUE(s.ok());
        return std::move(*s);
    }
    void advance(std::int64_t seconds) { clock.advance(std::chrono::seconds(seconds)); }
};

// The window and its host together, torn down in order.
struct WindowStation : Station {
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<StationHost> host;

    explicit WindowStation(const std::string& tag, const std::string& tracking = "TESTSAT~",
                           const std::function<void(platform::Store&)>& extra = {})
        : Station(tag, tracking, extra)
    {
        app();
        window = std::make_unique<MainWindow>();
        host = std::make_unique<StationHost>(open_store(), *window, HostOptions{&clock});
        host->set_log_tap([this](const std::string& l) { log.push_back(l); });
        window->attach(*host);
        Status s = host->start();
        EXPECT_TRUE(s.ok()) << (s ? "" : s.error().message);
        window->started();
    }
    ~WindowStation()
    {
        host->shutdown();
        host.reset();
        window.reset();
    }
    void step(std::int64_t seconds = 1)
    {
        advance(seconds);
        host->step();
        QCoreApplication::processEvents();
    }
};

std::string row_text(QListWidget* list, int row) { return list->item(row)->text().toStdString(); }

TEST(HelmoWindow, OneTrackedSatelliteStillShowsTwoRowsAndTheClockFollowsDisplayTime)
{
    WindowStation s("rows");
    s.step();
    ASSERT_EQ(s.window->tracking_table()->count(), 2);
    EXPECT_EQ(row_text(s.window->tracking_table(), 0).substr(0, 7), "TESTSAT");
    EXPECT_EQ(row_text(s.window->tracking_table(), 1), "");
    // 2025-06-28 00:00:01 UTC; local with the offset of one hour east.
    EXPECT_EQ(s.window->clock_text().toStdString(), "00:00:01 UTC");
    EXPECT_EQ(s.window->date_text().toStdString(), "28 Jun 2025");
    s.window->set_display_utc(false);
    s.window->set_local_offset(-3600);
    s.advance(12 * 3600 - 1);
    s.host->step();
    EXPECT_EQ(s.window->clock_text().toStdString(), "13:00:00 LOC");
    // The schedule list has its passes in local time too, and the status line the next one.
    ASSERT_GT(s.window->schedule_list()->count(), 0);
    EXPECT_FALSE(s.window->status_text().isEmpty());
}

TEST(HelmoWindow, TrackedSatelliteTurnsRedAboveTheHorizonAndTheAosSoundIsCounted)
{
    WindowStation s("red");
    bool seen_red = false, seen_black = false;
    for (int i = 0; i < 24 * 60 && !(seen_red && seen_black); ++i) {
        s.step(60);
        QListWidgetItem* item = s.window->tracking_table()->item(0);
        bool red = item->foreground().color() == QColor(Qt::red);
        // Elevation is the third column: red exactly while it is above 0.
        std::istringstream in(item->text().toStdString());
        std::string name;
        double az = 0, el = 0;
        in >> name >> az >> el;
        if (red) {
            EXPECT_GE(el, 0) << item->text().toStdString();
            seen_red = true;
        } else {
            seen_black = true;
        }
    }
    EXPECT_TRUE(seen_red);
    EXPECT_TRUE(seen_black);
    EXPECT_GE(s.window->sounds_played(), 1);
}

TEST(HelmoWindow, StoredPlacementWithWidth40IsDiscarded)
{
    auto placement = [](std::uint32_t width) {
        return [width](platform::Store& st) {
            ASSERT_TRUE(st.write_integer(settings::keys::helmo, "xLeft", 100).ok());
            ASSERT_TRUE(st.write_integer(settings::keys::helmo, "yTop", 90).ok());
            ASSERT_TRUE(st.write_integer(settings::keys::helmo, "cxWidth", width).ok());
            ASSERT_TRUE(st.write_integer(settings::keys::helmo, "cyHeight", 400).ok());
        };
    };
    {
        WindowStation kept("place-ok", "TESTSAT~", placement(600));
        EXPECT_EQ(kept.window->pos(), QPoint(100, 90));
        EXPECT_EQ(kept.window->height(), 400);
    }
    WindowStation s("place40", "TESTSAT~", placement(40));
    EXPECT_NE(s.window->pos(), QPoint(100, 90));
    EXPECT_NE(s.window->height(), 400);
    // The width is fixed by the font whatever was stored: 68 characters and the frames.
    EXPECT_EQ(s.window->width(), s.window->fixed_width());
    EXPECT_GT(s.window->fixed_width(), 68 * 4);
}

TEST(HelmoWindow, ReloadDuringAPassReinitialisesTracksAndLeavesThePassRunning)
{
    WindowStation s("reload");
    ASSERT_TRUE(s.host->manual_pass("SAT2").ok());
    s.step();
    s.step();
    DispatcherState before = s.host->core().dispatcher_snapshot();
    ASSERT_TRUE(before.running.running) << ::testing::PrintToString(s.log);
    ASSERT_EQ(before.running.name, "SAT2");
    // The countdown is known before the message.
    ASSERT_NE(row_text(s.window->tracking_table(), 0).find(':'), std::string::npos);

    s.host->reload_elements(); // what message 2037 runs
    s.window->refresh(s.host->now());
    // Re-initialised: the next event is computed again, so the countdown is blank until then.
    std::string row = row_text(s.window->tracking_table(), 0);
    EXPECT_EQ(row.find(':'), std::string::npos) << row;
    DispatcherState after = s.host->core().dispatcher_snapshot();
    EXPECT_TRUE(after.running.running);
    EXPECT_EQ(after.running.name, "SAT2");
    s.step();
    EXPECT_NE(row_text(s.window->tracking_table(), 0).find(':'), std::string::npos);
    EXPECT_TRUE(s.host->core().dispatcher_snapshot().running.running);
}

TEST(HelmoWindow, MenuEntriesOfOtherModulesAreGreyedAndSchedulingToggles)
{
    WindowStation s("menu");
    for (int id : {101, 109, 110, 114, 116, 127, 149, 148})
        EXPECT_FALSE(s.window->action(id)->isEnabled()) << id;
    for (int id : {139, 132, 125, 150, 152, 151, 131, 144, 130, 111, 128, 126, 123, 124, 135, 136, 142, 999, 143, 40001})
        EXPECT_TRUE(s.window->action(id)->isEnabled()) << id;
    // A late module enables its entry with one call.
    bool opened = false;
    s.window->set_command(101, [&] { opened = true; });
    s.window->action(101)->trigger();
    EXPECT_TRUE(opened);

    s.step();
    ASSERT_FALSE(s.window->status_text().isEmpty());
    s.window->run_command(132);
    EXPECT_FALSE(s.host->scheduling());
    EXPECT_FALSE(s.window->action(132)->isChecked());
    s.step();
    EXPECT_TRUE(s.window->status_text().isEmpty());
    s.window->run_command(132);
    EXPECT_TRUE(s.host->scheduling());
}

TEST(HelmoWindow, ProgramThatCannotStartIsReportedInTheStatusLine)
{
    WindowStation s("launch");
    s.window->run_command(135); // QUILLET.EXE in a suite folder that has none
    EXPECT_TRUE(s.window->status_text().startsWith("Cannot start")) << s.window->status_text().toStdString();
}

TEST(HelmoWindow, RunPassIsRefusedWhileAManualPassIsAhead)
{
    WindowStation s("runpass");
    Messages m;
    ASSERT_TRUE(s.host->manual_pass("TESTSAT").ok());
    s.window->run_command(125);
    ASSERT_EQ(m.seen.size(), 1u);
    EXPECT_EQ(m.seen[0].first, kManualPassRefused);
    // The tracking row's Run does not refuse a second one.
    s.window->tracking_row_command(kRunPassOfSatellite, 0);
    int manual = 0;
    for (const PassEntry& e : s.host->core().schedule_snapshot())
        manual += e.priority == 0;
    EXPECT_EQ(manual, 2);
}

TEST(HelmoWindow, TrackingListIsStoredAndRowsRemoved)
{
    WindowStation s("track");
    TrackDialog d({"TESTSAT", "SAT2"}, s.host->tracking_names());
    d.available->setCurrentRow(1);
    d.add();
    d.add(); // a name is tracked once
    ASSERT_EQ(d.chosen(), (std::vector<std::string>{"TESTSAT", "SAT2"}));
    ASSERT_TRUE(s.host->set_tracking(d.chosen()).ok());
    EXPECT_EQ(s.host->store().read_string(settings::keys::helmo, "Tracking", 1000).value_or(""), "TESTSAT~SAT2~");
    s.step();
    ASSERT_EQ(s.window->tracking_table()->count(), 2);
    EXPECT_NE(row_text(s.window->tracking_table(), 1), "");
    int row = s.window->tracking_table()->item(0)->data(Qt::UserRole).toString() == "SAT2" ? 0 : 1;
    s.window->tracking_row_command(kRemoveFromTracking, row);
    EXPECT_EQ(s.host->store().read_string(settings::keys::helmo, "Tracking", 1000).value_or(""), "TESTSAT~");
}

TEST(HelmoWindow, PrePassNoticeAnswersFindTheEntryAgain)
{
    WindowStation s("notice");
    s.host->core().set_scheduling(false, s.host->now()); // the dispatcher leaves the entries alone
    std::vector<PassEntry> list = s.host->core().schedule_snapshot();
    ASSERT_GE(list.size(), 2u);
    PassEntry first = list[0], second = list[1];

    s.window->pre_pass_notice(first, true);
    QCoreApplication::processEvents();
    QDialog* n = s.window->notice(first.name, first.aos);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->windowTitle().toStdString(), "Helmo - Event notification");
    EXPECT_FALSE(n->isModal());
    static_cast<PrePassNotice*>(n)->run->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(s.window->notice(first.name, first.aos), nullptr);
    for (const PassEntry& e : s.host->core().schedule_snapshot())
        EXPECT_EQ(e.run_now, e.name == first.name && e.aos == first.aos ? 1 : 0) << e.name;

    s.window->pre_pass_notice(second, true);
    QCoreApplication::processEvents();
    static_cast<PrePassNotice*>(s.window->notice(second.name, second.aos))->cancel->click();
    QCoreApplication::processEvents();
    for (const PassEntry& e : s.host->core().schedule_snapshot()) {
        if (e.name == second.name && e.aos == second.aos) {
            EXPECT_EQ(e.dont_run, 1);
        }
    }

    // A notice that outlived its entry does nothing.
    PassEntry stale = first;
    stale.aos += 12345;
    s.window->pre_pass_notice(stale, true);
    QCoreApplication::processEvents();
    auto before = s.host->core().schedule_snapshot();
    static_cast<PrePassNotice*>(s.window->notice(stale.name, stale.aos))->cancel->click();
    QCoreApplication::processEvents();
    auto after = s.host->core().schedule_snapshot();
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(before[i].dont_run, after[i].dont_run);

    // The dispatcher's close request closes an unanswered notice.
    s.window->pre_pass_notice(second, true);
    QCoreApplication::processEvents();
    ASSERT_NE(s.window->notice(second.name, second.aos), nullptr);
    s.window->close_pre_pass_notice(second);
    QCoreApplication::processEvents();
    EXPECT_EQ(s.window->notice(second.name, second.aos), nullptr);
}

TEST(HelmoWindow, ScheduleRowMenuRunsNowAndMarksListenOnly)
{
    WindowStation s("rowmenu");
    s.host->core().set_scheduling(false, s.host->now());
    s.step();
    ASSERT_GE(s.window->schedule_list()->count(), 2);
    s.window->schedule_row_command(kListenOnly, 1);
    s.window->schedule_row_command(kRunThisPassNow, 0);
    auto list = s.host->core().schedule_snapshot();
    EXPECT_EQ(list[0].run_now, 1);
    EXPECT_EQ(list[1].listen_only, 1);
}

TEST(HelmoWindow, PrintedScheduleGoesToPdfWithoutAPrinter)
{
    WindowStation s("print");
    s.host->core().set_scheduling(false, s.host->now());
    s.step();
    QStringList lines = s.window->printed_schedule_lines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "Helmo - Schedule");
    // A blank line between days, none inside a day.
    std::string last_day;
    for (int i = 2; i < lines.size(); ++i) {
        if (lines[i].isEmpty()) {
            ASSERT_LT(i + 1, lines.size());
            EXPECT_NE(lines[i + 1].mid(19, 8).toStdString(), last_day);
            continue;
        }
        std::string day = lines[i].mid(19, 8).toStdString();
        if (!last_day.empty() && lines[i - 1].size() > 0) {
            EXPECT_EQ(day, last_day) << lines[i].toStdString();
        }
        last_day = day;
    }
    // Priorities of 100 and above print blank; below they print as on screen.
    PassEntry high;
    high.name = "HIGH";
    high.aos = high.run_start = s.host->now() + 100;
    high.los = high.run_end = s.host->now() + 200;
    high.priority = 120;
    PassEntry low = high;
    low.name = "LOW";
    low.aos += 1;
    low.priority = 7;
    {
        std::lock_guard lock(s.host->core().schedule_lock());
        ASSERT_TRUE(s.host->core().schedule().insert_entry(high, s.host->now()));
        ASSERT_TRUE(s.host->core().schedule().insert_entry(low, s.host->now()));
    }
    lines = s.window->printed_schedule_lines();
    ASSERT_TRUE(lines.filter(QRegularExpression("^HIGH ")).size() == 1);
    EXPECT_EQ(lines.filter(QRegularExpression("^HIGH ")).front().mid(13, 2), "  ");
    EXPECT_EQ(lines.filter(QRegularExpression("^LOW ")).front().mid(13, 2), " 7");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    fs::path pdf = s.dir / "schedule.pdf";
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    s.window->print_schedule_to(printer);
    std::ifstream in(pdf, std::ios::binary);
    std::string head(4, '\0');
    in.read(head.data(), 4);
    EXPECT_EQ(head, "%PDF");
}

TEST(HelmoWindow, ScheduleEventsDialogStoresOrRefuses)
{
    WindowStation s("events");
    Messages m;
    bool reloaded = false;
    EventsDialog d(s.host->store(), {"TESTSAT", "SAT2"}, [&] { reloaded = true; });
    d.name->setText("Before");
    d.program->setText("/bin/true");
    d.time->setText("30");
    d.sec->setChecked(true);
    d.run->setCurrentIndex(kBeforePass);
    d.associate->setCurrentIndex(kSingleSatellite);
    EXPECT_FALSE(d.store());
    EXPECT_EQ(d.message.toStdString(), kNoSatelliteChosen);
    EXPECT_TRUE(settings::read_events(s.host->store()).empty());
    d.associate->setCurrentIndex(kNoSatellite);
    EXPECT_FALSE(d.store());
    EXPECT_EQ(d.message.toStdString(), kNonSatelliteAtPass);
    EXPECT_EQ(d.message_caption, "Error");
    d.associate->setCurrentIndex(kSingleSatellite);
    d.satellite->setCurrentText("SAT2");
    ASSERT_TRUE(d.store());
    EXPECT_TRUE(reloaded);
    auto events = settings::read_events(s.host->store());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].first, std::string(settings::keys::helmo_events) + "\\Before");
    EXPECT_EQ(events[0].second.satellite, "SAT2");
    EXPECT_EQ(events[0].second.time, 30u);
    EXPECT_EQ(events[0].second.run, std::uint32_t(kBeforePass));
    EXPECT_EQ(events[0].second.associate, std::uint32_t(kSingleSatellite));
    // The same name again changes that key, with the note for a long lead.
    d.time->setText("2");
    d.min->setChecked(true);
    ASSERT_TRUE(d.store());
    EXPECT_EQ(d.message.toStdString(), kLongLead);
    events = settings::read_events(s.host->store());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].second.time, 120u);
    // Shown again as stored.
    d.clear_fields();
    d.select("Before");
    EXPECT_EQ(d.time->text(), "2");
    EXPECT_TRUE(d.min->isChecked());
    EXPECT_EQ(d.last->text(), "n/a");
    d.list->setCurrentRow(0);
    d.remove();
    EXPECT_TRUE(settings::read_events(s.host->store()).empty());
}

TEST(HelmoWindow, ObserverDialogWritesTheObserverFile)
{
    WindowStation s("observers");
    ObserverDialog d(elements::observer_file_path(s.dir));
    d.name->setText("Cambridge");
    d.latitude->setText("52.2");
    d.longitude->setText("0.12");
    d.south->setChecked(false);
    d.north->setChecked(true);
    d.east->setChecked(true);
    d.elevation->setText("20");
    d.store();
    d.name->setText("Hobart");
    d.latitude->setText("42.88");
    d.south->setChecked(true);
    d.longitude->setText("147.33");
    d.east->setChecked(true);
    d.elevation->setText("5");
    d.store();
    EXPECT_EQ(d.list->count(), 2);
    EXPECT_TRUE(d.name->text().isEmpty()); // fields cleared, N and W checked
    EXPECT_TRUE(d.north->isChecked());
    EXPECT_TRUE(d.west->isChecked());
    elements::ObserverFile file(elements::observer_file_path(s.dir));
    auto all = file.read_all();
    ASSERT_TRUE(all.ok());
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ((*all)[1].name, "Hobart");
    EXPECT_DOUBLE_EQ((*all)[1].latitude, -42.88);
    EXPECT_DOUBLE_EQ((*all)[1].longitude, 147.33);
    d.select("Hobart");
    EXPECT_EQ(d.latitude->text(), "42.880");
    EXPECT_TRUE(d.south->isChecked());
    d.list->setCurrentRow(0);
    d.remove();
    all = file.read_all();
    ASSERT_EQ(all->size(), 1u);
    EXPECT_EQ((*all)[0].name, "Hobart");
}

TEST(HelmoWindow, EditSatelliteDataWritesTheSlotAndReloads)
{
    WindowStation s("kepedit");
    Messages m;
    int reloads = 0;
    KepEditDialog d(elements::kep_database_path(s.dir), [&] { ++reloads; });
    EXPECT_EQ(d.windowTitle(), "Edit Satellite Data [1]");
    d.find_mode();
    d.fields[0]->setText("sat2");
    d.store(); // case-insensitive lookup
    int sat2 = d.slot();
    EXPECT_EQ(d.fields[0]->text(), "SAT2");
    d.find_mode();
    d.fields[0]->setText("NOSUCH");
    d.store();
    ASSERT_EQ(m.seen.size(), 1u);
    EXPECT_EQ(m.seen[0].first, "Unable to find a satellite with this name");
    EXPECT_EQ(d.slot(), sat2);
    d.fields[15]->setText("000MODEA128MODEB");
    d.fields[12]->setText("10");
    d.fields[13]->setText(""); // half a pair: both become 9999
    ASSERT_TRUE(d.store());
    EXPECT_EQ(reloads, 1);
    auto db = elements::KepDatabase::load(elements::kep_database_path(s.dir));
    ASSERT_TRUE(db.ok());
    EXPECT_EQ(db->slot(sat2).mode_schedule, "000MODEA128MODEB");
    EXPECT_EQ(db->slot(sat2).blon, 9999);
    EXPECT_EQ(db->slot(sat2).blat, 9999);
    d.show_slot(elements::kKepSlots - 1);
    d.next->click();
    EXPECT_EQ(d.slot(), elements::kKepSlots - 1); // no wrap
}

TEST(HelmoWindow, FontsAreFixedWidthAndSelectFontStoresTheFourValues)
{
    WindowStation s("fonts");
    // "Terminal" is not a font here: a fixed-width one stands in at the stored size.
    EXPECT_TRUE(QFontInfo(s.window->current_font()).fixedPitch());
    EXPECT_EQ(s.window->current_font().pointSize(), 12);
    QFont chosen = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    chosen.setPointSize(9);
    chosen.setWeight(QFont::Bold);
    int before = s.window->fixed_width();
    s.window->store_font(chosen);
    platform::Store& st = s.host->store();
    EXPECT_EQ(st.read_integer(settings::keys::helmo, "Font Size").value_or(0), 9u);
    EXPECT_EQ(st.read_integer(settings::keys::helmo, "Font Type").value_or(0), 700u);
    EXPECT_EQ(st.read_string(settings::keys::helmo, "Font Name", 64).value_or(""), chosen.family().toStdString());
    auto pitch = st.read_binary(settings::keys::helmo, "Font Pitch", 1);
    ASSERT_TRUE(pitch.ok());
    EXPECT_EQ((*pitch)[0], 1);
    // The window's width follows the font.
    EXPECT_EQ(s.window->current_font().pointSize(), 9);
    EXPECT_LT(s.window->fixed_width(), before);
    EXPECT_EQ(s.window->width(), s.window->fixed_width());
}

TEST(HelmoWindow, ScheduleListReturnsToTheTopAfter120Seconds)
{
    WindowStation s("scroll");
    s.host->core().set_scheduling(false, s.host->now());
    s.step();
    s.window->show();
    QListWidget* list = s.window->schedule_list();
    list->setMinimumHeight(0);
    list->setFixedHeight(60); // a few rows, so the list scrolls
    QCoreApplication::processEvents();
    s.step();
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    int scrolled = bar->value();
    ASSERT_GT(scrolled, 0);
    s.step(119);
    EXPECT_EQ(bar->value(), scrolled);
    s.step(1);
    EXPECT_EQ(bar->value(), 0);
}

TEST(HelmoWindow, UpdateSatelliteDatabaseImportsAndReportsAnUnreadableFile)
{
    WindowStation s("import");
    Messages m;
    EXPECT_FALSE(s.window->import_elements(s.dir / "missing.txt", false));
    ASSERT_EQ(m.seen.size(), 1u);
    EXPECT_EQ(m.seen[0].first, "Keps file unable to be opened");
    EXPECT_EQ(m.seen[0].second, "Helmo Error");

    fs::path text = s.dir / "keps.txt";
    fs::copy_file(fs::path(ORVA_SOURCE_DIR) / "station/tests/data/elements-2025-178.txt", text);
    auto lines = s.window->import_elements(text, false);
    ASSERT_TRUE(lines);
    ASSERT_FALSE(lines->empty());
    EXPECT_EQ(s.host->store().read_integer(settings::keys::helmo, "Keps Type").value_or(0), 1u);
    EXPECT_EQ(s.host->store().read_string(settings::keys::helmo, "Keps Dir", 300).value_or(""), s.dir.string());
    // A second import of the same file changes nothing.
    auto again = s.window->import_elements(text, false);
    ASSERT_TRUE(again);
    for (const std::string& l : *again)
        EXPECT_NE(l.find("Not Updated"), std::string::npos) << l;
}

// The menu's network update against a real HTTP server on 127.0.0.1: it runs off the window
// thread, lists one line per source and the satellites added, and the station reloads.
TEST(HelmoWindow, UpdateFromTheNetworkListsEachSourceAndReloads)
{
    WindowStation s("network", "TESTSAT~", [](platform::Store& store) {
        settings::DispoSettings d;
        d.keps_append = 1;
        ASSERT_TRUE(settings::write_dispo(store, d).ok());
    });
    fs::path www = s.dir / "www";
    fs::create_directories(www);
    fs::copy_file(fs::path(ORVA_SOURCE_DIR) / "station/tests/data/elements-2025-178.txt", www / "keps.txt");
    test_support::Child server({"/usr/bin/python3", std::string(ORVA_SOURCE_DIR) + "/testbed/http/element_server.py",
                                www.string(), (s.dir / "requests.log").string()},
                               s.dir / "server.err", true);
    ASSERT_TRUE(server.wait_line("PORT ", std::chrono::seconds(20)));
    std::string base;
    for (const auto& l : server.lines())
        if (l.rfind("PORT ", 0) == 0)
            base = "http://127.0.0.1:" + l.substr(5);
    {
        platform::Store& st = s.host->store();
        ASSERT_TRUE(st.create_key(elemupd::kElementSourcesKey).ok());
        ASSERT_TRUE(elemupd::add_element_source(st, {"local", base + "/keps.txt", ElementFormat::Nasa, {}, {}}).ok());
        ASSERT_TRUE(elemupd::add_element_source(st, {"gone", base + "/gone.txt", ElementFormat::Nasa, {}, {}}).ok());
    }
    s.step();
    s.step();
    ASSERT_NE(row_text(s.window->tracking_table(), 0).find(':'), std::string::npos); // a countdown
    std::vector<std::string> shown;
    s.window->set_dialog_driver([&](QDialog& d) {
        if (auto* keps = dynamic_cast<UpdateKepsDialog*>(&d))
            for (int i = 0; i < keps->list->count(); ++i)
                shown.push_back(keps->list->item(i)->text().toStdString());
    });
    ::setenv("no_proxy", "127.0.0.1", 1); // a proxy of the machine is not on the way to loopback
    s.window->run_command(kUpdateFromNetwork);
    s.window->run_command(kUpdateFromNetwork); // a second choice while it runs starts nothing
    EXPECT_EQ(s.window->status_text().toStdString(), "The network update is still running");
    QElapsedTimer waited;
    waited.start();
    while (shown.empty() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    // The test station has NOAA 15 and DMSP F16 already, with the same epochs.
    ASSERT_EQ(shown.size(), 20u) << ::testing::PrintToString(shown);
    EXPECT_EQ(shown[0], "local: " + base + "/keps.txt: 20 sets: 0 updated, 18 added, 2 not newer");
    EXPECT_EQ(shown[1], "  NOAA 18: Added to database");
    EXPECT_EQ(shown[19], "gone: " + base + "/gone.txt: HTTP 404; nothing changed");
    auto db = elements::KepDatabase::load(elements::kep_database_path(s.host->suite_dir()));
    ASSERT_TRUE(db.ok());
    EXPECT_NE(db->find_by_catalogue(25544), -1);
    // Reloaded: the tracks were initialised again, so the countdown is blank until the next round.
    s.window->refresh(s.host->now());
    EXPECT_EQ(row_text(s.window->tracking_table(), 0).find(':'), std::string::npos);
}

TEST(HelmoWindow, EnableRotatorListsStopThenTheSatellites)
{
    app();
    RotatorDialog d({"TESTSAT", "SAT2"});
    ASSERT_EQ(d.list->count(), 3);
    EXPECT_EQ(d.list->item(0)->text(), "[STOP]");
    EXPECT_EQ(d.chosen(), "");
    d.list->setCurrentRow(2);
    EXPECT_EQ(d.chosen(), "SAT2");
    std::vector<std::string> many(60, "X");
    EXPECT_EQ(RotatorDialog(many).list->count(), 51);
}

TEST(HelmoWindow, WindowAndHeadlessMakeTheSameDecisionsOverADay)
{
    auto decisions = [](const std::vector<std::string>& log) {
        std::vector<std::string> out;
        for (const std::string& l : log)
            if (l.rfind("dispatcher:", 0) == 0)
                out.push_back(l);
        return out;
    };
    const std::int64_t day = 86400, step = 10;
    std::vector<std::string> headless_log, window_log;
    {
        Station s("same-headless", "TESTSAT~SAT2~");
        HeadlessOptions o;
        o.log_file = s.dir / "helmo.log";
        o.clock = &s.clock;
        HeadlessHost h(s.open_store(), o);
        h.host().set_log_tap([&](const std::string& l) { headless_log.push_back(l); });
        ASSERT_TRUE(h.start().ok());
        for (std::int64_t t = 0; t < day; t += step) {
            s.advance(step);
            h.host().step();
        }
        h.shutdown();
    }
    {
        WindowStation s("same-window", "TESTSAT~SAT2~");
        for (std::int64_t t = 0; t < day; t += step)
            s.step(step);
        window_log = s.log;
    }
    auto a = decisions(headless_log), b = decisions(window_log);
    EXPECT_GE(a.size(), 4u) << "no passes were run";
    EXPECT_EQ(a, b);
}

} // namespace
} // namespace orva::station

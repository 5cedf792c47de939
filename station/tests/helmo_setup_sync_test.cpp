// A running Helmo told of setup changes: `orva sat` and `orva station` post 2037 over the session
// bus, the property sheet calls the host when it saves. The station runs on a manual clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/clock.h"
#include "station/app/setup/satellite_sheet.h"
#include "station/app/setup/station_sheet.h"
#include "station/app/station_host.h"
#include "station/tests/helmo_test_station.h"

namespace orva::station {
namespace {

namespace fs = std::filesystem;
using testing::kReferenceStart;

QApplication& app() { return testing::offscreen_application("helmo_setup_sync_test"); }

struct QuietView : HostView {
    std::vector<std::string> lines;
    int moves = 0;
    void line(const std::string& t) override { lines.push_back(t); }
    void warning(const std::string& t, const std::string& c) override { lines.push_back(c + ": " + t); }
    void pre_pass_notice(const PassEntry&, bool) override {}
    void close_pre_pass_notice(const PassEntry&) override {}
    void refresh(std::int64_t) override {}
    void station_moved(const elements::ObserverSite&) override { ++moves; }
};

// Two satellites in the store and the database, both run.
struct Station {
    fs::path dir;
    platform::ManualClock clock{platform::TimePoint{std::chrono::seconds(kReferenceStart)}};
    QuietView view;
    std::unique_ptr<StationHost> host;

    explicit Station(const std::string& tag)
    {
        app();
        dir = fs::temp_directory_path() / ("orva-setup-sync-" + tag + "-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        testing::write_helmo_test_station(dir, {}, [](settings::SatelliteRecord& r) { r.priority = 10; });
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        host = std::make_unique<StationHost>(std::move(*s), view, HostOptions{&clock});
        Status started = host->start();
        EXPECT_TRUE(started.ok()) << (started ? "" : started.error().message);
    }
    ~Station()
    {
        host->shutdown();
        host.reset();
        fs::remove_all(dir);
    }
    std::vector<PassEntry> passes_of(const std::string& name)
    {
        std::vector<PassEntry> out;
        for (const PassEntry& e : host->core().schedule_snapshot())
            if (e.name == name)
                out.push_back(e);
        return out;
    }
    // Runs one of the `orva` programs on this station's store.
    void run(const QString& program, const QStringList& args)
    {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVA_STORE", QString::fromStdString((dir / "store.db").string()));
        p.setProcessEnvironment(env);
        p.start(QString(ORVA_BIN_DIR) + "/" + program, args);
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        std::string out = p.readAllStandardOutput().toStdString();
        ASSERT_NE(out.find("Helmo told to reload"), std::string::npos) << out;
    }
    // The message arrives on the loop: spins it until `done` holds (30 s at most).
    bool wait_for(const std::function<bool()>& done)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            QEventLoop loop;
            QTimer::singleShot(20, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return true;
    }
};

TEST(HelmoSetupSync, OrvaSatEditReachesTheRunningStation)
{
    Station s("sat");
    ASSERT_FALSE(s.passes_of("TESTSAT").empty());
    ASSERT_FALSE(s.passes_of("SAT2").empty());

    s.run("orva-sat", {"edit", "TESTSAT", "State=Display"});
    ASSERT_TRUE(s.wait_for([&] {
        auto p = s.passes_of("TESTSAT");
        return !p.empty() && std::all_of(p.begin(), p.end(), [](const PassEntry& e) { return e.dont_run == 1; });
    })) << ::testing::PrintToString(s.view.lines);
    for (const PassEntry& e : s.passes_of("SAT2"))
        EXPECT_EQ(e.dont_run, 0);

    s.run("orva-sat", {"edit", "SAT2", "Priority=55"});
    ASSERT_TRUE(s.wait_for([&] {
        auto p = s.passes_of("SAT2");
        return !p.empty() && std::all_of(p.begin(), p.end(), [](const PassEntry& e) { return e.priority == 55; });
    })) << ::testing::PrintToString(s.view.lines);

    s.run("orva-sat", {"delete", "SAT2"});
    ASSERT_TRUE(s.wait_for([&] { return s.passes_of("SAT2").empty(); })) << ::testing::PrintToString(s.view.lines);
    EXPECT_FALSE(s.passes_of("TESTSAT").empty());
}

TEST(HelmoSetupSync, OrvaStationSetMovesTheRunningStation)
{
    Station s("station");
    std::vector<PassEntry> before = s.passes_of("TESTSAT");
    ASSERT_FALSE(before.empty());
    s.run("orva-station", {"set", "Latitude=33.9", "North/South=South", "Longitude=151.2", "East/West=East"});
    ASSERT_TRUE(s.wait_for([&] { return s.view.moves == 1; })) << ::testing::PrintToString(s.view.lines);
    std::vector<PassEntry> after = s.passes_of("TESTSAT");
    ASSERT_FALSE(after.empty());
    EXPECT_NE(after.front().aos, before.front().aos);
    // What a station started at the new site schedules.
    StationCore fresh(read_schedule_config(s.host->store()), elements::ObserverSite::from_station("N0CALL", -33.9, -151.2, 0),
                      *s.host);
    fresh.add_satellite(testing::reference_records()[0], 10, 0, 25, 0, 0, s.host->now());
    fresh.run_search(s.host->now());
    std::vector<PassEntry> expect;
    for (const PassEntry& e : fresh.schedule_snapshot())
        expect.push_back(e);
    ASSERT_FALSE(expect.empty());
    EXPECT_EQ(after.front().aos, expect.front().aos);
    EXPECT_EQ(after.front().los, expect.front().los);
    // Nothing else changed: another 2037 leaves the schedule as it is.
    s.run("orva-station", {"set", "Latitude=33.9"});
    ASSERT_TRUE(s.wait_for([&] {
        return std::count_if(s.view.lines.begin(), s.view.lines.end(),
                             [](const std::string& x) { return x.find("message 2037") != std::string::npos; }) == 2;
    })) << ::testing::PrintToString(s.view.lines);
    EXPECT_EQ(s.view.moves, 1);
}

// The property sheet's OK goes through the host: the satellite switched to "Disable" leaves the
// schedule at once, without a restart.
TEST(HelmoSetupSync, PropertySheetSaveReschedules)
{
    Station s("sheet");
    ASSERT_FALSE(s.passes_of("TESTSAT").empty());
    auto edit = setup::SatelliteEdit::open(s.host->store(), "TESTSAT");
    ASSERT_TRUE(edit.ok());
    app::SatelliteSheet sheet(s.host->store(), std::move(*edit),
                              [&](const settings::SatelliteRecord& r) { s.host->satellite_saved(r); });
    sheet.show();
    auto* state = sheet.findChild<QComboBox*>("State");
    ASSERT_NE(state, nullptr);
    state->setCurrentIndex(2);
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(s.passes_of("TESTSAT").empty());
    EXPECT_FALSE(s.passes_of("SAT2").empty());
}

// The Station sheet's OK: the passes come from the new position at once.
TEST(HelmoSetupSync, StationSheetPositionTakesEffectAtOnce)
{
    Station s("station-sheet");
    std::vector<PassEntry> before = s.passes_of("TESTSAT");
    ASSERT_FALSE(before.empty());
    app::StationSheet sheet(s.host->store(), [&] { s.host->sync_with_store(); });
    sheet.show();
    app::FormWidget* position = sheet.form(setup::kPagePosition);
    ASSERT_NE(position, nullptr);
    position->set_text("Latitude", "10.5");
    position->set_text("Longitude", "75");
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(s.view.moves, 1);
    StationCore fresh(read_schedule_config(s.host->store()), elements::ObserverSite::from_station("N0CALL", 10.5, 75, 0),
                      *s.host);
    fresh.add_satellite(testing::reference_records()[0], 10, 0, 25, 0, 0, s.host->now());
    fresh.run_search(s.host->now());
    std::vector<PassEntry> after = s.passes_of("TESTSAT"), expect = fresh.schedule_snapshot();
    ASSERT_FALSE(after.empty());
    ASSERT_FALSE(expect.empty());
    EXPECT_NE(after.front().aos, before.front().aos);
    EXPECT_EQ(after.front().aos, expect.front().aos);
    EXPECT_EQ(after.front().los, expect.front().los);
}

} // namespace
} // namespace orva::station

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/clock.h"
#include "station/app/headless_host.h"
#include "station/tests/headless_station_fixture.h"
#include "station/tests/schedule_fixture.h"

namespace orva::station {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing::read_text;

// A headless station in a temporary folder, its loop driven by a manual clock.
class HelmoWeek : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        host.reset();
        fs::remove_all(dir);
    }
    // Writes the station into the folder and starts a host over it on the manual clock.
    void start(const testing::TestStation& station)
    {
        ASSERT_NO_FATAL_FAILURE(testing::start_headless(host, dir, station, &clock));
    }

    int argc = 1;
    char name[16] = "helmo_week_test";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    fs::path dir = fs::temp_directory_path() / ("orva-helmo-week-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    platform::ManualClock clock{platform::TimePoint{std::chrono::seconds{testing::kReferenceStart}}};
    std::optional<HeadlessHost> host;
};

// A headless station left running for a week, its loop driven by a manual clock: with one day
// of schedule ahead, every day of the week still has passes of both satellites (the search is
// started again as passes leave the schedule and the horizon moves on).
TEST_F(HelmoWeek, AStationLeftRunningForAWeekHasPassesEveryDay)
{
    std::vector<elements::KepRecord> records = testing::reference_records();
    records.resize(2);
    testing::TestStation station;
    station.satellites = records;
    station.state = 1; // listed, not run: the test is about the schedule, not the programs
    station.helmo = {{"Schedule Days", 1}};
    ASSERT_NO_FATAL_FAILURE(start(station));

    std::map<std::string, std::set<std::int64_t>> days; // satellite -> days with a pass
    for (int step = 0; step < 7 * 24 * 6; ++step) {
        // One round of the host's loop every ten minutes of station time (on a manual clock
        // the search runs to its end within the round).
        host->host().step();
        for (const PassEntry& e : host->core().schedule_snapshot())
            days[e.name].insert((e.aos - testing::kReferenceStart) / 86400);
        clock.advance(10min);
    }
    for (const elements::KepRecord& r : records)
        for (std::int64_t d = 0; d < 7; ++d)
            EXPECT_TRUE(days[r.name].contains(d)) << r.name << " has no pass on day " << d;
    host->shutdown();
}

// A satellite program that is not the engine (no window on the bus) is still closed when the
// dispatcher ends its pass, instead of running on until the pass thread gives up on it.
TEST_F(HelmoWeek, AProgramWithoutAnEngineWindowIsClosedAtThePassEnd)
{
    testing::TestStation station;
    station.satellites = {testing::renamed(testing::reference_records()[0], "TESTSAT")};
    station.program = "/bin/sleep 1000";
    station.helmo = {{"Pass End Time", 1}};
    ASSERT_NO_FATAL_FAILURE(start(station));
    std::int64_t now = host->now();
    PassEntry e;
    e.name = "TESTSAT";
    e.aos = e.run_start = now + 2;
    e.los = e.run_end = now + 40;
    e.priority = 1;
    e.elevation_ok = 1;
    {
        std::lock_guard lock(host->core().schedule_lock());
        host->core().schedule().insert_entry(e, now);
    }
    host->core().dispatch_now(now);
    bool started = false;
    for (std::int64_t t = now; t < e.los + 2; ++t) {
        clock.advance(1s);
        host->host().step();
        started |= host->core().dispatcher_snapshot().running.running;
    }
    // The program is a real process: give it (real) time to act on the close request.
    auto limit = std::chrono::steady_clock::now() + 10s;
    while (host->host().program_running() && std::chrono::steady_clock::now() < limit) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    for (std::int64_t t = e.los + 2; t < e.los + 20; ++t) {
        clock.advance(1s);
        host->host().step();
    }
    EXPECT_TRUE(started) << read_text(dir / "helmo.log");
    EXPECT_FALSE(host->core().dispatcher_snapshot().running.running) << read_text(dir / "helmo.log");
    EXPECT_NE(read_text(dir / "helmo.log").find("pass end: asking sleep to close"), std::string::npos)
        << read_text(dir / "helmo.log");
    host->shutdown();
}

} // namespace
} // namespace orva::station

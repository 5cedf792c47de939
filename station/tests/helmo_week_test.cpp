#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/clock.h"
#include "station/app/headless_host.h"
#include "station/tests/schedule_fixture.h"

namespace orva::station {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string read_text(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The headless station with its loop on a manual clock.

// A headless station left running for a week, its loop driven by a manual clock: with one day
// of schedule ahead, every day of the week still has passes of both satellites (the search is
// started again as passes leave the schedule and the horizon moves on).
TEST(HelmoWeek, AStationLeftRunningForAWeekHasPassesEveryDay)
{
    int argc = 1;
    char name[] = "helmo_week_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    fs::path dir = fs::temp_directory_path() / ("orva-helmo-week-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<elements::KepRecord> records = testing::reference_records();
    records.resize(2);
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        settings::GeneralSettings g;
        g.orva_directory = dir.string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        settings::StationSettings st;
        st.callsign = "N0CALL";
        st.latitude = 52.2;
        st.longitude = 0.12;
        ASSERT_TRUE(settings::write_station(*store, st).ok());
        ASSERT_TRUE(store->write_integer(settings::keys::helmo, "Schedule Days", 1).ok());
        elements::KepDatabase db;
        for (const elements::KepRecord& r : records) {
            auto key = settings::create_satellite_key(*store, r.name);
            ASSERT_TRUE(key.ok());
            settings::SatelliteRecord rec = settings::new_satellite(r.name, settings::SatelliteType::Analogue, dir.string());
            rec.state = 1; // listed, not run: the test is about the schedule, not the programs
            ASSERT_TRUE(settings::write_satellite(*store, *key, rec).ok());
            db.add_record(r);
        }
        ASSERT_TRUE(db.save(elements::kep_database_path(dir)).ok());
    }

    platform::ManualClock clock{platform::TimePoint{std::chrono::seconds{testing::kReferenceStart}}};
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    HeadlessOptions options;
    options.log_file = dir / "helmo.log";
    options.table = false;
    options.clock = &clock;
    {
        HeadlessHost host(std::move(*store), options);
        ASSERT_TRUE(host.start().ok()) << read_text(dir / "helmo.log");

        std::map<std::string, std::set<std::int64_t>> days; // satellite -> days with a pass
        for (int step = 0; step < 7 * 24 * 6; ++step) {
            // One round of the host's loop every ten minutes of station time (on a manual clock
            // the search runs to its end within the round).
            host.host().step();
            for (const PassEntry& e : host.core().schedule_snapshot())
                days[e.name].insert((e.aos - testing::kReferenceStart) / 86400);
            clock.advance(10min);
        }
        for (const elements::KepRecord& r : records)
            for (std::int64_t d = 0; d < 7; ++d)
                EXPECT_TRUE(days[r.name].contains(d)) << r.name << " has no pass on day " << d;
        host.shutdown();
    }
    fs::remove_all(dir);
}

// A satellite program that is not the engine (no window on the bus) is still closed when the
// dispatcher ends its pass, instead of running on until the pass thread gives up on it.
TEST(HelmoWeek, AProgramWithoutAnEngineWindowIsClosedAtThePassEnd)
{
    int argc = 1;
    char name[] = "helmo_week_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    fs::path dir = fs::temp_directory_path() / ("orva-helmo-close-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        settings::GeneralSettings g;
        g.orva_directory = dir.string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        settings::StationSettings st;
        st.callsign = "N0CALL";
        st.latitude = 52.2;
        st.longitude = 0.12;
        ASSERT_TRUE(settings::write_station(*store, st).ok());
        ASSERT_TRUE(store->write_integer(settings::keys::helmo, "Pass End Time", 1).ok());
        auto key = settings::create_satellite_key(*store, "TESTSAT");
        ASSERT_TRUE(key.ok());
        settings::SatelliteRecord rec = settings::new_satellite("TESTSAT", settings::SatelliteType::Analogue, dir.string());
        rec.state = 0;
        rec.program = "/bin/sleep 1000";
        ASSERT_TRUE(settings::write_satellite(*store, *key, rec).ok());
        elements::KepDatabase db;
        elements::KepRecord r = testing::reference_records()[0];
        r.name = "TESTSAT";
        db.add_record(r);
        ASSERT_TRUE(db.save(elements::kep_database_path(dir)).ok());
    }
    platform::ManualClock clock{platform::TimePoint{std::chrono::seconds{testing::kReferenceStart}}};
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    HeadlessOptions options;
    options.log_file = dir / "helmo.log";
    options.table = false;
    options.clock = &clock;
    {
        HeadlessHost host(std::move(*store), options);
        ASSERT_TRUE(host.start().ok()) << read_text(dir / "helmo.log");
        std::int64_t now = host.now();
        PassEntry e;
        e.name = "TESTSAT";
        e.aos = e.run_start = now + 2;
        e.los = e.run_end = now + 40;
        e.priority = 1;
        e.elevation_ok = 1;
        {
            std::lock_guard lock(host.core().schedule_lock());
            host.core().schedule().insert_entry(e, now);
        }
        host.core().dispatch_now(now);
        bool started = false;
        for (std::int64_t t = now; t < e.los + 2; ++t) {
            clock.advance(1s);
            host.host().step();
            started |= host.core().dispatcher_snapshot().running.running;
        }
        // The program is a real process: give it (real) time to act on the close request.
        auto limit = std::chrono::steady_clock::now() + 10s;
        while (host.host().program_running() && std::chrono::steady_clock::now() < limit) {
            QEventLoop loop;
            QTimer::singleShot(20, &loop, &QEventLoop::quit);
            loop.exec();
        }
        for (std::int64_t t = e.los + 2; t < e.los + 20; ++t) {
            clock.advance(1s);
            host.host().step();
        }
        EXPECT_TRUE(started) << read_text(dir / "helmo.log");
        EXPECT_FALSE(host.core().dispatcher_snapshot().running.running) << read_text(dir / "helmo.log");
        EXPECT_NE(read_text(dir / "helmo.log").find("pass end: asking sleep to close"), std::string::npos)
            << read_text(dir / "helmo.log");
        host.shutdown();
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace orva::station

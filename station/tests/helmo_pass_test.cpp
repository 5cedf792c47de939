#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <filesystem>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/subkey_records.h"
#include "common/settings/suite_settings.h"
#include "station/app/headless_host.h"
#include "station/tests/headless_station_fixture.h"
#include "station/tests/schedule_fixture.h"

namespace orva::station {
namespace {

namespace fs = std::filesystem;

using testing::read_text;

// Spins the event loop until `done` holds or the safety limit passes.
bool run_until(const std::function<bool()>& done, std::chrono::seconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// A whole pass with a real engine stand-in on the session bus: the program is started with the
// satellite's name, gets 2041 and 2042 in that order, is closed at the pass end, and the
// "After Pass" event runs and is recorded.
TEST(HelmoPass, RealProgramGetsItsMessagesAndIsClosedAtTheEnd)
{
    int argc = 1;
    char name[] = "helmo_pass_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    fs::path dir = fs::temp_directory_path() / ("orva-helmo-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path out = dir / "messages.txt";
    ::setenv("ORVA_TEST_BREK_OUT", out.c_str(), 1);
    testing::TestStation station;
    station.satellites = {testing::renamed(testing::reference_records()[0], "TESTSAT")};
    station.program = std::string(ORVA_TEST_BREK) + " %S";
    station.helmo = {{"Pass End Time", 1}};
    station.more = [](platform::Store& store) {
        settings::EventRecord after{"After", "/bin/true", "", "[None]", 0, 2, 0, 1, 1, 1, 0, 0, 0};
        ASSERT_TRUE(settings::write_event(store, std::string(settings::keys::helmo_events) + "\\After", after).ok());
    };
    std::optional<HeadlessHost> host;
    ASSERT_NO_FATAL_FAILURE(testing::start_headless(host, dir, station));

    // A short listen-only pass from now.
    std::int64_t now = host->now();
    PassEntry e;
    e.name = "TESTSAT";
    e.aos = e.run_start = now;
    e.los = e.run_end = now + 5;
    e.priority = 1;
    e.listen_only = 1;
    e.elevation_ok = 1;
    {
        std::lock_guard lock(host->core().schedule_lock());
        host->core().schedule().insert_entry(e, now - 100);
        host->core().schedule().find_entry("TESTSAT", now)->listen_only = 1;
    }
    host->core().dispatch_now(now);
    bool closed = run_until([&] { return read_text(out).find("16 0 0") != std::string::npos; }, std::chrono::seconds(30));
    ASSERT_TRUE(closed) << read_text(dir / "helmo.log");
    bool done = run_until([&] { return !host->core().dispatcher_snapshot().running.running; }, std::chrono::seconds(30));
    ASSERT_TRUE(done) << read_text(dir / "helmo.log");
    EXPECT_EQ(read_text(out), "2041 1 0\n2042 0 " + std::to_string(now + 5) + "\n16 0 0\n");
    // The event thread records its run.
    bool recorded = run_until([&] {
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadOnly);
        return s && s->read_integer(std::string(settings::keys::helmo_events) + "\\After", "Last Success Time").value_or(0) != 0;
    }, std::chrono::seconds(30));
    EXPECT_TRUE(recorded) << read_text(dir / "helmo.log");
    host->shutdown();
    EXPECT_TRUE(fs::exists(dir / "Orva Schedule.DAT"));
    fs::remove_all(dir);
}

// Every event runs on a thread of its own. A station that runs events all week must let go of
// each thread once its event has ended, not hold every thread it ever started.
TEST(HelmoEvents, EndedEventThreadsAreLetGo)
{
    int argc = 1;
    char name[] = "helmo_pass_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    fs::path dir = fs::temp_directory_path() / ("orva-helmo-events-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        settings::GeneralSettings g;
        g.orva_directory = dir.string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        settings::EventRecord tick{"Tick", "/bin/true", "", "[None]", 0, 0, 600, 3, 1, 1, 0, 0, 0};
        ASSERT_TRUE(settings::write_event(*store, std::string(settings::keys::helmo_events) + "\\Tick", tick).ok());
    }
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    HeadlessOptions options;
    options.log_file = dir / "helmo.log";
    options.table = false;
    HeadlessHost host(std::move(*store), options);
    std::mutex m;
    std::condition_variable cv;
    int ended = 0;
    host.host().set_log_tap([&](const std::string& line) {
        if (line.rfind("event Tick: ", 0) == 0) {
            std::lock_guard lock(m);
            ++ended;
            cv.notify_all();
        }
    });
    EventEntry tick;
    tick.name = "Tick";
    tick.timing = EventTiming::Regularly;
    tick.time = 600;
    // Each run lets go of the threads whose events have ended; after a while only the newest
    // are held, however many have run.
    std::size_t held = 0;
    for (int run = 1; run <= 60; ++run) {
        host.host().run_event(tick);
        held = host.host().event_threads();
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return ended >= run; })) << read_text(dir / "helmo.log");
        if (run > 10 && held <= 2)
            break;
    }
    EXPECT_LE(held, 2u);
    host.shutdown();
    fs::remove_all(dir);
}

} // namespace
} // namespace orva::station

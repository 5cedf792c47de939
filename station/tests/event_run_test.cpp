#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "station/core/event_run.h"

namespace orva::station {
namespace {

namespace fs = std::filesystem;

struct ScriptedRunner final : EventRunner {
    std::string program_text = "prog";
    Result<std::optional<int>> outcome = std::optional<int>(0);
    bool open = false;
    Result<std::uint32_t> housekeeping_result = std::uint32_t(0);
    int runs = 0, housekeepings = 0;
    std::string program(const EventEntry&) override { return program_text; }
    std::string directory(const EventEntry&) override { return ""; }
    Result<std::optional<int>> run(const std::string&, const std::string&) override
    {
        ++runs;
        return outcome;
    }
    bool suite_programs_open() override { return open; }
    Result<std::uint32_t> housekeeping() override
    {
        ++housekeepings;
        return housekeeping_result;
    }
};

class EventRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("orva-event-run-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok());
        store.emplace(std::move(*s));
        event.key_path = "SOFTWARE\\Orva\\Helmo\\Events\\Nightly";
        event.name = "Nightly";
        ASSERT_TRUE(store->write_string(event.key_path, "Name", "Nightly").ok());
        // An earlier success that a failure must not wipe out.
        ASSERT_TRUE(store->write_integer(event.key_path, "Last Success Time", 1000).ok());
    }
    void TearDown() override
    {
        store.reset();
        fs::remove_all(dir);
    }
    std::uint32_t value(const char* name) { return store->read_integer(event.key_path, name).value_or(77); }
    EventRun run_and_record()
    {
        EXPECT_TRUE(record_event_start(*store, event, 5000).ok());
        EventRun r = run_event_once(event, runner);
        EXPECT_TRUE(record_event_end(*store, event, r, 5060).ok());
        return r;
    }

    fs::path dir;
    std::optional<platform::Store> store;
    EventEntry event;
    ScriptedRunner runner;
};

TEST_F(EventRunTest, CleanExitIsASuccess)
{
    EventRun r = run_and_record();
    EXPECT_TRUE(r.outcome.success);
    EXPECT_EQ(value("Last Run Time"), 5000u);
    EXPECT_EQ(value("Last Success Time"), 5060u);
    EXPECT_EQ(value("Last Return"), 0u);
}

TEST_F(EventRunTest, NonZeroExitIsAFailureWithItsStatusAndKeepsTheLastSuccess)
{
    runner.outcome = std::optional<int>(3);
    EventRun r = run_and_record();
    EXPECT_FALSE(r.outcome.success);
    EXPECT_EQ(value("Last Return"), 3u);
    EXPECT_EQ(value("Last Success Time"), 1000u);
    EXPECT_EQ(value("Last Run Time"), 5000u);
}

TEST_F(EventRunTest, AProgramThatCannotStartOrIsKilledIsAFailure)
{
    runner.outcome = make_error("no such program");
    EXPECT_FALSE(run_and_record().outcome.success);
    EXPECT_EQ(value("Last Return"), kEventNotStarted);
    EXPECT_EQ(value("Last Success Time"), 1000u);

    runner.outcome = make_error("ended by signal 9", kRunKilled);
    EXPECT_FALSE(run_and_record().outcome.success);
    EXPECT_EQ(value("Last Return"), kEventKilled);

    runner.program_text.clear();
    EXPECT_FALSE(run_and_record().outcome.success);
    EXPECT_EQ(runner.runs, 2); // nothing started without a program
}

TEST_F(EventRunTest, StationStoppingWritesOnlyTheStart)
{
    runner.outcome = std::optional<int>();
    EventRun r = run_and_record();
    EXPECT_FALSE(r.finished);
    EXPECT_EQ(value("Last Return"), 77u); // never written
    EXPECT_EQ(value("Last Success Time"), 1000u);
}

TEST_F(EventRunTest, HousekeepingSucceedsWithItsResultAndIsSkippedWhileTheSuiteRuns)
{
    event.associate = EventAssociate::Housekeeping;
    runner.housekeeping_result = std::uint32_t(12);
    EventRun done = run_and_record();
    EXPECT_TRUE(done.outcome.success);
    EXPECT_EQ(value("Last Success Time"), 5060u);
    EXPECT_EQ(value("Last Return"), 12u);
    EXPECT_EQ(runner.runs, 0);

    ASSERT_TRUE(store->write_integer(event.key_path, "Last Success Time", 1000).ok());
    runner.open = true;
    EventRun skipped = run_and_record();
    EXPECT_TRUE(skipped.skipped);
    EXPECT_FALSE(skipped.outcome.success);
    EXPECT_EQ(runner.housekeepings, 1);
    EXPECT_EQ(value("Last Success Time"), 1000u);

    runner.open = false;
    runner.housekeeping_result = make_error("disk full");
    EXPECT_FALSE(run_and_record().outcome.success);
    EXPECT_EQ(value("Last Success Time"), 1000u);
}

// The key is found by the event's name when the run is written: an event deleted while it ran
// stays deleted, and one whose key was recreated under another key name gets its values there.
TEST_F(EventRunTest, ADeletedEventIsNotBroughtBackAndAMovedOneIsFoundByName)
{
    ASSERT_TRUE(record_event_start(*store, event, 5000).ok());
    EventRun r = run_event_once(event, runner);
    ASSERT_TRUE(store->delete_key(event.key_path).ok());
    Status gone = record_event_end(*store, event, r, 5060);
    EXPECT_FALSE(gone);
    EXPECT_FALSE(store->key_exists(event.key_path));
    EXPECT_FALSE(record_event_start(*store, event, 5100));
    EXPECT_FALSE(store->key_exists(event.key_path));

    std::string moved = "SOFTWARE\\Orva\\Helmo\\Events\\Renamed";
    ASSERT_TRUE(store->write_string(moved, "Name", "Nightly").ok());
    ASSERT_TRUE(record_event_end(*store, event, r, 5200).ok());
    EXPECT_EQ(store->read_integer(moved, "Last Success Time").value_or(0), 5200u);
    EXPECT_FALSE(store->key_exists(event.key_path));
}

} // namespace
} // namespace orva::station

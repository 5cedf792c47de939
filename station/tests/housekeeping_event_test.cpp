// A day of station time on the demo station: the daily housekeeping event runs at its hour, on
// the station's clock, deletes the old files and logs how many.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "common/settings/satellite_record.h"
#include "common/settings/subkey_records.h"
#include "common/settings/suite_settings.h"
#include "station/core/event_run.h"
#include "station/core/station_core.h"
#include "station/housekeeping/housekeeping.h"
#include "station/tests/schedule_fixture.h"
#include "station/tests/setup_temp.h"
#include "station/tests/station_fake_io.h"
#include "cli/setup/demo_station.h"

namespace orva::station {
namespace {

namespace fs = std::filesystem;
using testing::kReferenceStart;
using testing::demo_site;

void touch(const fs::path& p, std::int64_t mtime)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
    fs::last_write_time(p, std::chrono::file_clock::from_sys(std::chrono::system_clock::time_point(std::chrono::seconds(mtime))));
}

// The host's part: an event due on the timeline runs at once with the store and the station time.
struct HousekeepingIo : testing::FakeIo {
    platform::Store* store = nullptr;
    std::vector<std::int64_t> ran_at;
    void run_event(const EventEntry& e) override
    {
        testing::FakeIo::run_event(e);
        struct Runner : EventRunner {
            HousekeepingIo& io;
            explicit Runner(HousekeepingIo& i) : io(i) {}
            std::string program(const EventEntry&) override { return ""; }
            std::string directory(const EventEntry&) override { return ""; }
            Result<std::optional<int>> run(const std::string&, const std::string&) override { return make_error("no"); }
            bool suite_programs_open() override { return false; }
            Result<std::uint32_t> housekeeping() override
            {
                return housekeeping_event(*io.store, *io.clock, [this](const std::string& l) { io.log(l); });
            }
        } runner(*this);
        ran_at.push_back(*clock);
        EventRun r = run_event_once(e, runner);
        log("event " + e.name + ": " + r.outcome.message + " (" + std::to_string(r.outcome.result) + ")");
    }
};

TEST(HousekeepingEvent, ADailyEventCleansTheDemoStationOnTheStationClock)
{
    test_support::SetupScratch t;
    auto store = t.open();
    ASSERT_TRUE(tools::create_demo_station(store, t.dir / "suite"));
    auto ao = settings::read_satellite(store, "AO-16", settings::Program::Helmo);
    ASSERT_TRUE(ao);
    const std::int64_t start = kReferenceStart; // midnight UTC
    fs::path dlx = ao->dlx_directory;
    touch(dlx / "0001.DLX", start - 20 * 86400);
    touch(dlx / "0002.DLX", start - 12 * 86400);
    touch(dlx / "0003.DLX", start - 2 * 86400);
    touch(fs::path(ao->satellite_directory) / "0AB1.ACT", start - 30 * 86400);
    auto h = settings::read_helmo(store);
    h.fh_delete_dlx = 1;
    h.fh_delete_act = 1;
    h.fh_oldest_files = 10;
    ASSERT_TRUE(settings::write_helmo(store, h));

    settings::EventRecord ev;
    ev.name = "Clean up";
    ev.run = static_cast<std::uint32_t>(EventTiming::Daily);
    ev.associate = static_cast<std::uint32_t>(EventAssociate::Housekeeping);
    ev.time = 3 * 3600;
    ev.active = 1;

    HousekeepingIo io;
    std::int64_t now = start;
    io.clock = &now;
    io.store = &store;
    StationCore core(ScheduleConfig{}, demo_site(), io);
    core.load_events({{"SOFTWARE\\Orva\\Helmo\\Events\\Clean up", ev}}, now);
    for (; now < start + 86400; ++now)
        core.tick(now);

    ASSERT_EQ(io.ran_at.size(), 1u);
    EXPECT_EQ(io.ran_at[0], start + 3 * 3600);
    EXPECT_FALSE(fs::exists(dlx / "0001.DLX"));
    EXPECT_FALSE(fs::exists(dlx / "0002.DLX"));
    EXPECT_TRUE(fs::exists(dlx / "0003.DLX"));
    EXPECT_FALSE(fs::exists(fs::path(ao->satellite_directory) / "0AB1.ACT"));
    EXPECT_NE(std::find(io.lines.begin(), io.lines.end(), "file housekeeping: 3 files deleted"), io.lines.end());
    EXPECT_NE(std::find(io.lines.begin(), io.lines.end(), "event Clean up: file housekeeping done (3)"), io.lines.end());
}

} // namespace
} // namespace orva::station

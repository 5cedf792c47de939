// Edit Schedule and Add Pass as the core takes them: what the dispatcher then does over a
// simulated run, what is refused and left untouched, and what the schedule file keeps.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "station/core/station_core.h"
#include "station/schedule/schedule_file.h"
#include "station/tests/schedule_fixture.h"
#include "station/tests/station_fake_io.h"

namespace orva::station {
namespace {

using namespace testing;
namespace fs = std::filesystem;

struct Sim {
    FakeIo io;
    std::int64_t now = kReferenceStart;
    std::unique_ptr<StationCore> core;
    std::int64_t pass_wake_ms = -1;

    Sim()
    {
        io.clock = &now;
        core = std::make_unique<StationCore>(ScheduleConfig{}, demo_site(), io);
    }
    void run_until(std::int64_t end)
    {
        for (; now <= end; ++now) {
            core->tick(now);
            for (std::int64_t t = pass_wake_ms < 0 ? now * 1000 : std::max(pass_wake_ms, now * 1000);
                 t <= now * 1000 + 999;) {
                std::optional<std::int64_t> next = core->poll_pass(t, false);
                if (!next) {
                    pass_wake_ms = -1;
                    break;
                }
                pass_wake_ms = *next;
                t = std::max(t + 1, *next);
            }
        }
    }
    RunningPass running() { return core->dispatcher_snapshot().running; }
    PassEntry first_future()
    {
        for (const PassEntry& e : core->schedule_snapshot())
            if (e.run_start - e.start_lead > now + 120)
                return e;
        ADD_FAILURE() << "no pass ahead";
        return {};
    }
};

PassEdit edit_of(const PassEntry& e)
{
    PassEdit p;
    p.aos = e.aos;
    p.los = e.los;
    p.priority = e.priority;
    p.dont_run = e.dont_run != 0;
    p.run_regardless = e.run_regardless != 0;
    p.ignore_pass_checking = e.ignore_pass_checking != 0;
    return p;
}

TEST(PassEdit, MovedTimesAreWhereTheDispatcherStartsThePass)
{
    Sim sim;
    const elements::KepRecord sat = reference_records()[0];
    sim.core->add_satellite(sat, 10, 0, 25, 0, 0, sim.now);
    sim.core->run_search(sim.now);
    const PassEntry e = sim.first_future();
    PassEdit p = edit_of(e);
    p.aos = e.aos + 1200;
    p.los = e.los + 1200;
    ASSERT_TRUE(sim.core->edit_pass(e.name, e.aos, p, sim.now));

    // The old start goes by with nothing started.
    sim.run_until(e.run_start + 60);
    EXPECT_FALSE(sim.running().running);
    // The new one starts the pass, its lead before the typed AOS.
    sim.run_until(p.aos - 25 - 2);
    EXPECT_FALSE(sim.running().running);
    sim.run_until(p.aos - 25 + 1);
    ASSERT_TRUE(sim.running().running);
    EXPECT_EQ(sim.running().aos, p.aos);
    EXPECT_EQ(sim.running().run_start, p.aos);
    EXPECT_EQ(sim.running().run_end, p.los);
}

TEST(PassEdit, NotRunningStatusAndDeleteKeepThePassListedButNeverStarted)
{
    for (bool by_delete : {false, true}) {
        Sim sim;
        sim.core->add_satellite(reference_records()[0], 10, 0, 25, 0, 0, sim.now);
        sim.core->run_search(sim.now);
        const PassEntry e = sim.first_future();
        if (by_delete) {
            ASSERT_TRUE(sim.core->delete_pass(e.name, e.aos, sim.now));
        } else {
            PassEdit p = edit_of(e);
            p.dont_run = true;
            p.priority = 0; // outside 1-100 is allowed, and stored as 0, for a pass that does not run
            ASSERT_TRUE(sim.core->edit_pass(e.name, e.aos, p, sim.now));
        }
        bool started = false;
        for (std::int64_t t = sim.now; t < e.los; t += 30) {
            sim.run_until(t);
            started = started || sim.running().running;
        }
        EXPECT_FALSE(started) << by_delete;
        bool listed = false;
        for (const PassEntry& x : sim.core->schedule_snapshot())
            if (x.name == e.name && x.aos == e.aos) {
                listed = true;
                EXPECT_EQ(x.dont_run, 1);
                EXPECT_EQ(x.priority, by_delete ? e.priority : 0);
            }
        EXPECT_TRUE(listed);
    }
}

TEST(PassEdit, BadEditsAreRefusedWithTheirMessageAndChangeNothing)
{
    Sim sim;
    sim.core->add_satellite(reference_records()[0], 10, 0, 25, 0, 0, sim.now);
    sim.core->run_search(sim.now);
    const PassEntry e = sim.first_future();
    const std::vector<PassEntry> before = sim.core->schedule_snapshot();

    struct Case {
        std::function<void(PassEdit&)> change;
        std::string message;
    };
    const std::vector<Case> cases = {
        {[](PassEdit& p) { p.priority = 0; }, kPriorityOutOfRange},
        {[](PassEdit& p) { p.priority = 101; }, kPriorityOutOfRange},
        {[](PassEdit& p) { p.priority = -1; }, kPriorityOutOfRange},
        {[](PassEdit& p) { p.los = p.aos; }, kLosBeforeAos},
        {[&](PassEdit& p) { p.aos = sim.now - 900; p.los = sim.now - 60; }, kPassAlreadyOver},
    };
    for (const Case& c : cases) {
        PassEdit p = edit_of(e);
        c.change(p);
        Status s = sim.core->edit_pass(e.name, e.aos, p, sim.now);
        ASSERT_FALSE(s);
        EXPECT_EQ(s.error().message, c.message);
        EXPECT_EQ(sim.core->schedule_snapshot(), before);
    }
    Status gone = sim.core->edit_pass(e.name, e.aos + 1, edit_of(e), sim.now);
    ASSERT_FALSE(gone);
    EXPECT_EQ(gone.error().message, kPassGone);
    // Add Pass refuses the same things.
    PassEdit bad = edit_of(e);
    bad.priority = 0;
    ASSERT_FALSE(sim.core->add_pass(e.name, bad, sim.now));
    // and a second pass of the satellite within a minute of one it has.
    PassEdit twin = edit_of(e);
    twin.aos += 30;
    ASSERT_FALSE(sim.core->add_pass(e.name, twin, sim.now));
    EXPECT_EQ(sim.core->schedule_snapshot(), before);
}

TEST(PassEdit, TheRunningPassCannotBeEditedOrDeleted)
{
    Sim sim;
    sim.core->add_satellite(reference_records()[0], 10, 0, 25, 0, 0, sim.now);
    sim.core->run_search(sim.now);
    const PassEntry e = sim.first_future();
    sim.run_until(e.run_start + 30);
    ASSERT_TRUE(sim.running().running);
    ASSERT_EQ(sim.running().aos, e.aos);
    const std::vector<PassEntry> before = sim.core->schedule_snapshot();

    PassEdit cut = edit_of(e);
    cut.los = sim.now + 5; // would end it under the pass's feet
    Status s = sim.core->edit_pass(e.name, e.aos, cut, sim.now);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.error().message, kPassIsRunning);
    Status d = sim.core->delete_pass(e.name, e.aos, sim.now);
    ASSERT_FALSE(d);
    EXPECT_EQ(d.error().message, kPassIsRunning);
    EXPECT_EQ(sim.core->schedule_snapshot(), before);
    sim.run_until(sim.now + 60);
    EXPECT_TRUE(sim.running().running);
    EXPECT_EQ(sim.running().run_end, e.run_end);
}

TEST(PassEdit, AddedPassesCompeteByPriorityAndAreSaved)
{
    Sim sim;
    const elements::KepRecord a = reference_records()[0], b = reference_records()[1];
    sim.core->add_satellite(a, 10, 0, 25, 0, 0, sim.now);
    sim.core->add_satellite(b, 10, 0, 25, 0, 0, sim.now);
    // No search: only the two passes added by hand.
    PassEdit pa, pb;
    pa.aos = sim.now + 600;
    pa.los = sim.now + 1500;
    pa.priority = 50;
    pb.aos = sim.now + 700;
    pb.los = sim.now + 1500;
    pb.priority = 10;
    ASSERT_TRUE(sim.core->add_pass(a.name, pa, sim.now));
    ASSERT_TRUE(sim.core->add_pass(b.name, pb, sim.now));

    sim.run_until(pa.aos + 10);
    ASSERT_TRUE(sim.running().running);
    EXPECT_EQ(sim.running().name, a.name);
    // The priority-10 pass takes over 10 s before its start less its lead.
    sim.run_until(pb.aos + 30);
    ASSERT_TRUE(sim.running().running);
    EXPECT_EQ(sim.running().name, b.name);

    const fs::path file = fs::temp_directory_path() / ("orva-pass-edit-" + std::to_string(::getpid()) + ".DAT");
    ASSERT_TRUE(sim.core->save_schedule(file));
    LoadedSchedule saved = load_schedule_file(file);
    fs::remove(file);
    ASSERT_EQ(saved.entries.size(), 2u);
    EXPECT_EQ(saved.entries[0].name, a.name);
    EXPECT_EQ(saved.entries[0].aos, pa.aos);
    EXPECT_EQ(saved.entries[0].priority, 50);
    EXPECT_EQ(saved.entries[1].name, b.name);
    EXPECT_EQ(saved.entries[1].los, pb.los);
}

} // namespace
} // namespace orva::station

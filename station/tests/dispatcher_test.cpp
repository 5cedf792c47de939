#include <gtest/gtest.h>

#include "station/schedule/dispatcher.h"
#include "station/tests/schedule_fixture.h"

namespace orva::station {
namespace {

using testing::demo_site;
using K = DispatchActionKind;

constexpr std::int64_t T0 = 1'000'000'000;

PassEntry pass(std::string name, std::int64_t start, std::int64_t length, std::int32_t priority,
               std::int32_t min_pass_time = 120)
{
    PassEntry e;
    e.name = std::move(name);
    e.aos = e.run_start = start;
    e.los = e.run_end = start + length;
    e.priority = priority;
    e.start_lead = 25;
    e.min_pass_time = min_pass_time;
    e.elevation_ok = 1;
    return e;
}

struct Events : DispatchEvents {
    std::int64_t lead = 0;
    std::int64_t run_due(std::int64_t) override { return kNever; }
    std::int64_t before_pass_lead(const std::string&) override { return lead; }
};

struct Fixture {
    ScheduleConfig cfg;
    Schedule sched{cfg, demo_site()};
    DispatcherState st;
    Events events;
    std::vector<std::string> log;

    // Runs the dispatcher at every wake-up (and at least every `step` seconds) up to `until`,
    // ending a started pass's program by itself `own_end` seconds after it started (never when 0).
    std::vector<DispatchAction> run(std::int64_t from, std::int64_t until)
    {
        std::vector<DispatchAction> all;
        for (std::int64_t now = from; now <= until; ++now) {
            if (now < st.next_wake && now != from)
                continue;
            for (DispatchAction& a : dispatch(sched, st, &events, now)) {
                log.push_back(std::to_string(now - T0) + " " + to_string(a.kind) + " " + a.name);
                if (a.kind == K::EndPass) // the program closes at once
                    finish(now);
                all.push_back(std::move(a));
            }
        }
        return all;
    }
    void finish(std::int64_t now)
    {
        if (PassEntry* e = sched.find_entry(st.running.name, st.running.aos)) {
            e->last_run_end = now;
            e->ended_by_station = st.station_ended ? 1 : 0;
            e->run_now = 0;
        }
        st.running = RunningPass{};
        st.hold_off = now + 10;
        st.next_wake = now;
    }
    // The starts and ends only.
    std::vector<std::string> runs() const
    {
        std::vector<std::string> out;
        for (const std::string& l : log)
            if (l.find(" pass ") != std::string::npos && l.find("notice") == std::string::npos)
                out.push_back(l);
        return out;
    }
    std::vector<std::string> starts(const std::vector<DispatchAction>& actions)
    {
        std::vector<std::string> out;
        for (const DispatchAction& a : actions)
            if (a.kind == K::StartPass)
                out.push_back(a.name);
        return out;
    }
};

TEST(Dispatcher, StartsAtRunStartMinusLeadAndEndsAfterPassEndTime)
{
    Fixture f;
    f.sched.insert_entry(pass("AO-16", T0 + 1000, 600, 10), T0);
    f.events.lead = 120;
    f.run(T0, T0 + 2000);
    EXPECT_EQ(f.runs(), (std::vector<std::string>{
                            "855 start pass AO-16", // 1000 - 25 - 120
                            "1610 end pass AO-16",  // LOS + Pass End Time
                        }));
}

TEST(Dispatcher, LowerPriorityRunsFirstOnlyWhenItGetsItsMinimumTime)
{
    // Priority 20 from 1000 to 1600; priority 10 from 1400. 20 gets 375 s before 10's start
    // minus lead: more than its minimum of 120, so it runs first and is cut for the other.
    Fixture f;
    f.sched.insert_entry(pass("LOW", T0 + 1000, 600, 20), T0);
    f.sched.insert_entry(pass("HIGH", T0 + 1400, 600, 10), T0);
    auto actions = f.run(T0, T0 + 2500);
    EXPECT_EQ(f.starts(actions), (std::vector<std::string>{"LOW", "HIGH"}));
    ASSERT_GE(f.runs().size(), 2u);
    EXPECT_EQ(f.runs()[1], "1365 end pass LOW"); // 10 s before 1400 - 25

    // With a minimum of 400 s the priority-10 pass is chosen and the other never runs before it.
    Fixture g;
    g.sched.insert_entry(pass("LOW", T0 + 1000, 600, 20, 400), T0);
    g.sched.insert_entry(pass("HIGH", T0 + 1400, 600, 10), T0);
    auto second = g.run(T0, T0 + 2500);
    ASSERT_FALSE(g.starts(second).empty());
    EXPECT_EQ(g.starts(second).front(), "HIGH");
}

TEST(Dispatcher, ARunningPassIsEndedTenSecondsBeforeAHigherPriorityStart)
{
    Fixture f;
    f.sched.insert_entry(pass("FIFTY", T0 + 100, 900, 50), T0);
    f.sched.insert_entry(pass("TEN", T0 + 600, 600, 10), T0);
    f.run(T0, T0 + 700);
    EXPECT_EQ(f.runs(), (std::vector<std::string>{
                            "75 start pass FIFTY",
                            "565 end pass FIFTY", // 600 - 25 - 10
                            "575 start pass TEN",
                        }));
}

TEST(Dispatcher, OwnEndBlocksAnHourStationEndWorsensBy75)
{
    Fixture f;
    f.sched.insert_entry(pass("A", T0 + 100, 5000, 10), T0);
    dispatch(f.sched, f.st, &f.events, T0 + 100);
    ASSERT_TRUE(f.st.running.running);
    // The program ends by itself.
    f.st.station_ended = false;
    f.finish(T0 + 200);
    f.st.hold_off = 0;
    auto again = dispatch(f.sched, f.st, &f.events, T0 + 300);
    EXPECT_TRUE(f.starts(again).empty());
    EXPECT_EQ(f.sched.entries()[0].effective_priority, kCannotRun);
    EXPECT_TRUE(f.starts(dispatch(f.sched, f.st, &f.events, T0 + 200 + 3600)).empty());
    auto later = dispatch(f.sched, f.st, &f.events, T0 + 200 + 3601);
    EXPECT_EQ(f.starts(later), std::vector<std::string>{"A"});
    EXPECT_EQ(f.sched.entries()[0].last_run_end, 0);

    // Ended by the station: may run again at once, with priority 85.
    f.st.station_ended = true;
    f.finish(T0 + 4000);
    f.st.hold_off = 0;
    auto resumed = dispatch(f.sched, f.st, &f.events, T0 + 4001);
    EXPECT_EQ(f.starts(resumed), std::vector<std::string>{"A"});
    EXPECT_EQ(f.st.running.effective_priority, 85);
}

// Settings that could not be read mark the entry as never to run: it must not restart every
// 30 s (a last run end of the largest time overflowed the hour check).
TEST(Dispatcher, NeverAgainStaysOff)
{
    Fixture f;
    f.sched.insert_entry(pass("A", T0 + 100, 900, 10), T0);
    dispatch(f.sched, f.st, &f.events, T0 + 100);
    ASSERT_TRUE(f.st.running.running);
    f.sched.entries()[0].last_run_end = kNeverRunsAgain;
    f.st.running = RunningPass{};
    f.st.hold_off = 0;
    auto actions = f.run(T0 + 101, T0 + 1000);
    EXPECT_TRUE(f.starts(actions).empty());
}

TEST(Dispatcher, RemovesPassesFiveMinutesAfterLosAndSearchesAgain)
{
    Fixture f;
    f.sched.insert_entry(pass("A", T0, 600, 10), T0);
    dispatch(f.sched, f.st, &f.events, T0 + 900);
    EXPECT_EQ(f.sched.entries().size(), 1u);
    auto actions = dispatch(f.sched, f.st, &f.events, T0 + 901);
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].kind, K::PassRemoved);
    EXPECT_TRUE(f.sched.entries().empty());
}

TEST(Dispatcher, IdleBeginsAfterAPassAndEndsNinetySecondsBeforeTheNext)
{
    Fixture f;
    f.st.idle = false;
    f.sched.insert_entry(pass("A", T0 + 2000, 600, 10), T0);
    auto actions = f.run(T0, T0 + 3000);
    // Idle again 60 s after the pass ended, once nothing is due within 300 s.
    std::vector<std::string> expect{"0 begin idle ", "1821 pre-pass notice A", "1886 end idle ",
                                    "1975 start pass A", "2610 end pass A", "2671 begin idle "};
    EXPECT_EQ(f.log, expect);
}

TEST(Dispatcher, PrePassNoticeOnceInsideThePopUpWindow)
{
    Fixture f;
    f.sched.insert_entry(pass("A", T0 + 1000, 600, 10), T0);
    f.run(T0, T0 + 1000);
    ASSERT_FALSE(f.log.empty());
    EXPECT_EQ(f.log[0], "821 pre-pass notice A"); // first second after run_start - 180
    int notices = 0;
    for (const std::string& l : f.log)
        notices += l.find("notice") != std::string::npos;
    EXPECT_EQ(notices, 1);
}

TEST(Dispatcher, HoldOffDelaysEverythingAndSchedulingOffStartsNothing)
{
    Fixture f;
    f.sched.insert_entry(pass("A", T0 + 100, 600, 10), T0);
    f.st.hold_off = T0 + 200;
    EXPECT_TRUE(f.starts(dispatch(f.sched, f.st, &f.events, T0 + 150)).empty());
    EXPECT_EQ(f.st.next_wake, T0 + 200);
    f.st.scheduling_enabled = false;
    EXPECT_TRUE(f.starts(dispatch(f.sched, f.st, &f.events, T0 + 201)).empty());
    f.st.scheduling_enabled = true;
    EXPECT_EQ(f.starts(dispatch(f.sched, f.st, &f.events, T0 + 202)), std::vector<std::string>{"A"});
}

TEST(Dispatcher, NotRunAndGreyPassesNeverStartButARunNowPassDoes)
{
    Fixture f;
    PassEntry grey = pass("GREY", T0 + 100, 600, 10);
    grey.elevation_ok = 0;
    PassEntry off = pass("OFF", T0 + 100, 600, 10);
    off.dont_run = 1;
    f.sched.insert_entry(grey, T0);
    f.sched.insert_entry(off, T0);
    EXPECT_TRUE(f.starts(f.run(T0, T0 + 800)).empty());
    PassEntry regardless = pass("REG", T0 + 1000, 600, 10);
    regardless.elevation_ok = 0;
    regardless.run_regardless = 1;
    f.sched.insert_entry(regardless, T0);
    PassEntry now = pass("NOW", T0 + 1000, 600, 90);
    now.run_now = 1;
    f.sched.insert_entry(now, T0);
    auto actions = f.run(T0 + 801, T0 + 1100);
    ASSERT_FALSE(f.starts(actions).empty());
    EXPECT_EQ(f.starts(actions).front(), "NOW"); // run now wins as priority 0
}

} // namespace
} // namespace orva::station

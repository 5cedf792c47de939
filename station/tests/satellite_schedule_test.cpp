// A satellite's setup saved, or the station moved, while the station runs: the schedule takes the
// new values at once, on a manual clock, and a running pass is never disturbed.
#include <gtest/gtest.h>

#include <algorithm>

#include "station/core/station_core.h"
#include "station/tests/schedule_fixture.h"
#include "station/tests/station_fake_io.h"

namespace orva::station {
namespace {

using namespace testing;

struct Sim {
    FakeIo io;
    std::int64_t now = kReferenceStart;
    std::unique_ptr<StationCore> core;
    std::int64_t pass_wake_ms = -1;

    explicit Sim(ScheduleConfig cfg = {}, elements::ObserverSite site = demo_site())
    {
        cfg.schedule_days = 2;
        io.clock = &now;
        core = std::make_unique<StationCore>(cfg, site, io);
        core->set_next_event_workers(false);
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
    int programs_started() const
    {
        return int(std::count_if(io.calls.begin(), io.calls.end(),
                                 [](const std::string& c) { return c.find(" start ") != std::string::npos; }));
    }
    std::vector<PassEntry> passes_of(const std::string& name)
    {
        std::vector<PassEntry> out;
        for (const PassEntry& e : core->schedule_snapshot())
            if (e.name == name)
                out.push_back(e);
        return out;
    }
};

elements::KepDatabase database_of(const std::vector<elements::KepRecord>& records)
{
    elements::KepDatabase db;
    for (const auto& r : records)
        db.add_record(r);
    return db;
}

SatelliteSchedule settings_of(const std::string& name, std::int32_t state = 0, std::int32_t min_elevation = 0)
{
    SatelliteSchedule s;
    s.name = name;
    s.priority = 10;
    s.sat_state = state;
    s.min_elevation = min_elevation;
    return s;
}

TEST(SatelliteSchedule, StoredRecordBecomesScheduleSettings)
{
    settings::SatelliteRecord r;
    r.name = "AO-16";
    r.priority = 0;
    r.state = 7;
    r.start_time = 40;
    r.min_elevation = 12;
    r.min_pass_time = 3;
    SatelliteSchedule s = satellite_schedule(r);
    EXPECT_EQ(s.priority, 10); // outside 1-100
    EXPECT_EQ(s.sat_state, 3);
    EXPECT_EQ(s.start_lead, 40);
    EXPECT_EQ(s.min_elevation, 12);
    EXPECT_EQ(s.min_pass_time, 180);
    r.priority = 100;
    EXPECT_EQ(satellite_schedule(r).priority, 100);
    r.priority = 101;
    EXPECT_EQ(satellite_schedule(r).priority, 10);
}

// Switched to "Disable" its passes leave the schedule; to "Display" they stay listed but are not
// run; back to "Track and Display" they run again.
TEST(SatelliteSchedule, SatelliteSwitchedOffIsNoLongerRun)
{
    std::vector<elements::KepRecord> records = reference_records();
    elements::KepDatabase db = database_of({records[0]});
    const std::string name = records[0].name;
    Sim sim;
    sim.core->add_satellite(records[0], 10, 0, 25, 0, 0, sim.now);
    sim.core->run_search(sim.now);
    std::vector<PassEntry> before = sim.passes_of(name);
    ASSERT_GE(before.size(), 4u);

    EXPECT_FALSE(sim.core->set_satellite_schedule(settings_of(name, 1), db, sim.now));
    std::vector<PassEntry> listed = sim.passes_of(name);
    ASSERT_EQ(listed.size(), before.size());
    for (const PassEntry& e : listed)
        EXPECT_EQ(e.dont_run, 1);
    sim.run_until(listed[0].los + 30);
    EXPECT_EQ(sim.programs_started(), 0);

    EXPECT_FALSE(sim.core->set_satellite_schedule(settings_of(name, 2), db, sim.now));
    EXPECT_TRUE(sim.passes_of(name).empty());
    sim.run_until(listed[1].los + 30);
    EXPECT_EQ(sim.programs_started(), 0);
    sim.core->search_wanted(sim.now); // the hourly look for searches to restart leaves it out
    EXPECT_EQ(sim.core->schedule().search_list_size(), 0u);

    // On again: it is looked up in the database, searched, and its next pass runs.
    EXPECT_TRUE(sim.core->set_satellite_schedule(settings_of(name, 0), db, sim.now));
    sim.core->run_search(sim.now);
    std::vector<PassEntry> again = sim.passes_of(name);
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(again[0].dont_run, 0);
    sim.run_until(again[0].los + 30);
    EXPECT_EQ(sim.programs_started(), 1);
}

// A raised minimum elevation greys the low passes (they are not run) and keeps the high ones;
// lowering it again brings the low ones back. Priority and lead reach the passes too.
TEST(SatelliteSchedule, RaisedMinimumElevationDropsTheLowPasses)
{
    std::vector<elements::KepRecord> records = reference_records();
    elements::KepDatabase db = database_of({records[0]});
    const std::string name = records[0].name;
    Sim sim;
    sim.core->add_satellite(records[0], 10, 0, 25, 0, 0, sim.now);
    sim.core->run_search(sim.now);
    std::vector<PassEntry> before = sim.passes_of(name);
    std::vector<std::int32_t> elevations;
    for (const PassEntry& e : before) {
        EXPECT_EQ(e.elevation_ok, 1);
        elevations.push_back(e.max_elevation);
    }
    std::sort(elevations.begin(), elevations.end());
    ASSERT_LT(elevations.front(), elevations.back());
    std::int32_t limit = elevations[elevations.size() / 2] + 1;

    SatelliteSchedule raised = settings_of(name, 0, limit);
    raised.priority = 40;
    raised.start_lead = 90;
    sim.core->set_satellite_schedule(raised, db, sim.now);
    std::vector<PassEntry> after = sim.passes_of(name);
    ASSERT_EQ(after.size(), before.size());
    int low = 0;
    for (const PassEntry& e : after) {
        EXPECT_EQ(e.elevation_ok, e.max_elevation >= limit ? 1 : 0) << e.max_elevation;
        low += e.max_elevation < limit;
        EXPECT_EQ(e.priority, 40);
        EXPECT_EQ(e.start_lead, 90);
    }
    ASSERT_GT(low, 0);

    // The first low pass goes by without a run; the first high one runs.
    auto first_low = std::find_if(after.begin(), after.end(), [&](const PassEntry& e) { return e.max_elevation < limit; });
    auto first_high = std::find_if(after.begin(), after.end(), [&](const PassEntry& e) { return e.max_elevation >= limit; });
    ASSERT_NE(first_high, after.end());
    if (first_low < first_high) {
        sim.run_until(first_low->los + 30);
        EXPECT_EQ(sim.programs_started(), 0);
    }
    sim.run_until(first_high->run_start);
    EXPECT_TRUE(sim.core->dispatcher_snapshot().running.running);
    EXPECT_EQ(sim.core->dispatcher_snapshot().running.aos, first_high->aos);

    // Lowered again: every pass still to come is fit to run.
    sim.core->set_satellite_schedule(settings_of(name, 0, 0), db, sim.now);
    for (const PassEntry& e : sim.passes_of(name))
        EXPECT_EQ(e.elevation_ok, 1);
}

// With "Use Horizon" a pass that never clears the radio horizon stays unfit whatever the minimum
// elevation, including a pass read back from the schedule file (whose flag was not kept).
TEST(SatelliteSchedule, PassBelowTheRadioHorizonStaysUnfit)
{
    std::vector<elements::KepRecord> records = reference_records();
    elements::KepDatabase db = database_of({records[0]});
    const std::string name = records[0].name;
    ScheduleConfig cfg;
    cfg.search.use_horizon = true;
    cfg.search.horizon.fill(0);
    for (int i = 0; i < 6; ++i)
        cfg.search.horizon[std::size_t(i)] = 89; // the east is walled off
    Sim sim(cfg);
    sim.core->add_satellite(records[0], 10, 0, 25, 0, 0, sim.now);
    sim.core->run_search(sim.now);
    std::vector<PassEntry> before = sim.passes_of(name);
    auto unfit = [](const std::vector<PassEntry>& v) {
        return std::count_if(v.begin(), v.end(), [](const PassEntry& e) { return e.elevation_ok == 0; });
    };
    ASSERT_GT(unfit(before), 0);
    ASSERT_LT(unfit(before), std::ptrdiff_t(before.size()));
    // As if loaded from the file: the in-memory flag is unknown.
    {
        std::lock_guard lock(sim.core->schedule_lock());
        for (PassEntry& e : sim.core->schedule().entries())
            e.radio_horizon_missed.reset();
    }
    sim.core->set_satellite_schedule(settings_of(name, 0, 1), db, sim.now);
    sim.core->set_satellite_schedule(settings_of(name, 0, 0), db, sim.now);
    std::vector<PassEntry> after = sim.passes_of(name);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].elevation_ok, before[i].elevation_ok) << i;
}

// The satellite of the running pass is switched off and its minimum elevation raised mid-pass:
// the pass runs to its end as it started, then the satellite leaves the schedule.
TEST(SatelliteSchedule, RunningPassIsLeftAlone)
{
    std::vector<elements::KepRecord> records = reference_records();
    elements::KepDatabase db = database_of({records[0]});
    const std::string name = records[0].name;
    Sim sim;
    sim.core->add_satellite(records[0], 10, 0, 25, 0, 0, sim.now);
    sim.core->run_search(sim.now);
    PassEntry first = sim.passes_of(name).front();
    sim.run_until(first.run_start + 30);
    ASSERT_TRUE(sim.core->dispatcher_snapshot().running.running);
    ASSERT_EQ(sim.programs_started(), 1);

    sim.core->set_satellite_schedule(settings_of(name, 0, 90), db, sim.now);
    std::vector<PassEntry> now_listed = sim.passes_of(name);
    ASSERT_EQ(now_listed.front().aos, first.aos);
    EXPECT_EQ(now_listed.front().elevation_ok, 1); // the running one keeps its values
    EXPECT_EQ(now_listed.front().priority, first.priority);
    EXPECT_EQ(now_listed[1].elevation_ok, 0);

    sim.core->set_satellite_schedule(settings_of(name, 2), db, sim.now);
    std::vector<PassEntry> during = sim.passes_of(name);
    ASSERT_EQ(during.size(), 1u);
    EXPECT_EQ(during.front().aos, first.aos);
    sim.run_until(first.run_end - 5);
    EXPECT_TRUE(sim.core->dispatcher_snapshot().running.running);
    for (const std::string& c : sim.io.calls)
        EXPECT_EQ(c.find("close window"), std::string::npos) << c;

    // It ends at its own end, as it would have.
    sim.run_until(first.run_end + 60);
    EXPECT_FALSE(sim.core->dispatcher_snapshot().running.running);
    auto closed = std::find(sim.io.calls.begin(), sim.io.calls.end(), std::to_string(first.run_end + 10) + " close window");
    EXPECT_NE(closed, sim.io.calls.end());
    EXPECT_TRUE(sim.passes_of(name).empty());
    EXPECT_EQ(sim.core->schedule().find_satellite(name), nullptr);
    sim.run_until(sim.now + 86400);
    EXPECT_EQ(sim.programs_started(), 1);
}

// Message 2037 names no satellite: the whole store is compared with what the station runs.
TEST(SatelliteSchedule, StoreSyncAddsChangesAndRemoves)
{
    std::vector<elements::KepRecord> records = reference_records();
    elements::KepDatabase db = database_of({records[0], records[1], records[2]});
    Sim sim;
    std::vector<SatelliteSchedule> configured{settings_of(records[0].name), settings_of(records[1].name),
                                              settings_of("NOT-IN-DB")};
    EXPECT_TRUE(sim.core->sync_satellites(configured, db, sim.now));
    EXPECT_EQ(sim.io.warnings.size(), 1u);
    sim.core->run_search(sim.now);
    EXPECT_FALSE(sim.passes_of(records[0].name).empty());
    EXPECT_FALSE(sim.passes_of(records[1].name).empty());

    // Nothing changed: no search, and the missing satellite is not warned about again.
    EXPECT_FALSE(sim.core->sync_satellites(configured, db, sim.now));
    EXPECT_EQ(sim.io.warnings.size(), 1u);

    // records[1] deleted (or renamed), records[2] added, records[0] to "Display".
    configured = {settings_of(records[0].name, 1), settings_of(records[2].name), settings_of("NOT-IN-DB")};
    EXPECT_TRUE(sim.core->sync_satellites(configured, db, sim.now));
    sim.core->run_search(sim.now);
    EXPECT_TRUE(sim.passes_of(records[1].name).empty());
    EXPECT_EQ(sim.core->schedule().find_satellite(records[1].name), nullptr);
    EXPECT_FALSE(sim.passes_of(records[2].name).empty());
    for (const PassEntry& e : sim.passes_of(records[0].name))
        EXPECT_EQ(e.dont_run, 1);
    EXPECT_EQ(sim.io.warnings.size(), 1u);

    // The missing satellite's settings change: it is warned about once more.
    configured.back().priority = 20;
    sim.core->sync_satellites(configured, db, sim.now);
    EXPECT_EQ(sim.io.warnings.size(), 2u);
}

// The station moved: the passes to come are the ones a station started at the new site finds,
// and the tracking table is computed from there.
TEST(SatelliteSchedule, StationMoveSearchesFromTheNewSite)
{
    std::vector<elements::KepRecord> records = reference_records();
    elements::KepDatabase db = database_of({records[0], records[1]});
    elements::ObserverSite far = elements::ObserverSite::from_station("N0CALL", -33.9, -151.2, 50.0);
    Sim moved, fresh({}, far);
    std::vector<std::string> names{records[0].name, records[1].name};
    moved.core->add_satellite(records[0], 10, 0, 25, 0, 0, moved.now);
    moved.core->add_satellite(records[1], 20, 0, 25, 0, 0, moved.now);
    moved.core->set_tracking(names, db, moved.now);
    moved.core->run_search(moved.now);
    moved.core->tick(moved.now);
    std::vector<PassEntry> old_site = moved.core->schedule_snapshot();

    std::int64_t t = kReferenceStart + 600;
    fresh.core->add_satellite(records[0], 10, 0, 25, 0, 0, t);
    fresh.core->add_satellite(records[1], 20, 0, 25, 0, 0, t);
    fresh.core->set_tracking(names, db, t);
    EXPECT_TRUE(moved.core->set_home(far, t));
    moved.core->run_search(t);
    fresh.core->run_search(t);
    std::vector<PassEntry> a = moved.core->schedule_snapshot(), b = fresh.core->schedule_snapshot();
    ASSERT_FALSE(b.empty());
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].name, b[i].name) << i;
        EXPECT_EQ(a[i].aos, b[i].aos) << i;
        EXPECT_EQ(a[i].los, b[i].los) << i;
    }
    EXPECT_NE(old_site.front().aos, a.front().aos);
    moved.core->tick(t + 1);
    fresh.core->tick(t + 1);
    EXPECT_EQ(moved.core->live_view(t + 1).rows, fresh.core->live_view(t + 1).rows);
}

// Moving the station during a pass keeps that pass running.
TEST(SatelliteSchedule, StationMoveKeepsTheRunningPass)
{
    std::vector<elements::KepRecord> records = reference_records();
    Sim sim;
    sim.core->add_satellite(records[0], 10, 0, 25, 0, 0, sim.now);
    sim.core->run_search(sim.now);
    PassEntry first = sim.passes_of(records[0].name).front();
    sim.run_until(first.run_start + 30);
    ASSERT_TRUE(sim.core->dispatcher_snapshot().running.running);
    elements::ObserverSite nearby = elements::ObserverSite::from_station("N0CALL", 52.3, 0.2, 20.0);
    sim.core->set_home(nearby, sim.now);
    sim.core->run_search(sim.now);
    std::vector<PassEntry> after = sim.passes_of(records[0].name);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front().aos, first.aos); // the running entry, not a copy from the new site
    EXPECT_TRUE(std::none_of(after.begin() + 1, after.end(),
                             [&](const PassEntry& e) { return std::llabs(e.aos - first.aos) < 600; }));
    sim.run_until(first.run_end + 60);
    EXPECT_EQ(sim.programs_started(), 1);
    EXPECT_FALSE(sim.core->dispatcher_snapshot().running.running);
}

} // namespace
} // namespace orva::station

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "station/tests/schedule_fixture.h"

namespace orva::station {
namespace {

using namespace testing;
constexpr double kPi = 3.14159265358979323846;

struct RefPass {
    int catalogue;
    double aos, los, tca, max_el;
};

std::vector<RefPass> reference_passes()
{
    std::vector<RefPass> out;
    for (const auto& row : read_csv(data_path("pass_reference.csv")))
        out.push_back({int(row[0]), row[1], row[2], row[3], row[4]});
    return out;
}

Schedule reference_schedule(int satellites, std::int64_t days)
{
    ScheduleConfig cfg;
    cfg.schedule_days = days;
    Schedule sched(cfg, demo_site());
    std::vector<elements::KepRecord> records = reference_records();
    for (int i = 0; i < satellites; ++i)
        sched.join_search_list(sched.add_satellite(scheduled(records[std::size_t(i)], kReferenceStart)));
    return sched;
}

// skyfield's find_events on the same zeroed element sets over three days.
TEST(PassSearch, MatchesSkyfieldWithinTwoSecondsAndAHundredthOfADegree)
{
    Schedule sched = reference_schedule(10, 3);
    sched.run_search(kReferenceStart);
    std::map<int, std::string> names;
    for (const auto& s : sched.satellites())
        names[s->track.catalogue] = s->track.name;
    // The search's finest step below the horizon is 60 s: a pass shorter than that may fall
    // between two steps, so those are left out of the comparison.
    std::vector<RefPass> ref;
    for (const RefPass& r : reference_passes())
        if (r.los - r.aos >= 60)
            ref.push_back(r);
    ASSERT_GT(ref.size(), 200u);
    double worst_aos = 0, worst_los = 0, worst_el = 0;
    for (const RefPass& r : ref) {
        const PassEntry* match = nullptr;
        for (const PassEntry& e : sched.entries())
            if (e.name == names[r.catalogue] && std::fabs(double(e.aos) - r.aos) < 30)
                match = &e;
        ASSERT_NE(match, nullptr) << names[r.catalogue] << " pass at " << std::int64_t(r.aos) << " not found";
        if (std::fabs(double(match->aos) - r.aos) > 2 || std::fabs(double(match->los) - r.los) > 2)
            ADD_FAILURE() << match->name << " " << match->aos << " " << match->los << " vs " << r.aos << " " << r.los
                          << " el " << r.max_el;
        worst_aos = std::max(worst_aos, std::fabs(double(match->aos) - r.aos));
        worst_los = std::max(worst_los, std::fabs(double(match->los) - r.los));
        worst_el = std::max(worst_el, std::fabs(match->max_elevation_deg - r.max_el));
        // The whole degrees come from the search's own 5-s maximum, truncated.
        EXPECT_LE(std::abs(match->max_elevation - std::int32_t(match->max_elevation_deg)), 1);
        EXPECT_NEAR(double(match->tca), r.tca, 5.0);
    }
    EXPECT_LE(worst_aos, 2.0);
    EXPECT_LE(worst_los, 2.0);
    EXPECT_LE(worst_el, 0.05);
    // Nothing beyond what skyfield finds inside the span (passes cut by its ends aside).
    std::size_t inside = 0;
    for (const PassEntry& e : sched.entries())
        if (e.aos > kReferenceStart + 1 && e.los < kReferenceStart + 3 * 86400 - 1 && e.los - e.aos >= 60)
            ++inside;
    EXPECT_EQ(inside, ref.size());
    // In time order.
    for (std::size_t i = 1; i < sched.entries().size(); ++i)
        EXPECT_LE(sched.entries()[i - 1].aos, sched.entries()[i].aos);
}

elements::KepRecord circular(const std::string& name, double inclination, double mean_motion, double mean_anomaly)
{
    elements::KepRecord r;
    r.name = name;
    r.epoch_year = 25;
    r.epoch_day = 179.0;
    r.inclination = inclination;
    r.mean_motion = mean_motion;
    r.mean_anomaly = mean_anomaly;
    r.eccentricity = 0.0001;
    return r;
}

TEST(PassSearch, ASatelliteThatNeverRisesEndsAtTheSpan)
{
    ScheduleConfig cfg;
    Schedule sched(cfg, demo_site());
    // 5 degrees inclination at 600 km never clears the horizon at 52 N.
    sched.join_search_list(sched.add_satellite(scheduled(circular("LOW", 5.0, 14.9, 0), kReferenceStart)));
    int sweeps = 0;
    while (sched.search_list_size() > 0 && sweeps < 100000) {
        sched.search_sweep(kReferenceStart, kReferenceStart + 86400);
        ++sweeps;
    }
    EXPECT_EQ(sched.search_list_size(), 0u);
    EXPECT_LT(sweeps, 200);
    EXPECT_TRUE(sched.entries().empty());
}

TEST(PassSearch, AnAlwaysVisibleOrbitStartsAtTheSpanStart)
{
    // A geostationary orbit near the station's meridian: find a phase that is up.
    ScheduleConfig cfg;
    for (double ma = 0; ma < 360; ma += 15) {
        Schedule sched(cfg, demo_site());
        ScheduledSatellite s = scheduled(circular("GEO", 0.0, 1.00273791, ma), kReferenceStart);
        if (look_at(s.track, sched.site(), kReferenceStart).elevation < 0.1)
            continue;
        sched.join_search_list(sched.add_satellite(std::move(s)));
        int sweeps = 0;
        while (sched.search_list_size() > 0 && sweeps < 2000000) {
            sched.search_sweep(kReferenceStart, kReferenceStart + 86400);
            ++sweeps;
        }
        EXPECT_EQ(sched.search_list_size(), 0u);
        ASSERT_FALSE(sched.entries().empty());
        EXPECT_EQ(sched.entries().front().aos, kReferenceStart);
        return;
    }
    FAIL() << "no visible geostationary phase";
}

TEST(PassSearch, RisingAtTheStartStepsBackToTheAos)
{
    Schedule probe = reference_schedule(1, 1);
    probe.run_search(kReferenceStart);
    ASSERT_FALSE(probe.entries().empty());
    const PassEntry first = probe.entries().front();
    // Start the search in the middle of that pass.
    std::int64_t mid = (first.aos + first.los) / 2;
    ScheduleConfig cfg;
    Schedule sched(cfg, demo_site());
    sched.join_search_list(sched.add_satellite(scheduled(reference_records()[0], mid)));
    sched.run_search(mid);
    ASSERT_FALSE(sched.entries().empty());
    EXPECT_EQ(sched.entries().front().aos, first.aos);
    EXPECT_EQ(sched.entries().front().los, first.los);
}

TEST(PassSearch, RadioHorizonAboveEveryPassGreysItOut)
{
    ScheduleConfig cfg;
    cfg.search.use_horizon = true;
    cfg.search.horizon.fill(89);
    Schedule sched(cfg, demo_site());
    sched.join_search_list(sched.add_satellite(scheduled(reference_records()[0], kReferenceStart)));
    sched.run_search(kReferenceStart);
    ASSERT_FALSE(sched.entries().empty());
    for (const PassEntry& e : sched.entries()) {
        EXPECT_EQ(e.elevation_ok, 0);
        EXPECT_EQ(e.run_start, e.aos);
        EXPECT_EQ(e.run_end, e.los);
    }
}

TEST(PassSearch, RadioHorizonShortensTheUsablePass)
{
    ScheduleConfig plain;
    Schedule a(plain, demo_site());
    a.join_search_list(a.add_satellite(scheduled(reference_records()[0], kReferenceStart)));
    a.run_search(kReferenceStart);
    ScheduleConfig cfg;
    cfg.search.use_horizon = true;
    cfg.search.horizon.fill(5);
    Schedule b(cfg, demo_site());
    b.join_search_list(b.add_satellite(scheduled(reference_records()[0], kReferenceStart)));
    b.run_search(kReferenceStart);
    int checked = 0;
    for (const PassEntry& e : b.entries()) {
        if (e.max_elevation < 10)
            continue;
        ++checked;
        EXPECT_GT(e.run_start, e.aos);
        EXPECT_LT(e.run_end, e.los);
        EXPECT_EQ(e.elevation_ok, 1);
        const PassEntry* same = nullptr;
        for (const PassEntry& x : a.entries())
            if (std::llabs(x.aos - e.aos) <= 2)
                same = &x;
        ASSERT_NE(same, nullptr);
        EXPECT_NEAR(double(same->los), double(e.los), 2.0);
        // Display Horizon off: the shown times stay the geometric ones.
    }
    EXPECT_GT(checked, 0);
}

TEST(PassSearch, ShortOrLowPassesAreGrey)
{
    ScheduleConfig cfg;
    Schedule sched(cfg, demo_site());
    ScheduledSatellite s = scheduled(reference_records()[0], kReferenceStart);
    s.min_elevation = 20;
    s.min_pass_time = 600;
    sched.join_search_list(sched.add_satellite(std::move(s)));
    sched.run_search(kReferenceStart);
    for (const PassEntry& e : sched.entries()) {
        bool ok = e.max_elevation >= 20 && e.run_end - e.run_start >= 600;
        EXPECT_EQ(e.elevation_ok, ok ? 1 : 0);
    }
}

TEST(Schedule, ListenAndLimitHours)
{
    ScheduleConfig cfg;
    cfg.hours = {true, 22, 6, true, 7, 23};
    Schedule sched(cfg, demo_site());
    auto at = [](int h, int m) { return kReferenceStart + h * 3600 + m * 60; };
    auto entry = [](std::string n, std::int64_t aos) {
        PassEntry e;
        e.name = std::move(n);
        e.aos = aos;
        e.los = aos + 600;
        e.priority = 10;
        return e;
    };
    ASSERT_TRUE(sched.insert_entry(entry("A", at(23, 30)), 0));
    ASSERT_TRUE(sched.insert_entry(entry("B", at(5, 59)), 0));
    ASSERT_TRUE(sched.insert_entry(entry("C", at(6, 0)), 0));
    ASSERT_TRUE(sched.insert_entry(entry("D", at(23, 10) - 86400), 0));
    ASSERT_TRUE(sched.insert_entry(entry("E", at(12, 0)), 0));
    std::map<std::string, PassEntry> by;
    for (const PassEntry& e : sched.entries())
        by[e.name] = e;
    EXPECT_EQ(by["A"].listen_only, 1);
    EXPECT_EQ(by["B"].listen_only, 1);
    EXPECT_EQ(by["C"].listen_only, 0);
    EXPECT_EQ(by["D"].dont_run, 1);
    EXPECT_EQ(by["E"].dont_run, 0);
    EXPECT_EQ(by["C"].dont_run, 1); // before 07:00
    EXPECT_EQ(sched.entries().front().name, "D");
}

TEST(Schedule, InsertKeepsOrderAndRefusesDuplicates)
{
    ScheduleConfig cfg;
    Schedule sched(cfg, demo_site());
    auto entry = [](std::string n, std::int64_t aos, std::int32_t prio = 10) {
        PassEntry e;
        e.name = std::move(n);
        e.aos = aos;
        e.los = aos + 600;
        e.priority = prio;
        e.last_run_end = 77;
        return e;
    };
    EXPECT_TRUE(sched.insert_entry(entry("A", 1000), 995));
    EXPECT_FALSE(sched.insert_entry(entry("A", 1059), 0)); // within 60 s of its neighbour
    EXPECT_FALSE(sched.insert_entry(entry("A", 941), 0));
    EXPECT_TRUE(sched.insert_entry(entry("B", 1000), 0));
    EXPECT_TRUE(sched.insert_entry(entry("C", 500), 0));
    EXPECT_TRUE(sched.insert_entry(entry("A", 1060), 0));
    EXPECT_TRUE(sched.insert_entry(entry("a", 1010), 0));  // exact name only
    EXPECT_TRUE(sched.insert_entry(entry("A", 1001, 0), 0)); // manual passes are never duplicates
    std::vector<std::string> order;
    for (const PassEntry& e : sched.entries())
        order.push_back(e.name + std::to_string(e.aos));
    EXPECT_EQ(order, (std::vector<std::string>{"C500", "A1000", "B1000", "A1001", "a1010", "A1060"}));
    EXPECT_EQ(sched.entries()[1].popup_done, 1); // AOS within 10 s of now
    EXPECT_EQ(sched.entries()[2].popup_done, 0);
    EXPECT_EQ(sched.entries()[1].last_run_end, 0);
}

TEST(Schedule, SavedPassesResumeTheSearchAfterThem)
{
    Schedule first = reference_schedule(3, 1);
    first.run_search(kReferenceStart);
    std::vector<PassEntry> saved = first.take_for_save();
    ASSERT_FALSE(saved.empty());
    EXPECT_TRUE(first.entries().empty());
    Schedule again = reference_schedule(3, 1);
    std::vector<std::string> unknown = again.load_entries(saved, kReferenceStart);
    EXPECT_TRUE(unknown.empty());
    std::size_t loaded = again.entries().size();
    EXPECT_EQ(loaded, saved.size());
    again.run_search(kReferenceStart);
    // No pass twice: every AOS is at least 60 s from any other of the same satellite.
    for (std::size_t i = 0; i < again.entries().size(); ++i)
        for (std::size_t j = i + 1; j < again.entries().size(); ++j)
            if (again.entries()[i].name == again.entries()[j].name) {
                EXPECT_GE(std::llabs(again.entries()[i].aos - again.entries()[j].aos), 300);
            }
    // A satellite no longer known is named, its passes dropped.
    ScheduleConfig cfg;
    Schedule empty(cfg, demo_site());
    unknown = empty.load_entries(saved, kReferenceStart);
    EXPECT_EQ(unknown.size(), 3u);
    EXPECT_TRUE(empty.entries().empty());
}

TEST(Schedule, SaveKeepsScheduledAndNotRunButNotManual)
{
    ScheduleConfig cfg;
    Schedule sched(cfg, demo_site());
    PassEntry manual;
    manual.name = "M";
    manual.priority = 0;
    PassEntry off = manual;
    off.name = "OFF";
    off.dont_run = 1;
    PassEntry on = manual;
    on.name = "ON";
    on.priority = 5;
    sched.insert_manual(manual);
    sched.insert_entry(off, 0);
    sched.insert_entry(on, 0);
    std::vector<PassEntry> kept = sched.take_for_save();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].name, "OFF");
    EXPECT_EQ(kept[1].name, "ON");
}

TEST(Schedule, RemovingASatelliteRemovesItsPasses)
{
    Schedule sched = reference_schedule(2, 1);
    sched.run_search(kReferenceStart);
    std::string gone = sched.satellites()[0]->track.name;
    sched.remove_satellite(gone);
    EXPECT_EQ(sched.find_satellite(gone), nullptr);
    for (const PassEntry& e : sched.entries())
        EXPECT_NE(e.name, gone);
    EXPECT_FALSE(sched.entries().empty());
}

TEST(FlipDecision, EndStopNorthAndSouth)
{
    double d = kPi / 180;
    // End stop at north: east-to-west through the north needs a flip.
    EXPECT_TRUE(flip_needed(60 * d, 10 * d, 300 * d, false));
    EXPECT_FALSE(flip_needed(60 * d, 180 * d, 300 * d, false));
    EXPECT_TRUE(flip_needed(300 * d, 350 * d, 60 * d, false));
    EXPECT_FALSE(flip_needed(300 * d, 180 * d, 60 * d, false));
    EXPECT_FALSE(flip_needed(10 * d, 20 * d, 30 * d, false)); // same half
    // End stop at south: passing through the south needs a flip.
    EXPECT_TRUE(flip_needed(60 * d, 180 * d, 300 * d, true));
    EXPECT_FALSE(flip_needed(60 * d, 10 * d, 300 * d, true));
    EXPECT_TRUE(flip_needed(300 * d, 180 * d, 60 * d, true));
    EXPECT_FALSE(flip_needed(300 * d, 350 * d, 60 * d, true));
}

} // namespace
} // namespace orva::station

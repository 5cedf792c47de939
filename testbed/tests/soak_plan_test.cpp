#include <gtest/gtest.h>

#include <algorithm>

#include "testbed/soak/soak_plan.h"

namespace orva::soak {
namespace {

constexpr std::int64_t kStart = 1'796'688'000; // 2026-12-08 00:00 UTC
constexpr std::int64_t kDay = 86400;

// Passes of two satellites, about every 100 minutes, ten minutes long; every sixth one yields
// to a conflict.
std::vector<SoakPass> passes(double days)
{
    std::vector<SoakPass> out;
    int i = 0;
    for (std::int64_t t = kStart + 1800; t < kStart + std::int64_t(days * kDay) + kDay; t += 3000, ++i) {
        SoakPass p;
        p.satellite = i % 2 ? "UO-22" : "AO-16";
        p.aos = p.run_start = t;
        p.los = p.run_end = t + 600 + (i % 3) * 120;
        p.max_elevation = 10 + i % 50;
        p.scheduled = i % 6 != 5;
        out.push_back(p);
    }
    return out;
}

PlanSettings settings(double days, std::uint64_t seed)
{
    PlanSettings s;
    s.start = kStart;
    s.days = days;
    s.seed = seed;
    s.satellites = {"AO-16", "UO-22"};
    s.housekeeping_hours = {4, 16};
    return s;
}

bool same(const SoakPlan& a, const SoakPlan& b)
{
    if (a.faults.size() != b.faults.size() || a.files.size() != b.files.size() || a.uploads.size() != b.uploads.size())
        return false;
    for (std::size_t i = 0; i < a.faults.size(); ++i)
        if (a.faults[i].at != b.faults[i].at || a.faults[i].kind != b.faults[i].kind)
            return false;
    for (std::size_t i = 0; i < a.files.size(); ++i)
        if (a.files[i].at != b.files[i].at || a.files[i].size != b.files[i].size)
            return false;
    return true;
}

TEST(SoakPlan, TheSameSeedGivesTheSameRunAndAnotherSeedAnother)
{
    EXPECT_TRUE(same(make_plan(passes(1), settings(1, 42)), make_plan(passes(1), settings(1, 42))));
    EXPECT_FALSE(same(make_plan(passes(1), settings(1, 42)), make_plan(passes(1), settings(1, 43))));
}

TEST(SoakPlan, OneDayHasEveryKindOfFaultWhereItBelongs)
{
    const SoakPlan plan = make_plan(passes(1), settings(1, 7));
    int kinds[kFaultKinds] = {};
    for (const PlannedFault& f : plan.faults) {
        ++kinds[int(f.kind)];
        EXPECT_GE(f.at, kStart);
        EXPECT_LT(f.at, plan.end);
        const bool in_pass = f.kind == FaultKind::HelmoKillInPass || f.kind == FaultKind::BrekKill ||
                             f.kind == FaultKind::TncVanishes || f.kind == FaultKind::SatelliteSilent;
        if (in_pass) {
            // It strikes a pass the dispatcher runs, while the pass is on.
            auto p = std::find_if(plan.passes.begin(), plan.passes.end(),
                                  [&](const SoakPass& s) { return s.satellite == f.satellite && s.aos == f.pass_aos; });
            ASSERT_NE(p, plan.passes.end()) << fault_name(f.kind);
            EXPECT_TRUE(p->scheduled);
            EXPECT_GE(f.at, p->run_start);
            EXPECT_LT(f.at, p->run_end);
            EXPECT_GE(f.latest, f.at);
            EXPECT_LT(f.latest, p->run_end);
        }
        if (f.kind == FaultKind::HelmoKillBetweenPasses || f.kind == FaultKind::CorruptBody) {
            EXPECT_FALSE(in_window(plan.windows, f.at)) << fault_name(f.kind);
        }
        if (f.kind == FaultKind::HelmoKillBetweenPasses || f.kind == FaultKind::HelmoKillInPass) {
            EXPECT_LT(f.at, kStart + kDay * 6 / 10) << "helmo's kills come early in the first day";
        }
    }
    for (int k = 0; k < kFaultKinds; ++k)
        EXPECT_GE(kinds[k], 1) << fault_name(FaultKind(k));
    // Two different passes are never struck by two faults.
    std::vector<std::int64_t> struck;
    for (const PlannedFault& f : plan.faults)
        if (f.pass_aos)
            struck.push_back(f.pass_aos);
    std::sort(struck.begin(), struck.end());
    EXPECT_EQ(std::adjacent_find(struck.begin(), struck.end()), struck.end());
}

TEST(SoakPlan, FilesAndUploadsComeBetweenPassesAndStopBeforeTheQuietTail)
{
    const SoakPlan plan = make_plan(passes(3), settings(3, 9));
    EXPECT_EQ(plan.end, kStart + 3 * kDay);
    EXPECT_LE(plan.quiet_from, plan.end - 6 * 3600);
    std::size_t corrupt = 0;
    std::size_t large = 0;
    for (const PlannedFile& f : plan.files) {
        if (f.at != kStart) {
            EXPECT_FALSE(in_window(plan.windows, f.at));
        }
        EXPECT_GE(f.size, 200u);
        EXPECT_LE(f.size, 40000u);
        if (f.size < 24000) {
            EXPECT_LT(f.at, plan.quiet_from);
        }
        corrupt += f.corrupt;
        large += f.size >= 24000;
    }
    // A large file for each fault that strikes a download in progress, after the satellite's
    // previous pass.
    std::size_t mid_pass = 0;
    for (const PlannedFault& f : plan.faults)
        mid_pass += f.kind == FaultKind::HelmoKillInPass || f.kind == FaultKind::BrekKill || f.kind == FaultKind::TncVanishes;
    EXPECT_GE(large, mid_pass);
    EXPECT_GE(corrupt, 1u);
    EXPECT_FALSE(plan.uploads.empty());
    for (const PlannedUpload& u : plan.uploads) {
        EXPECT_LT(u.at, plan.quiet_from);
        EXPECT_FALSE(in_window(plan.windows, u.at));
    }
}

TEST(SoakPlan, WindowsCoverEveryPassAndMergeWhenTheyOverlap)
{
    std::vector<SoakPass> ps = passes(1);
    SoakPass close = ps[2];
    close.satellite = "UO-22";
    close.aos = close.run_start = ps[2].run_end - 60; // begins as the other ends
    close.los = close.run_end = close.aos + 400;
    ps.push_back(close);
    const SoakPlan plan = make_plan(ps, settings(1, 3));
    for (std::size_t i = 1; i < plan.windows.size(); ++i)
        EXPECT_GT(plan.windows[i].from, plan.windows[i - 1].to + 60);
    for (const SoakPass& p : plan.passes) {
        EXPECT_TRUE(in_window(plan.windows, p.run_start - p.start_lead - 60));
        EXPECT_TRUE(in_window(plan.windows, p.run_end + 60));
    }
    // Passes outside the run's span, or whose program would start before it, are left out.
    for (const SoakPass& p : plan.passes) {
        EXPECT_GT(p.run_start - p.start_lead, kStart);
        EXPECT_LT(p.run_end, plan.end);
    }
}

} // namespace
} // namespace orva::soak

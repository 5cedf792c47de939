#include "testbed/soak/soak_plan.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

namespace orva::soak {

const char* fault_name(FaultKind kind)
{
    switch (kind) {
    case FaultKind::HelmoKillBetweenPasses: return "kill -9 helmo between passes";
    case FaultKind::HelmoKillInPass: return "kill -9 helmo during a pass";
    case FaultKind::BrekKill: return "kill -9 brek mid-download";
    case FaultKind::TncVanishes: return "TNC vanishes mid-pass";
    case FaultKind::SatelliteSilent: return "satellite never answers";
    case FaultKind::CorruptBody: return "corrupt download body";
    case FaultKind::StoreLocked: return "store locked by another writer";
    }
    return "?";
}

bool in_window(const std::vector<SlowWindow>& windows, std::int64_t t)
{
    for (const SlowWindow& w : windows)
        if (t >= w.from && t <= w.to)
            return true;
    return false;
}

namespace {

constexpr std::int64_t kDay = 86400;
// A fault between passes keeps this far from a pass, so it is plainly not part of one.
constexpr std::int64_t kGapMargin = 600;
// A pass must be this long for a fault to strike in the middle of its download.
constexpr std::int64_t kShortestFaultedPass = 300;

class Planner {
public:
    Planner(const PlanSettings& s, SoakPlan& plan) : s_(s), plan_(plan), random_(s.seed) {}

    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random_); }
    std::int64_t uniform_time(std::int64_t lo, std::int64_t hi)
    {
        return hi <= lo ? lo : std::uniform_int_distribution<std::int64_t>(lo, hi)(random_);
    }

    // A time in [lo, hi] well away from every pass; `lo` itself when there is none.
    std::int64_t gap_time(std::int64_t lo, std::int64_t hi)
    {
        for (int attempt = 0; attempt < 400; ++attempt) {
            std::int64_t t = uniform_time(lo, hi);
            bool clear = true;
            for (const SlowWindow& w : plan_.windows)
                if (t >= w.from - kGapMargin && t <= w.to + kGapMargin)
                    clear = false;
            if (clear)
                return t;
        }
        return lo;
    }

    // A pass the dispatcher runs, long enough, within [lo, hi], not yet struck by a fault.
    const SoakPass* pick_pass(std::int64_t lo, std::int64_t hi)
    {
        std::vector<const SoakPass*> pool;
        for (const SoakPass& p : plan_.passes)
            if (p.scheduled && p.run_end - p.run_start >= kShortestFaultedPass && p.run_start >= lo && p.run_end <= hi &&
                !struck_.count(key(p)))
                pool.push_back(&p);
        if (pool.empty())
            return nullptr;
        const SoakPass* p = pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random_)];
        struck_.insert(key(*p));
        return p;
    }

    void pass_fault(FaultKind kind, std::int64_t lo, std::int64_t hi)
    {
        const SoakPass* p = pick_pass(lo, hi);
        if (!p)
            p = pick_pass(s_.start, plan_.end - 2 * 3600);
        if (!p)
            return;
        PlannedFault f{kind, 0, 0, p->satellite, p->aos, 0};
        const std::int64_t length = p->run_end - p->run_start;
        if (kind == FaultKind::SatelliteSilent) {
            f.at = f.latest = p->run_start;
        } else {
            f.at = p->run_start;
            f.latest = p->run_start + std::int64_t(double(length) * uniform(0.3, 0.7));
            // A large file arrives on the satellite after its previous pass, so this one has a
            // download in progress to strike.
            std::int64_t from = s_.start;
            for (const SoakPass& q : plan_.passes)
                if (q.satellite == p->satellite && q.run_end < p->run_start)
                    from = std::max(from, q.run_end + s_.tail_seconds + 60);
            const std::int64_t to = p->run_start - p->start_lead - s_.lead_seconds;
            if (to > from)
                plan_.files.push_back({gap_time(from, to), p->satellite, std::uint32_t(uniform_time(24000, 40000)), false});
        }
        plan_.faults.push_back(f);
    }

private:
    static std::string key(const SoakPass& p) { return p.satellite + "@" + std::to_string(p.aos); }
    const PlanSettings& s_;
    SoakPlan& plan_;
    std::mt19937_64 random_;
    std::set<std::string> struck_;

public:
    std::mt19937_64& random() { return random_; }
};

} // namespace

SoakPlan make_plan(std::vector<SoakPass> passes, const PlanSettings& s)
{
    SoakPlan plan;
    plan.end = s.start + std::int64_t(std::llround(s.days * double(kDay)));
    const std::int64_t span = plan.end - s.start;
    plan.quiet_from = plan.end - std::max<std::int64_t>(6 * 3600, std::min<std::int64_t>(span / 4, kDay));

    auto wanted = [&](const SoakPass& p) {
        return std::find(s.satellites.begin(), s.satellites.end(), p.satellite) != s.satellites.end() &&
               p.run_start - p.start_lead > s.start && p.run_end < plan.end;
    };
    for (SoakPass& p : passes)
        if (wanted(p))
            plan.passes.push_back(std::move(p));
    std::sort(plan.passes.begin(), plan.passes.end(), [](const SoakPass& a, const SoakPass& b) { return a.aos < b.aos; });

    std::vector<SlowWindow> raw;
    for (const SoakPass& p : plan.passes)
        raw.push_back({p.run_start - p.start_lead - s.lead_seconds, p.run_end + s.tail_seconds});
    std::sort(raw.begin(), raw.end(), [](const SlowWindow& a, const SlowWindow& b) { return a.from < b.from; });
    for (const SlowWindow& w : raw) {
        if (!plan.windows.empty() && w.from <= plan.windows.back().to + 60)
            plan.windows.back().to = std::max(plan.windows.back().to, w.to);
        else
            plan.windows.push_back(w);
    }

    Planner planner(s, plan);
    // Helmo's two kills come early, so its memory on the first day is measured on the process
    // that then runs to the end.
    const std::int64_t early = s.start + std::int64_t(double(std::min<std::int64_t>(span, kDay)) * 0.6);
    planner.pass_fault(FaultKind::HelmoKillInPass, s.start, early);
    {
        const std::int64_t at = planner.gap_time(s.start + 1800, early);
        plan.faults.push_back({FaultKind::HelmoKillBetweenPasses, at, at, "", 0, 0});
    }

    const int per_day = std::max(1, int(std::lround(s.days)));
    const int per_two_days = std::max(1, int(std::lround(s.days / 2)));
    const std::int64_t last_pass_fault = plan.end - 2 * 3600;
    for (int i = 0; i < per_day; ++i)
        planner.pass_fault(FaultKind::BrekKill, s.start, last_pass_fault);
    for (int i = 0; i < per_day; ++i)
        planner.pass_fault(FaultKind::TncVanishes, s.start, last_pass_fault);
    for (int i = 0; i < per_two_days; ++i)
        planner.pass_fault(FaultKind::SatelliteSilent, s.start, last_pass_fault);

    // The store is locked around a housekeeping event, whose run writes the store; one lock is
    // shorter than the store's busy wait, the next longer, and so on.
    const int locks = std::max(2, per_day);
    std::vector<std::int64_t> moments;
    for (std::int64_t day = s.start / kDay * kDay; day < plan.end; day += kDay)
        for (int h : s.housekeeping_hours) {
            const std::int64_t t = day + h * 3600 - 60;
            if (t > s.start && t < plan.end - 3600 && !in_window(plan.windows, t) && !in_window(plan.windows, t + 600))
                moments.push_back(t);
        }
    std::shuffle(moments.begin(), moments.end(), planner.random());
    for (int i = 0; i < locks; ++i) {
        const std::int64_t at = i < int(moments.size()) ? moments[std::size_t(i)] : planner.gap_time(s.start, plan.quiet_from);
        plan.faults.push_back({FaultKind::StoreLocked, at, at, "", 0, i % 2 == 0 ? s.long_lock_seconds : s.short_lock_seconds});
    }

    for (const std::string& sat : s.satellites) {
        for (int i = 0; i < s.files_at_start; ++i)
            plan.files.push_back({s.start, sat, std::uint32_t(std::lround(std::exp(planner.uniform(std::log(200.0), std::log(20000.0))))), false});
        const int count = int(std::lround(s.files_per_day * double(plan.quiet_from - s.start) / double(kDay)));
        for (int i = 0; i < count; ++i)
            plan.files.push_back({planner.gap_time(s.start, plan.quiet_from), sat,
                                  std::uint32_t(std::lround(std::exp(planner.uniform(std::log(200.0), std::log(20000.0))))),
                                  false});
        const int uploads = std::max(1, int(std::lround(s.uploads_per_day * double(plan.quiet_from - s.start) / double(kDay))));
        for (int i = 0; i < uploads; ++i)
            plan.uploads.push_back({planner.gap_time(s.start + 600, plan.quiet_from), sat,
                                    std::uint32_t(planner.uniform_time(300, 6000))});
    }
    for (int i = 0; i < per_two_days && !s.satellites.empty(); ++i) {
        const std::string& sat = s.satellites[std::size_t(i) % s.satellites.size()];
        const std::int64_t at = planner.gap_time(s.start, plan.quiet_from);
        plan.files.push_back({at, sat, std::uint32_t(planner.uniform_time(600, 4000)), true});
        plan.faults.push_back({FaultKind::CorruptBody, at, at, sat, 0, 0});
    }

    auto by_time = [](const auto& a, const auto& b) { return a.at < b.at; };
    std::stable_sort(plan.faults.begin(), plan.faults.end(), by_time);
    std::stable_sort(plan.files.begin(), plan.files.end(), by_time);
    std::stable_sort(plan.uploads.begin(), plan.uploads.end(), by_time);
    return plan;
}

} // namespace orva::soak

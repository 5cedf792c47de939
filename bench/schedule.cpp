// Pass search for 50 satellites over 7 days on one core (testbed/refdata/pass_reference.py --bench
// times skyfield's find_events on the same element sets), and one tracking-loop round with 50
// tracked satellites.
#include <benchmark/benchmark.h>

#include <cmath>

#include "station/core/station_core.h"
#include "station/tests/schedule_fixture.h"

using namespace orva;
using namespace orva::station;

namespace {

// The 20 committed sets, then variants turned in RAAN and mean anomaly, as the script does.
std::vector<elements::KepRecord> bench_records()
{
    std::vector<elements::KepRecord> base = testing::reference_records(), out;
    for (int k = 0; k < 50; ++k) {
        elements::KepRecord r = base[std::size_t(k) % base.size()];
        int turn = k / int(base.size());
        r.mean_anomaly = std::fmod(r.mean_anomaly + 37.0 * turn, 360.0);
        r.raan = std::fmod(r.raan + 11.0 * turn, 360.0);
        r.name = "SAT " + std::to_string(k);
        out.push_back(r);
    }
    return out;
}

void BM_PassSearch50Satellites7Days(benchmark::State& state)
{
    std::vector<elements::KepRecord> records = bench_records();
    std::size_t passes = 0;
    for (auto _ : state) {
        ScheduleConfig cfg;
        cfg.schedule_days = 7;
        Schedule sched(cfg, testing::demo_site());
        for (const auto& r : records)
            sched.join_search_list(sched.add_satellite(testing::scheduled(r, testing::kReferenceStart)));
        sched.run_search(testing::kReferenceStart);
        passes = 0;
        for (const PassEntry& e : sched.entries())
            passes += e.aos < testing::kReferenceStart + 7 * 86400;
        benchmark::DoNotOptimize(passes);
    }
    state.counters["passes"] = double(passes);
}
BENCHMARK(BM_PassSearch50Satellites7Days)->Unit(benchmark::kMillisecond);

struct NoIo final : StationIo {
    void log(const std::string&) override {}
    void warn(const std::string&, const std::string&) override {}
    void pre_pass_notice(const PassEntry&, bool) override {}
    void close_pre_pass_notice(const PassEntry&) override {}
    void pass_started(const PassEntry&) override {}
    void run_event(const EventEntry&) override {}
    void track_satellite(const std::string&) override {}
    void start_modem_setup(const std::string&) override {}
    bool modem_ready() override { return true; }
    Result<ProgramSettings> read_program_settings(const std::string&) override { return ProgramSettings{}; }
    Status start_program(const std::string&, const ProgramSettings&) override { return {}; }
    bool find_program_window() override { return true; }
    bool program_window_is_engine(const std::string&) override { return false; }
    bool program_running() override { return false; }
    void post_to_engine(std::uint32_t, std::uint32_t, std::int32_t) override {}
    void close_program_window() override {}
    void forget_program() override {}
    void play_error_sound() override {}
};

// One second of station time: dispatcher check, 50 positions, next events as they fall due,
// the live table's rows.
void BM_TrackingLoopRound50Satellites(benchmark::State& state)
{
    NoIo io;
    ScheduleConfig cfg;
    StationCore core(cfg, testing::demo_site(), io);
    elements::KepDatabase db;
    std::vector<std::string> names;
    for (const auto& r : bench_records()) {
        db.add_record(r);
        names.push_back(r.name);
    }
    std::int64_t now = testing::kReferenceStart;
    core.set_tracking(names, db, now);
    core.tick(now); // first next-event searches
    for (auto _ : state) {
        ++now;
        core.tick(now);
        LiveView v = core.live_view(now);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_TrackingLoopRound50Satellites)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

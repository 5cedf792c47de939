// compute_position per call and the model's propagation alone, one core.
#include <benchmark/benchmark.h>

#include "station/orbit/sat_track.h"

using namespace orva::station;

namespace {
orva::elements::KepRecord sample()
{
    orva::elements::KepRecord r;
    r.name = "NOAA 19";
    r.catalogue = 33591;
    r.epoch_year = 25;
    r.epoch_day = 179.17597538;
    r.inclination = 98.9966;
    r.raan = 243.9844;
    r.eccentricity = 0.0012859;
    r.arg_perigee = 314.3569;
    r.mean_anomaly = 45.6549;
    r.mean_motion = 14.13382343;
    r.beacon_mhz = 137.1;
    return r;
}
} // namespace

static void BM_Propagate(benchmark::State& state)
{
    SatTrack t;
    (void)init_track(sample(), t, 0);
    double minutes = 0;
    for (auto _ : state) {
        Sgp4Result r = t.model->propagate(minutes);
        benchmark::DoNotOptimize(r);
        minutes += 0.37;
        if (minutes > 4320)
            minutes = -4320;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Propagate);

static void BM_ComputePosition(benchmark::State& state)
{
    SatTrack t;
    (void)init_track(sample(), t, 0);
    SiteFrame site = SiteFrame::from({"REF", 0.911, 0.0021, 20});
    StationSeconds start = t.epoch_time - 3 * 86400;
    t.compute_time = start;
    for (auto _ : state) {
        auto st = compute_position(t, site);
        benchmark::DoNotOptimize(st);
        benchmark::DoNotOptimize(t.azimuth);
        t.compute_time += 23;
        if (t.compute_time > start + 6 * 86400)
            t.compute_time = start;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComputePosition);

static void BM_ComputePositionWithSiteSetup(benchmark::State& state)
{
    SatTrack t;
    (void)init_track(sample(), t, 0);
    orva::elements::ObserverSite site{"REF", 0.911, 0.0021, 20};
    t.compute_time = t.epoch_time;
    for (auto _ : state) {
        auto st = compute_position(t, site);
        benchmark::DoNotOptimize(st);
        t.compute_time += 23;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ComputePositionWithSiteSetup);

BENCHMARK_MAIN();

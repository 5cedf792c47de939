// One fast-mode round of the map (position, five observers, circle, terminator and the ground
// track when it is due) and the shapes of one picture: the fast mode runs a round every 2 ms,
// so a round has to stay well below that.
#include <benchmark/benchmark.h>

#include "station/map/map_view.h"
#include "station/tests/map_satellite.h"

using namespace orva::station;
using namespace orva::station::map;

namespace {
orva::elements::KepRecord sample()
{
    orva::elements::KepRecord r = testing::map_satellite();
    r.beacon_mhz = 437.025;
    return r;
}

MapView fast_view()
{
    MapView v({}, orva::elements::ObserverSite::from_station("G0XYZ", 52, 1, 20));
    v.set_extra_observers({orva::elements::ObserverSite::from_record({"Boston", 42.36, -71.06, 10}),
                           orva::elements::ObserverSite::from_record({"Sydney", -33.87, 151.2, 50}),
                           orva::elements::ObserverSite::from_record({"Tokyo", 35.68, 139.7, 40}),
                           orva::elements::ObserverSite::from_record({"Quito", -0.18, -78.47, 2850})});
    (void)v.show_satellite(sample(), 1796817600);
    v.press(MapKey::Fast, 1796817600);
    return v;
}
} // namespace

static void BM_MapFastRound(benchmark::State& state)
{
    MapView v = fast_view();
    for (auto _ : state) {
        UpdateResult r = v.update(0);
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapFastRound);

static void BM_MapShapes(benchmark::State& state)
{
    MapView v = fast_view();
    for (auto _ : state) {
        MapShapes s = v.shapes();
        benchmark::DoNotOptimize(s);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapShapes);
BENCHMARK_MAIN();

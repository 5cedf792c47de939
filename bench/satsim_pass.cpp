// One simulated pass, the engine's session against satsim in the same process on a manual clock:
// 20 files of 200 KB in all at 9600 bit/s with a tenth of the frames lost each way. The figure is
// the station time to hold every file against the ideal (file bytes at the link rate); the target
// is 1.5 times the ideal or better.
#include "engine/tests/session_sim_host.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using namespace orva;
namespace fs = std::filesystem;

constexpr std::uint32_t kLinkBytesPerSecond = 9600 / 8;
constexpr int kFiles = 20;
constexpr std::size_t kTotal = 200 * 1024;

void run_pass(benchmark::State& state, bool real_server)
{
    for (auto _ : state) {
        engine::test::TempFolder root;
        const fs::path sat_dir = root / "AO-16";
        fs::create_directories(sat_dir);
        fs::create_directories(root / "served");
        const std::string equations = "[AUTO]\n{ FILESIZE > 1 }\n";
        engine::test::write_bytes(sat_dir / "Brek Equations.TXT", engine::test::Bytes(equations.begin(), equations.end()));

        engine::test::SimHost host;
        auto r = settings::new_satellite("AO-16", settings::SatelliteType::PacSat, root.path().string());
        r.satellite_directory = sat_dir.string();
        r.bbs_callsign = "PACSAT-12";
        r.bdcst_callsign = "PACSAT-11";
        r.run_dispo = 0;
        r.proc_threshold = 0;
        r.uploading = 0;
        host.sats.push_back(r);

        std::vector<satsim::ServedFile> files;
        std::size_t file_bytes = 0;
        const auto now_s = std::uint32_t(host.now / 1000);
        for (int i = 0; i < kFiles; ++i) {
            files.push_back(engine::test::served_file(0x400 + std::uint32_t(i), kTotal / kFiles,
                                                      now_s - 7200 + std::uint32_t(i) * 60, "Bench " + std::to_string(i)));
            file_bytes += files.back().bytes.size();
        }
        host.serve(files, root / "served", 0.10, 7);
        // The same satellite at the link's rate, in the chosen mode.
        satsim::SatelliteConfig c;
        c.bytes_per_second = kLinkBytesPerSecond;
        c.epoch = std::uint32_t(host.t0 / 1000);
        c.real_server = real_server;
        satsim::assign_ranges(files);
        host.satellite.emplace(c, std::move(files));

        engine::SessionConfig config;
        config.station.callsign = "G0ABC";
        config.general.orva_directory = root.path().string();
        config.seed = 5;
        engine::BrekSession session(config, host);
        session.start("AO-16");

        const std::uint64_t start = host.now;
        auto all_held = [&] {
            for (int i = 0; i < kFiles; ++i) {
                char name[16];
                std::snprintf(name, sizeof name, "%X.DL", 0x400 + i);
                if (!fs::exists(sat_dir / name))
                    return false;
            }
            return true;
        };
        bool done = false;
        const std::uint64_t limit_ms = 3'600'000;
        for (std::uint64_t t = 0; t < limit_ms && !done; t += 1000) {
            host.run(session, 1000);
            done = all_held();
        }
        const double seconds = double(host.now - start) / 1000;
        const double ideal = double(file_bytes) / kLinkBytesPerSecond;
        state.counters["station_s"] = seconds;
        state.counters["ideal_s"] = ideal;
        state.counters["ratio"] = seconds / ideal;
        state.counters["complete"] = done ? 1 : 0;
        // What limits the figure: the share of the downlink's time spent on broadcast bytes.
        const double busy = double(host.satellite->bytes_broadcast()) / (kLinkBytesPerSecond * seconds);
        state.counters["downlink_busy"] = busy;
        std::printf("%s satsim: %d files, %zu bytes, %.0f s of station time against %.0f s ideal: %.2fx%s; "
                    "%llu broadcast bytes sent, downlink busy %.0f%% of the pass, %llu file and %llu directory requests\n",
                    real_server ? "real-server" : "plain", kFiles, file_bytes, seconds, ideal, seconds / ideal,
                    done ? "" : " (NOT COMPLETE)", (unsigned long long)host.satellite->bytes_broadcast(), 100 * busy,
                    (unsigned long long)host.satellite->counters().requests,
                    (unsigned long long)host.satellite->counters().dir_requests);
    }
}

void BM_LossyPassPlain(benchmark::State& state) { run_pass(state, false); }
void BM_LossyPassRealServer(benchmark::State& state) { run_pass(state, true); }

BENCHMARK(BM_LossyPassPlain)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_LossyPassRealServer)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();

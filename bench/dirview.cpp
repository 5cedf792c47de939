// Tessel's directory model on a large directory: opening 100,000 headers (about 560 directory
// files) with the status table, then re-filtering by each fixed mode and by an equation.
// Targets: open plus re-filter under 1 s in total, peak memory under 100 MB.
#include <benchmark/benchmark.h>

#include "dirview/directory_model.h"
#include "dirview/tests/directory_fixture.h"

#include <fstream>

#include <sys/resource.h>

using namespace orva;
using namespace orva::dirview;

namespace {

constexpr std::uint32_t kHeaders = 100'000;

double peak_mb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

struct BigDirectory {
    testing::TempDir root;
    DirectoryConfig config = testing::make_config(root.path());

    BigDirectory()
    {
        // Written file by file, so that making it costs little memory of its own.
        int number = 0;
        testing::Bytes file;
        for (std::uint32_t i = 1; i <= kHeaders; ++i) {
            pfh::PfhHeader h = testing::header(i, 1'700'000'000 + i);
            h.file_type = std::uint8_t(i % 7 == 0 ? 8 : 0);
            h.source = "G" + std::to_string(i % 900) + "ABC";
            h.destination = i % 3 == 0 ? "ALL" : "W1ME";
            h.title = "Bulletin number " + std::to_string(i);
            h.keywords = "NEWS,AMSAT";
            h.file_size = 500 + i % 30000;
            testing::append(file, testing::bytes_of(h));
            if (file.size() > 25000) {
                testing::write_file(config.folders.satellite / directory_file_name(number++), file);
                file.clear();
            }
        }
        testing::write_file(config.folders.satellite / directory_file_name(number++), file);
        std::vector<std::pair<std::uint32_t, std::uint8_t>> records;
        for (std::uint32_t i = 0; i < 1000; ++i)
            records.push_back({kHeaders - i * 37, std::uint8_t(i % 2 ? 0x83 : 0x9A)});
        testing::write_status_table(config.folders.satellite, records);
        std::ofstream(config.suite_dir / kEquationsFileName)
            << "[Keps for all] {FILETYPE = 8 & DESTINATION = ALL }\n"
               "[Wanted] {STATUS = PRIORITY | ( SOURCE = G1 & TITLE = \"NUMBER 9\" ) }\n";
        config.maximum_pfh_files = 100'000;
        config.maximum_messages = 1'000'000;
        config.display_limit = 1'000'000; // a virtualised view shows every row
    }
};

BigDirectory& directory()
{
    static BigDirectory d;
    return d;
}

void open_and_refilter(benchmark::State& state)
{
    BigDirectory& d = directory();
    platform::SystemClock clock;
    const double before = peak_mb();
    std::size_t rows = 0;
    for (auto _ : state) {
        DirectoryModel model(clock);
        model.load_suite_equations(d.config.suite_dir);
        const OpenReport report = model.open(d.config);
        if (!report.loaded || model.entry_count() != kHeaders) {
            state.SkipWithError("directory did not load");
            return;
        }
        for (const auto& mode : model.mode_names()) {
            model.select_mode(mode);
            rows += model.row_count();
        }
        benchmark::DoNotOptimize(rows);
    }
    state.counters["headers"] = kHeaders;
    state.counters["peak_MB"] = peak_mb();
    state.counters["peak_before_MB"] = before;
}
BENCHMARK(open_and_refilter)->Unit(benchmark::kMillisecond)->Iterations(3);

void refilter_only(benchmark::State& state)
{
    BigDirectory& d = directory();
    platform::SystemClock clock;
    DirectoryModel model(clock);
    model.load_suite_equations(d.config.suite_dir);
    if (!model.open(d.config).loaded) {
        state.SkipWithError("directory did not load");
        return;
    }
    const auto modes = model.mode_names();
    std::size_t i = 0;
    for (auto _ : state) {
        model.select_mode(modes[i++ % modes.size()]);
        benchmark::DoNotOptimize(model.row_count());
    }
}
BENCHMARK(refilter_only)->Unit(benchmark::kMillisecond);

void visible_rows(benchmark::State& state)
{
    BigDirectory& d = directory();
    platform::SystemClock clock;
    DirectoryModel model(clock);
    if (!model.open(d.config).loaded || !model.select_mode(kModeAll)) {
        state.SkipWithError("directory did not load");
        return;
    }
    // One screenful of 40 rows, as a repaint asks for it.
    std::size_t first = 0;
    for (auto _ : state) {
        for (std::size_t r = first; r < first + 40; ++r)
            benchmark::DoNotOptimize(model.column_text(r, Column::Line));
        first = (first + 40) % (model.row_count() - 40);
    }
}
BENCHMARK(visible_rows)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

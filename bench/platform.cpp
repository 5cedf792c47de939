// Costs of the platform pieces on the hot paths: a status-record update under its record lock
// (the engine does one per directory entry, the viewer reads 1000 per refresh), an atomic status
// byte change, and timer start/fire on the manual clock.
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <vector>

#include <unistd.h>

#include "platform/clock.h"
#include "platform/shared_records.h"
#include "platform/timers.h"

using namespace orva::platform;

namespace {

std::filesystem::path table_file()
{
    return std::filesystem::temp_directory_path() / ("orva-bench-" + std::to_string(::getpid()) + ".DAT");
}

void shared_record_write(benchmark::State& state)
{
    auto table = SharedRecordFile::open(table_file(), 12, 1000);
    std::array<std::uint8_t, 12> record{};
    std::size_t i = 0;
    for (auto _ : state) {
        record[0] = static_cast<std::uint8_t>(i);
        benchmark::DoNotOptimize(table->write(i++ % 1000, record));
    }
    std::filesystem::remove(table_file());
}
BENCHMARK(shared_record_write);

void shared_table_read_all(benchmark::State& state)
{
    auto table = SharedRecordFile::open(table_file(), 12, 1000);
    std::array<std::uint8_t, 12> record{};
    for (auto _ : state)
        for (std::size_t i = 0; i < 1000; ++i)
            benchmark::DoNotOptimize(table->read(i, record));
    std::filesystem::remove(table_file());
}
BENCHMARK(shared_table_read_all);

void shared_table_read_all_at_once(benchmark::State& state)
{
    auto table = SharedRecordFile::open(table_file(), 12, 1000);
    std::vector<std::uint8_t> all(12000);
    for (auto _ : state)
        benchmark::DoNotOptimize(table->read_all(all));
    std::filesystem::remove(table_file());
}
BENCHMARK(shared_table_read_all_at_once);

void shared_status_byte(benchmark::State& state)
{
    auto table = SharedRecordFile::open(table_file(), 12, 1000);
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(table->fetch_or_byte(i++ % 1000, 8, 0x80));
    std::filesystem::remove(table_file());
}
BENCHMARK(shared_status_byte);

void manual_timer_start_and_fire(benchmark::State& state)
{
    ManualClock clock;
    int fired = 0;
    for (auto _ : state) {
        clock.timers().start(std::chrono::milliseconds(175), [&] { ++fired; });
        clock.advance(std::chrono::milliseconds(175));
    }
    benchmark::DoNotOptimize(fired);
}
BENCHMARK(manual_timer_start_and_fire);

} // namespace

BENCHMARK_MAIN();

// Decoding a full-size CCD image and running the block coder over it: both should stay well under
// the time an operator notices (a few tens of milliseconds).
#include <benchmark/benchmark.h>

#include <random>

#include "ccdview/block_coder.h"
#include "ccdview/ccd_image.h"

namespace {

std::vector<std::uint8_t> sample_file()
{
    std::vector<std::uint8_t> b(orva::ccdview::kNarrowFileSize);
    std::mt19937 rng(3);
    for (auto& v : b)
        v = std::uint8_t(60 + rng() % 120);
    return b;
}

void BM_DecodeU5(benchmark::State& state)
{
    auto bytes = sample_file();
    for (auto _ : state) {
        auto image = orva::ccdview::decode_ccd("U5000001.CCD", bytes);
        benchmark::DoNotOptimize(image);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}
BENCHMARK(BM_DecodeU5)->Unit(benchmark::kMillisecond);

void BM_EncodeDecodeBlocks(benchmark::State& state)
{
    auto image = orva::ccdview::decode_ccd("OTHER.CCD", sample_file());
    for (auto _ : state) {
        auto enc = orva::ccdview::encode_blocks(image->bitmap);
        auto dec = orva::ccdview::decode_blocks(enc.thumb, enc.nail);
        benchmark::DoNotOptimize(dec);
    }
}
BENCHMARK(BM_EncodeDecodeBlocks)->Unit(benchmark::kMillisecond);

void BM_Rotate(benchmark::State& state)
{
    auto image = orva::ccdview::decode_ccd("KA000001.CCD", sample_file());
    for (auto _ : state)
        orva::ccdview::rotate(image->bitmap, true);
}
BENCHMARK(BM_Rotate)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// The whole receive path on one core: KISS bytes in; partial and completed files, hole lists,
// directory files and the status table on disk out. Run with 1,000 and 100,000 headers already
// in the directory: the cost per byte must not grow with it.
#include "common/pfh/pfh_builder.h"
#include "engine/app/reception_engine.h"
#include "engine/directory/directory_file.h"
#include "engine/directory/status_table.h"
#include "engine/frames/ax25_frame.h"
#include "engine/link/crc16.h"
#include "engine/link/kiss_encoder.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <unistd.h>

namespace {

using namespace orva::engine;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kNow = 1'800'000'000;

struct Null : ReceptionOutput {
    void write_bytes(std::span<const std::uint8_t>) override {}
    void post(const std::string&, LineColour) override {}
};

Bytes header(std::uint32_t n, std::uint32_t size = 0)
{
    orva::pfh::PfhHeader h;
    h.file_number = n;
    h.file_name = "MSG" + std::to_string(n % 100000);
    h.file_ext = "TXT";
    if (size)
        h.file_size = size;
    h.file_type = 0;
    h.upload_time = kNow - 100000 + n;
    h.source = "W1AW";
    h.destination = "ALL";
    h.title = "A message about the satellite, number " + std::to_string(n);
    return orva::pfh::build_pfh(h);
}

void put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

void frame(Bytes& stream, std::uint8_t pid, Bytes field)
{
    const std::uint16_t crc = crc16_xmodem(field);
    field.push_back(std::uint8_t(crc >> 8));
    field.push_back(std::uint8_t(crc));
    const auto ax = build_ui_frame(Ax25Address::fixed("QST", 1), *Ax25Address::parse("PACSAT-11"), 0, pid, field);
    encode_kiss_frame(ax, 0, false, stream);
}

// Ten files of 200 KB in 244-byte fragments, out of order, with 200 new directory entries mixed in.
Bytes make_stream(std::size_t& payload)
{
    Bytes stream;
    payload = 0;
    std::mt19937 rng(3);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pieces;
    std::vector<Bytes> files;
    for (std::uint32_t f = 0; f < 10; ++f) {
        Bytes body(200000);
        for (auto& b : body)
            b = std::uint8_t(rng());
        orva::pfh::PfhHeader h;
        h.file_number = 0x50000 + f;
        h.file_name = "BIG";
        h.upload_time = kNow - 50;
        files.push_back(orva::pfh::build_pfh_file(h, body));
        for (std::uint32_t o = 0; o < files.back().size(); o += 244)
            pieces.emplace_back(f, o);
    }
    std::shuffle(pieces.begin() + 10, pieces.end(), rng);
    std::uint32_t dir = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const auto [f, o] = pieces[i];
        const Bytes& file = files[f];
        const std::uint32_t n = std::min<std::uint32_t>(244, std::uint32_t(file.size()) - o);
        Bytes field{std::uint8_t(0x02 | (o + n == file.size() ? 0x20 : 0))};
        put32(field, 0x50000 + f);
        field.push_back(0);
        field.push_back(std::uint8_t(o));
        field.push_back(std::uint8_t(o >> 8));
        field.push_back(std::uint8_t(o >> 16));
        field.insert(field.end(), file.begin() + o, file.begin() + o + n);
        payload += field.size();
        frame(stream, 0xBB, std::move(field));
        if (i % 40 == 0 && dir < 200) {
            const std::uint32_t fn = 0x900000 + dir;
            const Bytes h = header(fn);
            Bytes d{0x20};
            put32(d, fn);
            put32(d, 0);
            put32(d, kNow - 10000 + dir * 10);
            put32(d, kNow - 10000 + dir * 10 + 5);
            d.insert(d.end(), h.begin(), h.end());
            payload += d.size();
            frame(stream, 0xBD, std::move(d));
            ++dir;
        }
    }
    return stream;
}

void BM_ReceivePath(benchmark::State& state)
{
    const auto headers = std::size_t(state.range(0));
    const fs::path dir = fs::temp_directory_path() / ("orva-bench-rx-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        // The directory as earlier passes left it.
        auto opened = DirectoryFile::open(dir);
        for (std::size_t i = 0; i < headers; ++i)
            (void)opened->file.append(header(std::uint32_t(i + 1)));
    }
    std::size_t payload = 0;
    const Bytes stream = make_stream(payload);
    ::sync(); // the setup's writes must not be charged to the first fsync we time
    ReceptionConfig config;
    config.folder = dir;
    config.my_call = "G0ABC";
    config.bdcst_call = "PACSAT-11";
    config.bbs_call = "PACSAT-12";
    config.run_dispo = false;
    config.seed = 1;
    config.checkpoint_ms = 1u << 30;
    Null out;
    for (auto _ : state) {
        state.PauseTiming();
        for (const auto& e : fs::directory_iterator(dir)) {
            const auto name = e.path().filename().string();
            if (name.find(".DL") != std::string::npos || name.find(".ACT") != std::string::npos ||
                name.find(".HOL") != std::string::npos || name == kStatusTableName || name == "Brek Dir Holes.DAT")
                fs::remove(e.path());
        }
        ReceptionEngine engine(config, out);
        (void)engine.open(std::uint64_t(kNow) * 1000);
        state.ResumeTiming();
        for (std::size_t off = 0; off < stream.size(); off += 4096)
            engine.feed(std::span(stream).subspan(off, std::min<std::size_t>(4096, stream.size() - off)),
                        std::uint64_t(kNow) * 1000);
        engine.close(std::uint64_t(kNow) * 1000 + 1);
        if (engine.files().counters().completed != 10)
            state.SkipWithError("not every file completed");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(stream.size()));
    state.counters["payload_MB"] = double(payload) / 1e6;
    fs::remove_all(dir);
}
BENCHMARK(BM_ReceivePath)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

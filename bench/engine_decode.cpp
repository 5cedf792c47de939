// The receive path on one core: KISS bytes -> AX.25 frames -> classified broadcasts -> parsed
// PACSAT headers, and each codec alone.
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"
#include "engine/frames/frame_dispatcher.h"
#include "engine/link/crc16.h"
#include "engine/link/kiss_decoder.h"
#include "engine/link/kiss_encoder.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace orva::engine;
using Bytes = std::vector<std::uint8_t>;

const StationCalls kCalls{*Ax25Address::parse("G0ABC"), *Ax25Address::parse("PACSAT-12"),
                          *Ax25Address::parse("PACSAT-11")};

Bytes with_crc(Bytes b) {
    std::uint8_t crc[2];
    append_broadcast_crc(b, crc);
    b.insert(b.end(), crc, crc + 2);
    return b;
}

Bytes header(std::uint32_t n) {
    orva::pfh::PfhHeader h;
    h.file_number = n;
    h.file_name = "MSG" + std::to_string(n % 100000);
    h.file_ext = "TXT";
    h.file_size = 2000 + n % 5000;
    h.create_time = 1796000000 + n;
    h.file_type = std::uint8_t(n % 3);
    h.upload_time = 1796000100 + n;
    h.source = "W1AW";
    h.destination = n % 2 ? "ALL" : "G0ABC";
    h.title = "A message about the satellite, number " + std::to_string(n);
    h.keywords = "TEST";
    return orva::pfh::build_pfh(h);
}

// A pass's worth of traffic: mostly file fragments, directory fragments holding whole headers,
// and the odd queue line, as the TNC delivers them.
Bytes traffic(std::size_t frames) {
    std::mt19937 rng(7);
    Bytes out;
    const auto qst = Ax25Address::fixed("QST", 1);
    for (std::size_t i = 0; i < frames; ++i) {
        Bytes frame;
        if (i % 3 == 1) {
            const auto h = header(std::uint32_t(0x1000 + i));
            Bytes f = {0x20};
            for (std::uint32_t v : {std::uint32_t(0x1000 + i), 0u, 1796000000u, 1796000200u})
                for (int k = 0; k < 4; ++k) f.push_back(std::uint8_t(v >> (8 * k)));
            f.insert(f.end(), h.begin(), h.end());
            frame = build_ui_frame(qst, kCalls.bdcst_call, 0, kPidDirectory, with_crc(f));
        } else if (i % 50 == 0) {
            const std::string line = "PB: G0ABC W1AW\\D K1XYZ";
            frame = build_ui_frame(Ax25Address::fixed("PBLIST"), kCalls.bdcst_call, 0, 0xF0,
                                   Bytes(line.begin(), line.end()));
        } else {
            Bytes f = {0x02, 0x34, 0x12, 0, 0, 0, std::uint8_t(i), std::uint8_t(i >> 8), 0};
            for (int k = 0; k < 244; ++k) f.push_back(std::uint8_t(rng()));
            frame = build_ui_frame(qst, kCalls.bdcst_call, 0, kPidFile, with_crc(f));
        }
        encode_kiss_frame(frame, 0, false, out);
    }
    return out;
}

struct Headers : DirectoryFragmentReceiver, FileFragmentReceiver, RequestReceiver {
    std::size_t parsed = 0, file_bytes = 0, lines = 0;
    void on_directory_fragment(const DirectoryFragment& f) override {
        if (orva::pfh::parse_pfh(f.data)) ++parsed;
    }
    void on_file_fragment(const FileFragment& f) override { file_bytes += f.data.size(); }
    void on_queue_line(std::string_view, bool) override { ++lines; }
    void on_file_refused(int) override {}
};

struct Pipe : KissSink {
    FrameDispatcher* dispatcher;
    void on_kiss_frame(std::uint8_t, std::span<const std::uint8_t> f) override {
        dispatcher->on_ax25_frame(f, std::chrono::sys_seconds(std::chrono::seconds(1796000000)));
    }
};

void WholeReceivePath(benchmark::State& state) {
    const Bytes wire = traffic(3000);
    Headers h;
    std::mutex lock;
    FrameDispatcher d(kCalls, DispatchSettings{}, DispatchReceivers{&h, &h, &h, nullptr, nullptr, nullptr, nullptr,
                                                                      nullptr, nullptr, &lock});
    Pipe pipe;
    pipe.dispatcher = &d;
    KissDecoder decoder;
    for (auto _ : state) {
        decoder.feed(wire, pipe);
        benchmark::DoNotOptimize(h.parsed);
    }
    if (h.parsed == 0 || h.file_bytes == 0) state.SkipWithError("nothing decoded");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(wire.size()));
}
BENCHMARK(WholeReceivePath);

void KissDecodeOnly(benchmark::State& state) {
    const Bytes wire = traffic(3000);
    struct Count : KissSink {
        std::size_t n = 0;
        void on_kiss_frame(std::uint8_t, std::span<const std::uint8_t> f) override { n += f.size(); }
    } sink;
    KissDecoder decoder;
    for (auto _ : state) {
        decoder.feed(wire, sink);
        benchmark::DoNotOptimize(sink.n);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(wire.size()));
}
BENCHMARK(KissDecodeOnly);

void BroadcastCrc(benchmark::State& state) {
    Bytes field(255, 0x5A);
    for (auto _ : state) benchmark::DoNotOptimize(crc16_xmodem(field));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(field.size()));
}
BENCHMARK(BroadcastCrc);

void PfhParse(benchmark::State& state) {
    const Bytes h = header(0x4321);
    for (auto _ : state) benchmark::DoNotOptimize(orva::pfh::parse_pfh(h));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(h.size()));
}
BENCHMARK(PfhParse);

} // namespace

BENCHMARK_MAIN();

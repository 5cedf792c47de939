#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"
#include "engine/frames/ax25_frame.h"
#include "engine/frames/broadcast_frames.h"
#include "engine/frames/request_frames.h"
#include "cli/satsim/channel.h"
#include "cli/satsim/satellite.h"
#include "cli/satsim/served_file.h"
#include "common/atomic_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>

namespace orva::satsim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using engine::Ax25Address;

ServedFile make_file(std::uint32_t fn, std::size_t body_size, std::uint32_t upload)
{
    pfh::PfhHeader h;
    h.file_number = fn;
    h.file_name = "F" + std::to_string(fn);
    h.upload_time = upload;
    Bytes body(body_size);
    for (std::size_t i = 0; i < body_size; ++i)
        body[i] = std::uint8_t(i * 7 + fn);
    ServedFile f;
    f.file_number = fn;
    f.upload_time = upload;
    f.bytes = pfh::build_pfh_file(h, body);
    f.header_length = pfh::parse_pfh(f.bytes)->header_length;
    return f;
}

// Polls the downlink every 100 ms, as the host does.
std::vector<Frame> run(Satellite& sat, std::uint64_t from, std::uint64_t to)
{
    std::vector<Frame> all;
    for (std::uint64_t t = from; t <= to; t += 100)
        for (auto& f : sat.poll(t))
            all.push_back(std::move(f));
    return all;
}

Bytes uplink(std::uint8_t pid, const Bytes& info)
{
    return engine::build_ui_frame(*Ax25Address::parse("PACSAT-11"), *Ax25Address::parse("N0CALL"), 1, pid, info);
}

struct Heard {
    std::map<std::uint32_t, Bytes> files;
    std::map<std::uint32_t, Bytes> headers;
    std::vector<engine::DirectoryFragment> dir;
    std::vector<std::string> texts;
    std::vector<std::vector<std::uint8_t>> keep;
    bool end_flag_seen = false;

    void take(const std::vector<Frame>& frames)
    {
        for (const auto& raw : frames) {
            keep.push_back(raw);
            auto f = engine::parse_ax25_frame(keep.back());
            ASSERT_TRUE(f);
            if (*f->pid == 0xBB) {
                auto d = engine::decode_file_fragment(f->info, 244);
                ASSERT_TRUE(d.ok());
                Bytes& file = files[d.fragment.file_number];
                if (file.size() < d.fragment.offset + d.fragment.data.size())
                    file.resize(d.fragment.offset + d.fragment.data.size());
                std::copy(d.fragment.data.begin(), d.fragment.data.end(), file.begin() + d.fragment.offset);
                end_flag_seen = end_flag_seen || d.fragment.ends_file();
            } else if (*f->pid == 0xBD) {
                auto d = engine::decode_directory_fragment(f->info);
                ASSERT_TRUE(d.ok());
                dir.push_back(d.fragment);
                Bytes& h = headers[d.fragment.file_number];
                h.insert(h.end(), d.fragment.data.begin(), d.fragment.data.end());
            } else {
                texts.emplace_back(f->info.begin(), f->info.end());
            }
        }
    }
};

// The satellite is started again for each pass over a folder that holds what was uploaded to it
// before: a new upload must get a number of its own, not be filed over an earlier one.
TEST(Satsim, UploadsOfAnEarlierRunKeepTheirNumbers)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("orva-satsim-numbers-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const ServedFile earlier = make_file(0x800, 300, 1'800'000'000); // filed as 800.UPL last pass
    ASSERT_TRUE(write_file_atomic(dir / "800.UPL", std::span<const std::uint8_t>(earlier.bytes)).ok());
    ASSERT_TRUE(write_file_atomic(dir / "NEWS.TXT", std::string_view("news\r\n")).ok());
    auto files = load_folder(dir, 1'800'001'000, 0x100);
    ASSERT_TRUE(files.ok()) << files.error().message;
    const std::uint32_t next = next_free_number(*files, 0x800);
    for (const ServedFile& f : *files)
        EXPECT_NE(f.file_number, next);
    EXPECT_EQ(next, 0x801u);
    EXPECT_EQ(next_free_number({}, 0x800), 0x800u);
    fs::remove_all(dir);
}

TEST(Satsim, WholeFileAndHoleRequestsAreBroadcastAsTheFileIs)
{
    Satellite sat({}, {make_file(0x101, 3000, 1000), make_file(0x102, 500, 2000)});
    sat.on_uplink_frame(uplink(0xBB, engine::file_request_whole(0x101, 200)), 0);
    Heard heard;
    heard.take(run(sat, 0, 60000));
    EXPECT_EQ(heard.files[0x101], sat.files()[0].bytes);
    EXPECT_TRUE(heard.end_flag_seen);
    const engine::FileHoleRequest holes[] = {{100, 50}, {2990, 10}};
    sat.on_uplink_frame(uplink(0xBB, engine::file_request_holes(0x102, 200, holes)), 60000);
    Heard again;
    again.take(run(sat, 60000, 120000));
    ASSERT_EQ(again.files.count(0x102), 1u);
    EXPECT_TRUE(std::equal(again.files[0x102].begin() + 100, again.files[0x102].begin() + 150,
                           sat.files()[1].bytes.begin() + 100));
}

TEST(Satsim, DirectoryRequestsGiveHeadersWithContiguousRangesAndTheNewestFlag)
{
    Satellite sat({}, {make_file(0x102, 10, 2000), make_file(0x101, 10, 1000), make_file(0x103, 10, 3000)});
    const engine::DirectoryHoleRequest hole[] = {{0, 0x7FFFFFFF}};
    sat.on_uplink_frame(uplink(0xBD, engine::directory_request(244, hole)), 0);
    Heard heard;
    heard.take(run(sat, 0, 10000));
    ASSERT_EQ(heard.headers.size(), 3u);
    for (const auto& f : sat.files())
        EXPECT_EQ(heard.headers[f.file_number], Bytes(f.bytes.begin(), f.bytes.begin() + std::ptrdiff_t(f.header_length)));
    std::uint32_t expected_old = 0;
    for (const auto& d : heard.dir) {
        if (!d.ends_header())
            continue;
        EXPECT_EQ(d.t_old, expected_old);
        expected_old = d.t_new + 1;
        EXPECT_EQ(d.newest(), d.file_number == 0x103);
    }
}

TEST(Satsim, QueueLinesAndRefusals)
{
    Satellite sat({}, {make_file(0x101, 10, 1000)});
    Heard heard;
    heard.take(sat.poll(0));
    ASSERT_FALSE(heard.texts.empty());
    EXPECT_EQ(heard.texts[0], "PB: Empty.");
    const engine::DirectoryHoleRequest hole[] = {{0, 5}};
    sat.on_uplink_frame(uplink(0xBD, engine::directory_request(244, hole)), 0);
    EXPECT_EQ(sat.queue_text(), "PB: N0CALL\\D");
    sat.on_uplink_frame(uplink(0xBB, engine::file_request_whole(0x999, 244)), 0);
    heard.take(run(sat, 100, 5000));
    bool refused = false;
    for (const auto& t : heard.texts)
        refused = refused || t.rfind("NO -2", 0) == 0;
    EXPECT_TRUE(refused);
    // A request that does not parse is counted, not served.
    sat.on_uplink_frame(uplink(0xBB, Bytes{0x12, 1, 2}), 0);
    EXPECT_EQ(sat.counters().bad_requests, 1u);
}

TEST(Satsim, StatusLinesCountTheBroadcastBytesSentBeforeThem)
{
    Satellite sat({}, {make_file(0x101, 3000, 1000)});
    sat.on_uplink_frame(uplink(0xBB, engine::file_request_whole(0x101, 200)), 0);
    std::uint64_t sent = 0;
    std::vector<std::uint64_t> counted, expected;
    std::vector<Bytes> keep;
    for (std::uint64_t t = 0; t <= 30000; t += 100) {
        for (auto& raw : sat.poll(t)) {
            keep.push_back(std::move(raw));
            auto f = engine::parse_ax25_frame(keep.back());
            ASSERT_TRUE(f);
            if (*f->pid == 0xBB || *f->pid == 0xBD) {
                sent += f->info.size();
            } else if (f->destination.callsign() == "STATUS") {
                const std::string text(f->info.begin(), f->info.end());
                ASSERT_EQ(text.rfind("B: ", 0), 0u) << text;
                counted.push_back(std::stoull(text.substr(3)));
                expected.push_back(sent);
            }
        }
    }
    ASSERT_GE(counted.size(), 3u);
    EXPECT_EQ(counted, expected);
    EXPECT_GT(counted.back(), 3000u);
}

TEST(Satsim, ChannelDropsCorruptsAndReordersTheSetShare)
{
    Channel ch({0.3, 0.1, 0.05, 9});
    std::size_t out = 0;
    for (int i = 0; i < 10000; ++i)
        out += ch.pass(Bytes(20, std::uint8_t(i))).size();
    if (ch.flush())
        ++out;
    EXPECT_NEAR(double(ch.counters().lost) / 10000, 0.3, 0.03);
    EXPECT_NEAR(double(ch.counters().corrupted) / 7000, 0.1, 0.02);
    EXPECT_GT(ch.counters().reordered, 100u);
    EXPECT_EQ(out, ch.counters().passed);
}

TEST(Satsim, UplinkLosesItsShareRepeatablyAndApartFromTheDownlink)
{
    const ChannelConfig down{0.1, 0.05, 0.02, 5};
    const ChannelConfig up = uplink_channel_config(down);
    EXPECT_EQ(up.loss, 0.1);
    EXPECT_EQ(up.corrupt, 0.0);
    EXPECT_EQ(up.reorder, 0.0);
    EXPECT_EQ(uplink_channel_config(down, 0.25).loss, 0.25);
    // The same seed loses the same uplink frames; the downlink's pattern is another one.
    Channel a(up), b(uplink_channel_config(down)), d({0.1, 0, 0, 5});
    int both = 0;
    for (int i = 0; i < 4000; ++i) {
        const bool lost_a = a.pass(Bytes(10, 1)).empty();
        EXPECT_EQ(lost_a, b.pass(Bytes(10, 1)).empty());
        const bool lost_d = d.pass(Bytes(10, 1)).empty();
        both += lost_a && lost_d;
    }
    EXPECT_NEAR(double(a.counters().lost) / 4000, 0.1, 0.02);
    EXPECT_EQ(a.counters().corrupted, 0u);
    EXPECT_LT(both, int(a.counters().lost) / 2);
}

} // namespace
} // namespace orva::satsim

// Quillet: the ".OUT" it writes parses back with the header code, the program queues messages
// from --text and from an editor, and the engine's upload client puts the file on the simulated
// satellite, which then lists it.
#include "common/pfh/pfh.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/tests/upload_test_peer.h"
#include "engine/upload/upload_client.h"
#include "platform/launcher.h"
#include "platform/store/store.h"
#include "cli/quillet/message_file.h"
#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/ftl0/uploaded_file.h"
#include "cli/satsim/satellite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <cstdlib>

namespace orva {
namespace {
namespace fs = std::filesystem;
using engine::test::Bytes;
using engine::test::read_all;
using engine::test::TempDir;
using engine::test::write_bytes;

constexpr std::uint32_t kNow = 1'800'000'000;

quillet::MessageFields fields()
{
    quillet::MessageFields f;
    f.destination = "k1abc";
    f.source = "W1ME";
    f.title = "Hello from the ground";
    f.expiry_days = 3;
    return f;
}

TEST(QuilletMessage, OutFileParsesBackWithItsHeader)
{
    const std::string body = "Good morning.\r\n73 de W1ME\r\n";
    auto bytes = quillet::build_message(fields(), body, "6B49D200", kNow);
    ASSERT_TRUE(bytes) << bytes.error().message;
    auto h = pfh::parse_pfh(*bytes, {.check_header_checksum = true, .allow_zero_file_number = true});
    ASSERT_TRUE(h) << h.error().message;
    EXPECT_EQ(h->file_number, 0u); // the server numbers it
    EXPECT_FALSE(pfh::parse_pfh(*bytes)); // which a directory reader would refuse
    EXPECT_EQ(h->file_name, "6B49D200");
    EXPECT_EQ(h->file_ext, "TXT");
    EXPECT_EQ(h->file_type, 0);
    EXPECT_EQ(h->destination, "K1ABC");
    EXPECT_EQ(h->source, "W1ME");
    EXPECT_EQ(h->ax25_uploader, "W1ME  ");
    EXPECT_EQ(h->title, "Hello from the ground");
    EXPECT_EQ(h->create_time, kNow);
    EXPECT_EQ(h->expire_time, kNow + 3 * 86400u);
    EXPECT_EQ(h->compression_type, 0);
    EXPECT_EQ(h->file_size, bytes->size());
    ASSERT_EQ(h->body_offset, h->header_length);
    const std::span<const std::uint8_t> tail(bytes->data() + h->header_length, bytes->size() - h->header_length);
    EXPECT_EQ(std::string(tail.begin(), tail.end()), body);
    EXPECT_EQ(h->body_checksum, pfh::body_checksum(tail));
}

// A server in service writes into an upload's header at the offsets of the standard layout
// without reading it: each rule of that layout, read here byte by byte from the message file.
std::uint32_t le32_at(const Bytes& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

// (id, length) of each item up to and including the terminator.
std::vector<std::pair<unsigned, unsigned>> items_of(const Bytes& b)
{
    std::vector<std::pair<unsigned, unsigned>> v;
    for (std::size_t pos = 2; pos + 3 <= b.size();) {
        v.emplace_back(unsigned(b[pos] | b[pos + 1] << 8), b[pos + 2]);
        if (v.back() == std::pair<unsigned, unsigned>(0, 0))
            break;
        pos += 3 + b[pos + 2];
    }
    return v;
}

TEST(QuilletLayout, LastModifiedTimeAndSeuFlagAreItems6And7)
{
    auto bytes = quillet::build_message(fields(), "Body\r\n", "6B49D200", kNow);
    ASSERT_TRUE(bytes) << bytes.error().message;
    const Bytes& b = *bytes;
    ASSERT_GT(b.size(), 51u);
    EXPECT_EQ(Bytes(b.begin() + 40, b.begin() + 43), (Bytes{0x06, 0x00, 0x04})) << "item 6 at byte 40";
    EXPECT_EQ(le32_at(b, 43), kNow);
    EXPECT_EQ(Bytes(b.begin() + 47, b.begin() + 51), (Bytes{0x07, 0x00, 0x01, 0x00})) << "item 7 at byte 47";
}

TEST(QuilletLayout, ItemsComeInTheStandardOrderAndLengths)
{
    auto bytes = quillet::build_message(fields(), "Body\r\n", "6B49D200", kNow);
    ASSERT_TRUE(bytes) << bytes.error().message;
    const auto items = items_of(*bytes);
    // 0 for the two texts of free length (source "W1ME", destination "K1ABC").
    const std::vector<std::pair<unsigned, unsigned>> fixed = {
        {0x01, 4}, {0x02, 8}, {0x03, 3}, {0x04, 4}, {0x05, 4}, {0x06, 4}, {0x07, 1}, {0x08, 1}, {0x09, 2}, {0x0A, 2},
        {0x0B, 2}, {0x10, 4}, {0x11, 6}, {0x12, 4}, {0x13, 1}, {0x14, 5}, {0x15, 6}, {0x16, 4}, {0x17, 4}, {0x18, 1}};
    ASSERT_GE(items.size(), fixed.size());
    for (std::size_t i = 0; i < fixed.size(); ++i)
        EXPECT_EQ(items[i], fixed[i]) << "item " << i << " of the header";
    EXPECT_EQ(items.back(), (std::pair<unsigned, unsigned>(0, 0)));
    // The header checksum and the body offset where the server reads and writes them.
    EXPECT_EQ((*bytes)[60], 0x0A);
    EXPECT_EQ((*bytes)[65], 0x0B);
}

TEST(QuilletLayout, UploadTimeIsAt82PlusTheSourceLength)
{
    for (const char* call : {"W1ME", "G0ABC-12"}) {
        quillet::MessageFields f = fields();
        f.source = call;
        auto bytes = quillet::build_message(f, "Body\r\n", "6B49D200", kNow);
        ASSERT_TRUE(bytes) << bytes.error().message;
        const std::size_t at = 82 + std::string(call).size();
        ASSERT_GT(bytes->size(), at + 7);
        EXPECT_EQ(Bytes(bytes->begin() + std::ptrdiff_t(at), bytes->begin() + std::ptrdiff_t(at + 3)),
                  (Bytes{0x12, 0x00, 0x04}))
            << call;
        EXPECT_EQ(le32_at(*bytes, at + 3), 0u) << "the server fills the upload time in";
    }
}

TEST(QuilletMessage, HeaderTextsStayOneValue)
{
    EXPECT_EQ(quillet::header_text(" Re: hi\nT~x F~/etc/passwd\r "), "Re: hiTx F/etc/passwd");
    quillet::MessageFields f = fields();
    f.title = "Two\nlines~";
    auto bytes = quillet::build_message(f, "x", "A", kNow);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(pfh::parse_pfh(*bytes, {.check_header_checksum = true, .allow_zero_file_number = true})->title,
              "Twolines");
    f.destination = "\n~";
    EXPECT_FALSE(quillet::build_message(f, "x", "A", kNow));
    f = fields();
    f.source.clear();
    EXPECT_FALSE(quillet::build_message(f, "x", "A", kNow));
    f = fields();
    f.title = "~";
    EXPECT_FALSE(quillet::build_message(f, "x", "A", kNow));
}

TEST(QuilletMessage, EditorTemplateRoundTrip)
{
    const std::string t = quillet::editor_template(fields(), "line one\r\nline two");
    EXPECT_EQ(t, "To: k1abc\nTitle: Hello from the ground\n\n> line one\n> line two\n\n");
    auto m = quillet::parse_edited("to:  W2XYZ \nTITLE: New title\n\nBody\n", fields());
    EXPECT_EQ(m.destination, "W2XYZ");
    EXPECT_EQ(m.title, "New title");
    EXPECT_EQ(m.body, "Body\n");
    m = quillet::parse_edited("Just a body\nwith no header lines", fields());
    EXPECT_EQ(m.destination, "k1abc");
    EXPECT_EQ(m.body, "Just a body\nwith no header lines\n");
}

TEST(QuilletMessage, OutFileNamesNeverCollide)
{
    TempDir dir;
    auto a = quillet::write_out_file(dir.path(), kNow, fields(), "one");
    auto b = quillet::write_out_file(dir.path(), kNow, fields(), "two");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->filename(), "6B49D200.OUT");
    EXPECT_EQ(b->filename(), "6B49D201.OUT");
    EXPECT_FALSE(quillet::write_out_file(dir.path() / "missing", kNow, fields(), "x"));
}

// A store with satellite TESTSAT whose directory is `sat`, and the station W1ME.
class QuilletProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        sat = root.path() / "TESTSAT";
        fs::create_directories(sat);
        store_file = root.path() / "store.db";
        auto store = platform::Store::open(store_file, platform::Access::ReadWrite);
        ASSERT_TRUE(store);
        settings::StationSettings station;
        station.callsign = "W1ME";
        ASSERT_TRUE(settings::write_station(*store, station));
        auto key = settings::create_satellite_key(*store, "TESTSAT");
        ASSERT_TRUE(key);
        settings::SatelliteRecord r = settings::new_satellite("TESTSAT", settings::SatelliteType::PacSat,
                                                              root.path().string());
        r.satellite_directory = sat.string();
        ASSERT_TRUE(settings::write_satellite(*store, *key, r));
        ::setenv("ORVA_STORE", store_file.c_str(), 1);
    }
    void TearDown() override { ::unsetenv("ORVA_STORE"); }

    // Runs quillet as Tessel starts it, by its DOS name; returns the exit code.
    int run(std::vector<std::string> args)
    {
        platform::LaunchEnvironment env = platform::LaunchEnvironment::current();
        env.program_dir = ORVA_BIN_DIR;
        platform::Launcher launcher(env);
        args.insert(args.begin(), "QUILLET.EXE");
        auto p = launcher.start(args);
        EXPECT_TRUE(p) << (p ? "" : p.error().message);
        if (!p)
            return -1;
        auto code = p->wait_or_kill(std::chrono::seconds(30));
        EXPECT_TRUE(code);
        return code ? *code : -1;
    }

    std::vector<fs::path> out_files() const
    {
        std::vector<fs::path> v;
        for (const auto& e : fs::directory_iterator(sat))
            if (e.path().extension() == ".OUT")
                v.push_back(e.path());
        return v;
    }

    TempDir root;
    fs::path sat, store_file;
};

std::optional<pfh::PfhHeader> header_of(const fs::path& file)
{
    auto h = pfh::parse_pfh(read_all(file), {.check_header_checksum = true, .allow_zero_file_number = true});
    if (!h)
        return std::nullopt;
    return *h;
}

TEST_F(QuilletProgram, TextFileIsQueued)
{
    write_bytes(root / "body.txt", Bytes{'H', 'i', '\n'});
    // The arguments as Tessel gives a reply: one value each, blanks kept.
    EXPECT_EQ(run({"D~K1ABC", "S~TESTSAT", "T~Re: your orbit data", "--text", (root / "body.txt").string()}), 0);
    const auto outs = out_files();
    ASSERT_EQ(outs.size(), 1u);
    auto h = header_of(outs[0]);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->destination, "K1ABC");
    EXPECT_EQ(h->source, "W1ME");
    EXPECT_EQ(h->title, "Re: your orbit data");
}

TEST_F(QuilletProgram, RefusalsQueueNothing)
{
    write_bytes(root / "body.txt", Bytes{'H', 'i'});
    EXPECT_NE(run({"S~TESTSAT", "T~No destination", "--text", (root / "body.txt").string()}), 0);
    EXPECT_NE(run({"S~NOSUCHSAT", "D~K1ABC", "T~x", "--text", (root / "body.txt").string()}), 0);
    EXPECT_NE(run({"S~TESTSAT", "D~K1ABC", "T~x", "--text", (root / "missing.txt").string()}), 0);
    EXPECT_TRUE(out_files().empty());
}

TEST_F(QuilletProgram, EditorWritesTheMessage)
{
    // The "editor" changes the destination and adds a line, as an operator would.
    const fs::path editor = root / "editor.sh";
    {
        std::ofstream e(editor);
        e << "#!/bin/sh\nsed -i 's/^To: .*/To: W2XYZ/' \"$1\"\nprintf 'Thanks for the keps\\n' >> \"$1\"\n";
    }
    fs::permissions(editor, fs::perms::owner_all);
    write_bytes(root / "orig.DLM", Bytes{'k', 'e', 'p', 's'});
    ::unsetenv("VISUAL");
    ::setenv("EDITOR", editor.c_str(), 1);
    EXPECT_EQ(run({"D~K1ABC", "S~TESTSAT", "T~Keps", "F~" + (root / "orig.DLM").string()}), 0);
    const auto outs = out_files();
    ASSERT_EQ(outs.size(), 1u);
    auto h = header_of(outs[0]);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->destination, "W2XYZ");
    EXPECT_EQ(h->title, "Keps");
    const Bytes file = read_all(outs[0]);
    EXPECT_EQ(std::string(file.begin() + std::ptrdiff_t(h->header_length), file.end()),
              "> keps\n\nThanks for the keps\n");

    // An editor that saves nothing queues nothing.
    ::setenv("EDITOR", "true", 1);
    EXPECT_NE(run({"D~K1ABC", "S~TESTSAT", "T~Keps"}), 0);
    EXPECT_EQ(out_files().size(), 1u);
    ::unsetenv("EDITOR");
}

// The queued file goes up through the engine's upload client to the simulated satellite's FTL0
// server, in simulated time, and the satellite then serves it in its directory.
TEST_F(QuilletProgram, QueuedMessageUploadsToTheSimulatedSatellite)
{
    write_bytes(root / "body.txt", Bytes(300, 'x'));
    ASSERT_EQ(run({"D~K1ABC", "S~TESTSAT", "T~Upload test", "--text", (root / "body.txt").string()}), 0);
    ASSERT_EQ(out_files().size(), 1u);
    const Bytes queued = read_all(out_files()[0]);

    const fs::path up = root / "satellite";
    fs::create_directories(up);
    satsim::Ftl0ServerConfig sc;
    sc.folder = up;
    satsim::Ftl0Server server(sc);
    engine::UploadConfig uc;
    uc.my_call = engine::test::addr("W1ME");
    uc.bbs_call = engine::test::addr("PACSAT-12");
    uc.folder = sat;
    uc.seed = 5;
    engine::UploadClient client(uc);

    std::vector<Bytes> to_server, to_client;
    auto take = [&](engine::UploadOutput o) {
        for (auto& f : o.frames)
            to_server.push_back(std::move(f));
    };
    constexpr std::int64_t kBase = 1'000'000'000'000;
    bool was_busy = false;
    for (std::uint64_t t = 0; t < 600'000; t += 10) {
        const engine::LinkTime now{kBase + std::int64_t(t)};
        for (auto& f : server.poll(t))
            to_client.push_back(std::move(f));
        take(client.poll(now));
        auto down = std::move(to_client);
        to_client.clear();
        for (auto& f : down) {
            auto parsed = engine::parse_ax25_frame(f);
            if (!parsed)
                continue;
            if (parsed->destination.callsign() == "BBSTAT")
                take(client.on_bbs_status(
                    std::string_view(reinterpret_cast<const char*>(parsed->info.data()), parsed->info.size()), now));
            else
                take(client.on_connected_frame(*parsed, now));
        }
        auto frames = std::move(to_server);
        to_server.clear();
        for (auto& f : frames)
            server.on_uplink_frame(f, t);
        if (client.busy())
            was_busy = true;
        else if (was_busy)
            break;
    }
    ASSERT_EQ(server.counters().uploads_done, 1u);
    auto finished = server.take_finished();
    ASSERT_EQ(finished.size(), 1u);
    // The satellite holds the message under the number its go answer gave: the header says so
    // (the station stamps it before sending), the body is the queued one.
    const auto held_bytes = read_all(finished[0].path);
    ASSERT_EQ(held_bytes.size(), queued.size());
    auto held_header = pfh::parse_pfh(held_bytes);
    ASSERT_TRUE(held_header);
    EXPECT_EQ(held_header->file_number, finished[0].file_number);
    EXPECT_TRUE(std::equal(held_bytes.begin() + std::ptrdiff_t(held_header->header_length), held_bytes.end(),
                           queued.begin() + std::ptrdiff_t(held_header->header_length)));
    EXPECT_TRUE(out_files().empty());
    char ul[16];
    std::snprintf(ul, sizeof ul, "%X.UL", finished[0].file_number);
    EXPECT_TRUE(fs::exists(sat / ul)) << ul;

    satsim::Satellite satellite(satsim::SatelliteConfig{}, {});
    auto served = satsim::served_upload(finished[0], kNow);
    ASSERT_TRUE(served);
    satellite.add_file(std::move(*served));
    ASSERT_EQ(satellite.files().size(), 1u);
    EXPECT_EQ(satellite.files()[0].file_number, finished[0].file_number);
    // The satellite serves the message under its own header, numbered by the server.
    const Bytes& held = satellite.files()[0].bytes;
    pfh::ParseOptions zero;
    zero.allow_zero_file_number = true;
    auto sent = pfh::parse_pfh(queued, zero);
    auto kept = pfh::parse_pfh(held);
    ASSERT_TRUE(sent && kept);
    EXPECT_EQ(kept->file_number, finished[0].file_number);
    EXPECT_EQ(kept->upload_time, std::optional<std::uint32_t>(kNow));
    EXPECT_EQ(kept->title, sent->title);
    EXPECT_EQ(kept->source, sent->source);
    EXPECT_EQ(kept->destination, sent->destination);
    EXPECT_TRUE(std::equal(held.begin() + std::ptrdiff_t(kept->header_length), held.end(),
                           queued.begin() + std::ptrdiff_t(sent->header_length), queued.end()));
}

} // namespace
} // namespace orva

#include "engine/directory/status_codes.h"
#include "engine/files/file_receiver.h"
#include "engine/files/hole_file.h"
#include "engine/files/hole_list.h"
#include "engine/tests/reception_test_util.h"

#include <map>

namespace orva::engine {
namespace {

using test::Bytes;
using test::TempFolder;

TEST(HoleList, OutOfOrderFragmentsLeaveOnlyTheOpenHole)
{
    auto h = HoleList::whole();
    h.receive(200, 400);
    EXPECT_EQ(h.count(), 2u);
    h.receive(0, 200);
    ASSERT_EQ(h.count(), 1u);
    EXPECT_EQ(h.holes()[0].start, 400u);
    EXPECT_EQ(h.holes()[0].end, kOpenEnd);
    // A fragment spanning two holes fills both.
    h = HoleList::from({{0, 10}, {20, 30}, {40, kOpenEnd}});
    h.receive(5, 25);
    ASSERT_EQ(h.count(), 3u);
    EXPECT_EQ(h.holes()[0].end, 5u);
    EXPECT_EQ(h.holes()[1].start, 25u);
    EXPECT_FALSE(h.overlaps(10, 20));
    h.mark_missing(8, 27);
    ASSERT_EQ(h.count(), 3u);
    EXPECT_EQ(h.holes()[1].start, 8u);
    EXPECT_EQ(h.holes()[1].end, 30u);
    h.mark_missing(3, 45);
    ASSERT_EQ(h.count(), 1u);
    EXPECT_EQ(h.holes()[0].end, kOpenEnd);
}

TEST(HoleFile, ByteLayoutRoundTrips)
{
    HoleFile f{true, 300, HoleList::from({{10, 20}, {250, 300}})};
    const Bytes b = encode_hole_file(f);
    EXPECT_EQ(b, (Bytes{1, 0, 0, 0, 0x2C, 1, 0, 0, 2, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0, 0xFA, 0, 0, 0, 0x2C, 1, 0, 0}));
    auto back = decode_hole_file(b);
    EXPECT_FALSE(back.short_file);
    EXPECT_FALSE(back.ignored);
    EXPECT_EQ(back.file.length, 300u);
    EXPECT_EQ(back.file.holes.count(), 2u);
}

TEST(HoleFile, ShortOrDamagedListsNeverClaimUnreadBytes)
{
    HoleFile f{false, 0, HoleList::from({{10, 20}, {30, 40}, {50, kOpenEnd}})};
    Bytes b = encode_hole_file(f);
    b.resize(12 + 8 + 4); // half of the second hole
    auto r = decode_hole_file(b);
    EXPECT_TRUE(r.short_file);
    ASSERT_EQ(r.file.holes.count(), 1u);
    EXPECT_EQ(r.file.holes.holes()[0].start, 10u);
    EXPECT_EQ(r.file.holes.holes()[0].end, kOpenEnd);
    for (std::uint32_t count : {0u, 5001u}) {
        Bytes c = encode_hole_file(f);
        c[8] = std::uint8_t(count);
        c[9] = std::uint8_t(count >> 8);
        auto rr = decode_hole_file(c);
        EXPECT_TRUE(rr.ignored);
        EXPECT_EQ(rr.file.holes.holes()[0].start, 0u);
    }
    // Out of order, or without its open end while the length is unknown: claims nothing more.
    HoleFile unordered{false, 0, HoleList::from({{100, 200}, {10, 20}, {300, kOpenEnd}})};
    EXPECT_TRUE(decode_hole_file(encode_hole_file(unordered)).ignored);
    HoleFile no_open_end{false, 0, HoleList::from({{10, 20}})};
    EXPECT_EQ(decode_hole_file(encode_hole_file(no_open_end)).file.holes.holes()[0].end, kOpenEnd);
    // A backwards range: everything from there on is missing.
    Bytes d = encode_hole_file(f);
    d[20] = 99; // second hole starts at 99, past its end of 40
    auto rd = decode_hole_file(d);
    ASSERT_EQ(rd.file.holes.count(), 1u);
    EXPECT_EQ(rd.file.holes.holes()[0].start, 10u);
    EXPECT_EQ(rd.file.holes.holes()[0].end, kOpenEnd);
}

struct MemoryStatus : DownloadStatus {
    std::map<std::uint32_t, int> codes;
    std::optional<int> get_download_status(std::uint32_t fn) override
    {
        auto it = codes.find(fn);
        return it == codes.end() ? std::nullopt : std::optional(it->second);
    }
    int set_download_status(std::uint32_t fn, int code, bool) override
    {
        if (codes[fn] == kCodeDownloaded)
            return kCodeDownloaded;
        return codes[fn] = code;
    }
};

struct Completed : FileListener {
    std::vector<std::pair<std::uint32_t, bool>> files;
    void on_file_complete(std::uint32_t fn, const std::filesystem::path&, std::uint32_t, bool now) override
    {
        files.emplace_back(fn, now);
    }
};

struct ReceiverFixture : ::testing::Test {
    TempFolder dir;
    MemoryStatus status;
    test::Lines lines;
    Completed completed;
    std::uint64_t now = 1000;
    std::unique_ptr<FileReceiver> rx;
    void SetUp() override { restart(); }
    void restart()
    {
        rx = std::make_unique<FileReceiver>(dir.path(), FileSettings{}, status, [this] { return now; }, &lines, &completed);
    }
    void send(std::uint32_t fn, const Bytes& file, std::uint32_t from, std::uint32_t to, bool end_flag = false)
    {
        for (std::uint32_t o = from; o < to; o += 200) {
            const std::uint32_t n = std::min<std::uint32_t>(200, to - o);
            rx->on_file_fragment(test::file_fragment(fn, o, std::span(file).subspan(o, n), end_flag && o + n == file.size()));
        }
    }
};

TEST_F(ReceiverFixture, HeaderLengthCompletesTheFileWithoutAnEndFlag)
{
    const Bytes file = test::file_with_body(0x1A2B, 2000);
    send(0x1A2B, file, 1000, std::uint32_t(file.size()));
    send(0x1A2B, file, 0, 1000);
    ASSERT_EQ(completed.files.size(), 1u);
    EXPECT_FALSE(completed.files[0].second); // more than 1500 bytes: at pass end
    EXPECT_EQ(test::read_bytes(dir / "1A2B.DL"), file);
    EXPECT_FALSE(std::filesystem::exists(dir / "1A2B.ACT"));
    EXPECT_EQ(status.codes[0x1A2B], kCodeDownloaded);
    ASSERT_EQ(rx->waiting_for_pass_end().size(), 1u);
    // Downloaded: never opened again.
    EXPECT_FALSE(rx->open_slot(0x1A2B));
}

TEST_F(ReceiverFixture, ProcThresholdAndSecondNameAreHandedOnExplicitly)
{
    // 1500 bytes in all is handed at once; 1501 waits.
    Bytes a = test::file_with_body(0x10, 10);
    const std::size_t header = a.size() - 10;
    a = test::file_with_body(0x10, 1500 - header);
    Bytes b = test::file_with_body(0x11, 1501 - header);
    ASSERT_EQ(a.size(), 1500u);
    test::write_bytes(dir / "10.DL", Bytes{1, 2, 3}); // still waiting for the mail processor
    send(0x10, a, 0, 1500);
    send(0x11, b, 0, 1501);
    ASSERT_EQ(completed.files.size(), 2u);
    EXPECT_TRUE(completed.files[0].second);
    EXPECT_FALSE(completed.files[1].second);
    EXPECT_EQ(test::read_bytes(dir / "10.DL1"), a);
    EXPECT_EQ(test::read_bytes(dir / "10.DL"), (Bytes{1, 2, 3}));
}

TEST_F(ReceiverFixture, HolesSurviveThePassAndAMissingPartialFileIsFetchedAgain)
{
    const Bytes file = test::file_with_body(0x77, 3000);
    send(0x77, file, 0, 1200);
    rx->close_all();
    ASSERT_TRUE(std::filesystem::exists(dir / "77.HOL"));
    restart();
    send(0x77, file, 1200, std::uint32_t(file.size()));
    ASSERT_EQ(completed.files.size(), 1u);
    EXPECT_EQ(test::read_bytes(dir / "77.DL"), file);

    // A hole list left behind by a crash whose partial file is gone claims nothing.
    status.codes.clear();
    completed.files.clear();
    send(0x78, file, 0, 2000);
    rx->checkpoint();
    rx.reset();
    std::filesystem::remove(dir / "78.ACT");
    restart();
    send(0x78, file, 2000, std::uint32_t(file.size()));
    EXPECT_TRUE(completed.files.empty());
    send(0x78, file, 0, 2000);
    ASSERT_EQ(completed.files.size(), 1u);
    EXPECT_EQ(test::read_bytes(dir / "78.DL"), file);
}

TEST_F(ReceiverFixture, TruncatedHoleFileNeverCompletesWithMissingBytes)
{
    const Bytes file = test::file_with_body(0x99, 3000);
    // Holes at 200-400 and 1000-1200 and the end.
    send(0x99, file, 0, 200);
    send(0x99, file, 400, 1000);
    send(0x99, file, 1200, 2000);
    rx->close_all();
    Bytes hol = test::read_bytes(dir / "99.HOL");
    hol.resize(hol.size() - 12);
    test::write_bytes(dir / "99.HOL", hol);
    restart();
    send(0x99, file, 200, 400);
    send(0x99, file, 2000, std::uint32_t(file.size()));
    EXPECT_TRUE(completed.files.empty()) << "declared complete with 1000-1200 never received";
    EXPECT_TRUE(lines.has("Error reading 99.HOL"));
    send(0x99, file, 0, std::uint32_t(file.size()));
    ASSERT_EQ(completed.files.size(), 1u);
    EXPECT_EQ(test::read_bytes(dir / "99.DL"), file);
}

TEST_F(ReceiverFixture, EleventhFileEvictsTheLeastRecentlyHeard)
{
    const Bytes file = test::file_with_body(1, 3000);
    for (std::uint32_t fn = 1; fn <= 10; ++fn) {
        now = 1000 + fn;
        rx->on_file_fragment(test::file_fragment(fn, 0, std::span(file).first(100)));
    }
    rx->set_requested_file(1);
    now = 2000;
    rx->on_file_fragment(test::file_fragment(11, 0, std::span(file).first(100)));
    EXPECT_TRUE(rx->find_slot(1));
    EXPECT_FALSE(rx->find_slot(2));
    EXPECT_TRUE(rx->find_slot(11));
    EXPECT_TRUE(std::filesystem::exists(dir / "2.HOL"));
    EXPECT_TRUE(lines.has("Saving file 2"));
}

TEST_F(ReceiverFixture, BadFragmentsAreDroppedWithoutHarm)
{
    const Bytes file = test::file_with_body(0x55, 1000);
    Bytes big(300, 1);
    rx->on_file_fragment(test::file_fragment(0x55, 0, big));          // longer than any server's chunk
    rx->on_file_fragment(test::file_fragment(0x55, 4096001, std::span(file).first(10))); // past the limit
    rx->on_file_fragment(test::file_fragment(0x55, 10, std::span(file).first(0)));       // empty
    send(0x55, file, 0, std::uint32_t(file.size()));
    ASSERT_EQ(completed.files.size(), 1u);
    // The header said 1000 bytes: a fragment past it would have been dropped, not written.
    EXPECT_EQ(test::read_bytes(dir / "55.DL"), file);
    EXPECT_GE(rx->counters().dropped, 3u);
    // BBS files are refused unless requested.
    rx->on_file_fragment(test::file_fragment(0x56, 0, std::span(file).first(10), false, 2));
    EXPECT_FALSE(rx->find_slot(0x56));
}

TEST_F(ReceiverFixture, ChangedFileSizeStartsAgain)
{
    const Bytes first = test::file_with_body(0x60, 1000);
    send(0x60, first, 0, 600);
    const Bytes second = test::file_with_body(0x60, 1500);
    // An end flag at a different length: the satellite holds a new version.
    const std::uint32_t tail = std::uint32_t(second.size() - 150);
    rx->on_file_fragment(test::file_fragment(0x60, tail, std::span(second).subspan(tail), true));
    EXPECT_EQ(rx->counters().size_changes, 1u);
    send(0x60, second, 0, std::uint32_t(second.size()));
    ASSERT_EQ(completed.files.size(), 1u);
    EXPECT_EQ(test::read_bytes(dir / "60.DL"), second);
}

} // namespace
} // namespace orva::engine

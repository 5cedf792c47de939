#include "engine/directory/directory_file.h"
#include "engine/directory/directory_holes.h"
#include "engine/directory/directory_store.h"
#include "engine/directory/status_codes.h"
#include "engine/directory/status_table.h"
#include "engine/tests/reception_test_util.h"

#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace orva::engine {
namespace {

using test::Bytes;
using test::TempFolder;

TEST(StatusTable, NewAndShortFilesAreExtendedBeforeMapping)
{
    TempFolder dir;
    const auto file = dir / kStatusTableName;
    {
        auto t = StatusTable::open(file);
        ASSERT_TRUE(t) << t.error().message;
        EXPECT_EQ(std::filesystem::file_size(file), kStatusTableBytes);
        EXPECT_FALSE(t->code_of(5));
        t->set_status(5, kCodeAuto, true, 100);
    }
    // Cut to 30 bytes: the first record survives; the rest read as free, with no fault.
    std::filesystem::resize_file(file, 30);
    std::string notice;
    auto t = StatusTable::open(file, &notice);
    ASSERT_TRUE(t);
    EXPECT_FALSE(notice.empty());
    EXPECT_EQ(std::filesystem::file_size(file), kStatusTableBytes);
    EXPECT_EQ(t->code_of(5), kCodeAuto);
    EXPECT_EQ(t->record(999).file_number, 0u);
}

TEST(StatusTable, RecordBytesAreLittleEndianAndFlagsFollowTheCode)
{
    TempFolder dir;
    const auto file = dir / kStatusTableName;
    auto t = StatusTable::open(file);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->set_status(0x12345678, kCodeAuto, true, 0x01020304).code, kCodeAuto);
    t->sync();
    Bytes b = test::read_bytes(file);
    ASSERT_EQ(b.size(), kStatusTableBytes);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 12),
              (Bytes{0x78, 0x56, 0x34, 0x12, 0x04, 0x03, 0x02, 0x01, std::uint8_t(9 | kRequestedFlag | kChangedFlag), 0, 0, 0}));
    // Grab clears the requested flag; without mark_changed the changed flag is kept as it is.
    t->clear_bits(0x12345678, kChangedFlag);
    t->set_status(0x12345678, kCodeGrab, false, 0);
    EXPECT_EQ(t->status_byte(0x12345678), kCodeGrab);
    // A status of downloaded never changes again.
    t->set_status(0x12345678, kCodeDownloaded, true, 0);
    EXPECT_EQ(t->set_status(0x12345678, kCodePriority, true, 0).code, kCodeDownloaded);
}

TEST(StatusTable, TheThousandAndFirstFileReusesTheOldestRecord)
{
    TempFolder dir;
    auto t = StatusTable::open(dir / kStatusTableName);
    ASSERT_TRUE(t);
    for (std::uint32_t i = 1; i <= 1000; ++i)
        t->set_status(i, kCodeGrab, true, 5000 + (i == 700 ? 0 : i));
    t->set_status(2000, kCodeAuto, true, 9000);
    EXPECT_FALSE(t->code_of(700));
    EXPECT_EQ(t->code_of(2000), kCodeAuto);
    EXPECT_EQ(t->find(2000), 699u);
}

TEST(StatusTable, MineBecomingDownloadedAsksForTheAcknowledgement)
{
    TempFolder dir;
    auto t = StatusTable::open(dir / kStatusTableName);
    ASSERT_TRUE(t);
    t->set_status(7, kCodeMine, true, 1);
    EXPECT_FALSE(t->set_status(7, kCodeDownloaded, true, 1, false).send_ack);
    t->set_status(8, kCodeMine, true, 1);
    EXPECT_TRUE(t->set_status(8, kCodeDownloaded, true, 1, true).send_ack);
}

// The viewer clears the changed flag of every record while the engine marks files downloaded
// and takes new records: no mark is undone and no record is taken twice.
TEST(StatusTable, TwoProcessesChangingRecordsLoseNothing)
{
    TempFolder dir;
    const auto file = dir / kStatusTableName;
    { auto t = StatusTable::open(file); ASSERT_TRUE(t); }
    const pid_t child = ::fork();
    if (child == 0) {
        auto t = StatusTable::open(file);
        if (!t)
            _exit(2);
        for (int round = 0; round < 300; ++round) {
            for (std::size_t i = 0; i < kStatusRecords; ++i) {
                auto r = t->record(i);
                if (r.file_number)
                    t->clear_bits(r.file_number, kChangedFlag);
            }
            t->set_status(100000 + std::uint32_t(round), kCodeAuto, true, 10);
        }
        _exit(0);
    }
    auto t = StatusTable::open(file);
    ASSERT_TRUE(t);
    for (std::uint32_t fn = 1; fn <= 300; ++fn) {
        t->set_status(fn, kCodeAuto, true, 10);
        t->set_status(fn, kCodeDownloaded, true, 10);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    for (std::uint32_t fn = 1; fn <= 300; ++fn)
        EXPECT_EQ(t->code_of(fn), kCodeDownloaded) << fn;
    for (std::uint32_t k = 0; k < 300; ++k)
        EXPECT_EQ(t->code_of(100000 + k), kCodeAuto) << k;
    std::set<std::uint32_t> seen;
    for (std::size_t i = 0; i < kStatusRecords; ++i)
        if (auto r = t->record(i); r.file_number) {
            EXPECT_TRUE(seen.insert(r.file_number).second) << "record taken twice: " << r.file_number;
        }
}

TEST(DirectoryHoles, FragmentsSplitTrimAndRemoveHoles)
{
    auto d = DirectoryHoles::fresh(200000); // [70400, open)
    ASSERT_EQ(d.count(), 1u);
    auto i = d.first_overlap(100000, 100011);
    ASSERT_TRUE(i);
    d.fill(*i, 100000, 100011);
    ASSERT_EQ(d.count(), 2u);
    EXPECT_EQ(d.holes()[0].end, 100000u);
    EXPECT_EQ(d.holes()[1].start, 100011u);
    EXPECT_EQ(d.holes()[1].end, kOpenTime);
    // Covering the whole first hole removes it.
    d.fill(0, 70000, 100000);
    EXPECT_EQ(d.count(), 1u);
    // Beyond 2038: the open end still covers it, so the entry is taken.
    const std::uint64_t t2040 = 2208988800ull;
    EXPECT_TRUE(d.first_overlap(t2040, t2040 + 1));
}

TEST(DirectoryHoles, FileLayoutAndDamagedFiles)
{
    auto d = DirectoryHoles::fresh(200000);
    d.fill(0, 100000, 100011);
    const Bytes bytes = d.encode();
    ASSERT_EQ(bytes.size(), 4u + 16u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{2, 0, 0, 0}));
    EXPECT_EQ(Bytes(bytes.end() - 4, bytes.end()), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
    auto back = DirectoryHoles::load(bytes, 200000);
    EXPECT_FALSE(back.error);
    ASSERT_EQ(back.holes.count(), 2u);
    EXPECT_EQ(back.holes.holes()[1].end, kOpenTime);

    // Count 0 and 751: error and the 1.5-day reset.
    for (std::uint32_t c : {0u, 751u}) {
        Bytes bad = bytes;
        bad[0] = std::uint8_t(c);
        bad[1] = std::uint8_t(c >> 8);
        auto r = DirectoryHoles::load(bad, 200000);
        EXPECT_TRUE(r.error);
        EXPECT_TRUE(r.reset);
        EXPECT_EQ(r.holes.holes()[0].start, 200000u - kDirectoryResetAge);
    }
    // Not ascending: the file is not trusted.
    Bytes unordered = bytes;
    unordered[4] = 0xFF;
    unordered[5] = 0xFF;
    unordered[6] = 0xFF;
    unordered[7] = 0x70; // first hole now starts after the second
    EXPECT_TRUE(DirectoryHoles::load(unordered, 200000).reset);
    // Short: the last hole read is open-ended, so nothing after it counts as heard.
    Bytes cut(bytes.begin(), bytes.begin() + 12);
    auto r = DirectoryHoles::load(cut, 200000);
    ASSERT_EQ(r.holes.count(), 1u);
    EXPECT_EQ(r.holes.holes()[0].end, kOpenTime);
}

TEST(DirectoryFile, TornLastHeaderIsCutAndFilesRollOver)
{
    TempFolder dir;
    const Bytes h = pfh::build_pfh(test::header_for(0x101));
    Bytes content = h;
    content.insert(content.end(), h.begin(), h.begin() + 9); // a crash mid-append
    test::write_bytes(dir / "Brek0003.PFH", content);
    auto opened = DirectoryFile::open(dir.path());
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->notice);
    EXPECT_EQ(opened->file.number(), 3);
    EXPECT_EQ(std::filesystem::file_size(dir / "Brek0003.PFH"), h.size());
    auto& f = opened->file;
    while (f.number() == 3)
        ASSERT_TRUE(f.append(h));
    EXPECT_GT(std::filesystem::file_size(dir / "Brek0003.PFH"), kDirectoryFileRollover);
    ASSERT_TRUE(f.append(h));
    EXPECT_EQ(f.number(), 4);
    EXPECT_EQ(scan_directory_bytes(test::read_bytes(dir / "Brek0004.PFH")).headers, 1u);
}

TEST(DirectoryFile, DamagedFileIsLeftAloneAndTheNextNumberStarts)
{
    TempFolder dir;
    test::write_bytes(dir / "brek0002.pfh", Bytes{0x12, 0x34, 0x56});
    auto opened = DirectoryFile::open(dir.path());
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->file.number(), 3);
    EXPECT_EQ(std::filesystem::file_size(dir / "brek0002.pfh"), 3u);
}

struct Events : DirectoryListener {
    int up_to_date = 0;
    std::vector<std::pair<std::uint32_t, int>> entries;
    void on_up_to_date() override { ++up_to_date; }
    void on_new_entry(std::uint32_t fn, int code) override { entries.emplace_back(fn, code); }
};

struct StoreFixture : ::testing::Test {
    TempFolder dir;
    test::Lines lines;
    Events events;
    std::uint64_t now = 1'700'000'000;
    std::unique_ptr<DirectoryStore> store;
    void SetUp() override { reopen(); }
    void reopen()
    {
        if (store)
            store->close();
        DirectorySettings s;
        s.my_call = "N0CALL";
        store = std::make_unique<DirectoryStore>(dir.path(), s, [this] { return now; }, &lines, &events, nullptr);
        store->open();
    }
    void feed(const DirectoryFragment& f) { store->on_directory_fragment(f); }
};

TEST_F(StoreFixture, WholeHeaderIsStoredWithItsStatusAndTheHoleSplits)
{
    const Bytes h = pfh::build_pfh(test::header_for(0x2A, "Hello", "N0CALL"));
    const std::uint32_t t = std::uint32_t(now - 1000);
    feed(test::dir_fragment(0x2A, 0, h, true, t, t + 10));
    EXPECT_EQ(store->holes().count(), 2u);
    EXPECT_EQ(store->get_download_status(0x2A), kCodeMine);
    EXPECT_EQ(test::read_bytes(dir / "Brek0000.PFH"), h);
    EXPECT_TRUE(lines.has("      2A M T:N0CALL"));
    ASSERT_EQ(events.entries.size(), 1u);
    // The same range again: already heard, nothing stored twice.
    feed(test::dir_fragment(0x2A, 0, h, true, t, t + 10));
    EXPECT_EQ(test::read_bytes(dir / "Brek0000.PFH").size(), h.size());
}

TEST_F(StoreFixture, LostMiddleFragmentDropsTheHeader)
{
    const Bytes h = pfh::build_pfh(test::header_for(0x2B, std::string(80, 'x')));
    const std::size_t a = 30, b = 60;
    const std::uint32_t t = std::uint32_t(now - 500);
    feed(test::dir_fragment(0x2B, 0, std::span(h).first(a), false, t, t));
    feed(test::dir_fragment(0x2B, b, std::span(h).subspan(b), true, t, t));
    EXPECT_EQ(store->holes().count(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "Brek0000.PFH") && std::filesystem::file_size(dir / "Brek0000.PFH") > 0);
    // Sent again whole, in order: stored.
    feed(test::dir_fragment(0x2B, 0, std::span(h).first(a), false, t, t));
    feed(test::dir_fragment(0x2B, a, std::span(h).subspan(a, b - a), false, t, t));
    feed(test::dir_fragment(0x2B, b, std::span(h).subspan(b), true, t, t));
    EXPECT_EQ(store->holes().count(), 2u);
}

TEST_F(StoreFixture, SixthBadChecksumMovesTheHoleOn)
{
    Bytes h = pfh::build_pfh(test::header_for(0x2C));
    h[h.size() - 5] ^= 0x01; // a value byte: the sum no longer matches
    const std::uint32_t t = std::uint32_t(now - 500);
    for (int i = 0; i < 5; ++i) {
        feed(test::dir_fragment(0x2C, 0, h, true, t, t));
        EXPECT_EQ(store->holes().count(), 1u) << i;
    }
    feed(test::dir_fragment(0x2C, 0, h, true, t, t));
    EXPECT_EQ(store->holes().count(), 2u);
    EXPECT_TRUE(lines.has("Dir checksum error in file 2C exceeded maximum count"));
    EXPECT_FALSE(store->get_download_status(0x2C));
}

TEST_F(StoreFixture, UpToDateOnlyAfterTheNewestFlagAndHolesPersist)
{
    const std::uint32_t t0 = std::uint32_t(now - kDirectoryResetAge);
    const Bytes h1 = pfh::build_pfh(test::header_for(0x31));
    const Bytes h2 = pfh::build_pfh(test::header_for(0x32));
    // Covers the start of the hole: still one hole, not up to date without the newest flag.
    feed(test::dir_fragment(0x31, 0, h1, true, t0 - 10, t0 + 100));
    EXPECT_EQ(store->holes().count(), 1u);
    EXPECT_EQ(store->status_text(), "DIR Old");
    EXPECT_EQ(events.up_to_date, 0);
    feed(test::dir_fragment(0x32, 0, h2, true, t0 + 101, t0 + 200, true));
    EXPECT_EQ(store->status_text(), "DIR <Up to Date>");
    EXPECT_EQ(events.up_to_date, 1);
    EXPECT_TRUE(store->complete());
    const std::uint64_t expected_start = std::uint64_t(t0) + 201;
    lines.lines.clear();
    reopen();
    ASSERT_EQ(store->holes().count(), 1u);
    EXPECT_EQ(store->holes().holes()[0].start, expected_start);
    EXPECT_FALSE(lines.has("Resetting directory")) ;
}

TEST_F(StoreFixture, RejectsTypeErrorsAndOverlongHeaders)
{
    Bytes big(600, 0xAA);
    const std::uint32_t t = std::uint32_t(now - 100);
    auto f = test::dir_fragment(0x40, 0, big, false, t, t);
    feed(f);
    f.offset = 600;
    feed(f);
    EXPECT_TRUE(lines.has("*** Dir Length error in file 40 ***"));
    f.flags = 0x01;
    feed(f);
    EXPECT_TRUE(lines.has("DIR Processing - type error"));
    EXPECT_EQ(store->holes().count(), 1u);
}

} // namespace
} // namespace orva::engine

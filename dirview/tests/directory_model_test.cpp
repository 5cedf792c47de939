#include "dirview/directory_model.h"
#include "dirview/tests/directory_fixture.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/directory/status_table.h"

#include <gtest/gtest.h>

#include "common/file_names.h"

#include <sys/wait.h>
#include <future>
#include <unistd.h>

namespace orva::dirview {
namespace {

using namespace testing;
namespace fs = std::filesystem;

constexpr std::uint32_t kBase = 0x1000;

// 1000 headers, file numbers kBase+0 .. kBase+999, with statuses by number:
// i % 10 == 0 downloaded and changed (0x83), 1 requested and downloaded (0x13), 2 changed Priority
// requested (0x9A), 3 Never, 4 requested Auto (0x19), others without a record (Grab).
struct Directory1000 {
    TempDir root;
    DirectoryConfig config = make_config(root.path());
    std::vector<pfh::PfhHeader> headers;

    Directory1000()
    {
        std::vector<std::pair<std::uint32_t, std::uint8_t>> records;
        for (std::uint32_t i = 0; i < 1000; ++i) {
            pfh::PfhHeader h = header(kBase + i, 1'700'000'000 + i);
            h.file_type = std::uint8_t(i % 4 == 0 ? 8 : 0);
            h.file_size = 100 + i;
            h.title = "Title " + std::to_string(i);
            h.compression_type = std::uint8_t(i % 5 == 0 ? 2 : 0);
            headers.push_back(h);
            switch (i % 10) {
            case 0: records.push_back({kBase + i, 0x83}); break;
            case 1: records.push_back({kBase + i, 0x13}); break;
            case 4: records.push_back({kBase + i, 0x19}); break;
            case 2: records.push_back({kBase + i, 0x9A}); break;
            case 3: records.push_back({kBase + i, 0x01}); break;
            default: break;
            }
        }
        write_directory(config.folders.satellite, headers);
        write_status_table(config.folders.satellite, records);
        config.maximum_pfh_files = 100;
        config.maximum_messages = 5000;
    }
};

std::vector<std::uint32_t> shown(const DirectoryModel& m)
{
    std::vector<std::uint32_t> v;
    for (std::size_t i = 0; i < m.row_count(); ++i)
        v.push_back(m.row(i).file_number);
    return v;
}

std::vector<std::uint32_t> expected(int every_residue, std::size_t limit = 1250)
{
    std::vector<std::uint32_t> v;
    for (int i = 999; i >= 0; --i)
        if (every_residue < 0 || i % 10 == every_residue)
            if (v.size() < limit)
                v.push_back(kBase + std::uint32_t(i));
    return v;
}

TEST(DirectoryModel, ThousandHeadersLoadAndFilterByEveryFixedMode)
{
    Directory1000 d;
    platform::ManualClock clock;
    DirectoryModel m(clock);
    const OpenReport report = m.open(d.config);
    ASSERT_TRUE(report.loaded) << report.message;
    EXPECT_TRUE(report.status_table);
    EXPECT_EQ(report.bad_headers, 0u);
    EXPECT_EQ(m.entry_count(), 1000u);
    EXPECT_EQ(m.counters().loaded, 1000u);
    EXPECT_EQ(m.counters().user, 1000u);
    EXPECT_EQ(m.counters().compressed, 200u);
    EXPECT_EQ(m.counters().pkzip, 200u);

    // Opening shows the changes: codes 0x83 and 0x9A.
    EXPECT_EQ(m.current_mode(), kModeChanges);
    std::vector<std::uint32_t> changes;
    for (int i = 999; i >= 0; --i)
        if (i % 10 == 0 || i % 10 == 2)
            changes.push_back(kBase + std::uint32_t(i));
    EXPECT_EQ(shown(m), changes);

    ASSERT_TRUE(m.select_mode(kModeNewestDownloaded));
    EXPECT_EQ(shown(m), expected(0));
    ASSERT_TRUE(m.select_mode(kModeRequested));
    EXPECT_EQ(shown(m), expected(1));
    ASSERT_TRUE(m.select_mode(kModeAll));
    EXPECT_EQ(shown(m), expected(-1));
    EXPECT_FALSE(m.select_mode("No such mode"));
    EXPECT_EQ(m.current_mode(), kModeAll);

    // Every column as the list shows it.
    const std::size_t row = *m.row_of(kBase + 2);
    EXPECT_EQ(m.column_text(row, Column::FileNumber), "1002    ");
    EXPECT_EQ(m.column_text(row, Column::Line),
              "P ALL     G0ABC   2213 14Nov23     102      Title 2                       TEST                         ");
    EXPECT_EQ(m.column_text(row, Column::Status), "P");
    EXPECT_EQ(m.column_text(row, Column::To), "ALL    ");
    EXPECT_EQ(m.column_text(row, Column::From), "G0ABC  ");
    EXPECT_EQ(m.column_text(row, Column::UploadTime), "2213 14Nov23");
    EXPECT_EQ(m.column_text(row, Column::Size), "    102");
    EXPECT_EQ(m.column_text(row, Column::Percent), "   ");
    EXPECT_EQ(m.column_text(row, Column::Title), "Title 2                      ");
    EXPECT_EQ(m.column_text(row, Column::Keywords), "TEST                         ");
    EXPECT_EQ(m.column_text(*m.row_of(kBase + 3), Column::Status), "N");
    EXPECT_EQ(m.column_text(*m.row_of(kBase + 6), Column::Status), "g");
    EXPECT_EQ(m.column_text(*m.row_of(kBase + 0), Column::Status), "D");
    EXPECT_EQ(m.column_text(*m.row_of(kBase + 1), Column::Status), "D");
    EXPECT_EQ(m.column_text(*m.row_of(kBase + 4), Column::Status), "A");
}

TEST(DirectoryModel, EquationFileModes)
{
    Directory1000 d;
    write_file(d.config.suite_dir / "Tessel Equations.TXT",
               Bytes{});
    {
        std::ofstream out(d.config.suite_dir / "Tessel Equations.TXT");
        out << "[Keps] {FILETYPE = 8 }\n"
               "[Wanted] {STATUS = AUTO | STATUS = PRIORITY }\n"
               "[Broken] {FILESIZE=1 }\n"
               "[Big keps] {FILETYPE = 8 & FILESIZE > 1000 }\n";
    }
    platform::ManualClock clock;
    DirectoryModel m(clock);
    m.load_suite_equations(d.config.suite_dir);
    ASSERT_TRUE(m.open(d.config).loaded);
    EXPECT_EQ(m.mode_names(), (std::vector<std::string>{kModeNewestDownloaded, kModeChanges, kModeAll, kModeRequested,
                                                        "Big keps", "Keps", "Wanted"}));
    ASSERT_EQ(m.equation_faults().size(), 1u);
    EXPECT_EQ(m.equation_faults()[0].line, 3);

    ASSERT_TRUE(m.select_mode("Keps"));
    std::vector<std::uint32_t> keps;
    for (int i = 999; i >= 0; --i)
        if (i % 4 == 0)
            keps.push_back(kBase + std::uint32_t(i));
    EXPECT_EQ(shown(m), keps);

    ASSERT_TRUE(m.select_mode("Wanted"));
    std::vector<std::uint32_t> wanted;
    for (int i = 999; i >= 0; --i)
        if (i % 10 == 4 || i % 10 == 2)
            wanted.push_back(kBase + std::uint32_t(i));
    EXPECT_EQ(shown(m), wanted);

    ASSERT_TRUE(m.select_mode("Big keps"));
    std::vector<std::uint32_t> big;
    for (int i = 999; i >= 0; --i)
        if (i % 4 == 0 && 100 + i > 1000)
            big.push_back(kBase + std::uint32_t(i));
    EXPECT_EQ(shown(m), big);

    // The satellite's own copy replaces the suite's while it is open.
    {
        std::ofstream out(d.config.folders.satellite / "tessel equations.txt");
        out << "[Own] {SOURCE = G0ABC }\n";
    }
    ASSERT_TRUE(m.open(d.config).loaded);
    EXPECT_EQ(m.mode_names().back(), "Own");
    EXPECT_FALSE(m.select_mode("Keps"));
}

TEST(DirectoryModel, StatusChangedByAnotherProcessAppears)
{
    Directory1000 d;
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(d.config).loaded);
    ASSERT_TRUE(m.select_mode(kModeAll));
    const std::size_t row = *m.row_of(kBase + 5);
    EXPECT_EQ(m.column_text(row, Column::Status), "g");
    EXPECT_TRUE(m.poll_status_changes().empty());

    // The engine, in its own process, marks the file downloaded.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto table = engine::StatusTable::open(d.config.folders.satellite / "Brek File Info.DAT");
        if (!table)
            ::_exit(2);
        table->set_status(kBase + 5, 3, true, 1'800'000'000);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(m.column_text(row, Column::Status), "D");
    EXPECT_EQ(m.status_of(kBase + 5), 0x83);
    EXPECT_EQ(m.poll_status_changes(), std::vector<std::size_t>{row});
    EXPECT_TRUE(m.poll_status_changes().empty());
    ASSERT_TRUE(m.select_mode(kModeNewestDownloaded));
    EXPECT_TRUE(m.row_of(kBase + 5).has_value());
}

TEST(DirectoryModel, MarkingGoesThroughTheTableAndTheEngineSeesIt)
{
    Directory1000 d;
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(d.config).loaded);
    ASSERT_TRUE(m.select_mode(kModeAll));
    const std::size_t row = *m.row_of(kBase + 7);
    ASSERT_TRUE(m.mark(row, 10));
    EXPECT_EQ(m.status_of(kBase + 7), 0x9A);
    EXPECT_EQ(m.counters().marked, 1);
    EXPECT_EQ(m.column_text(row, Column::Status), "P");

    auto engine_view = engine::StatusTable::open(d.config.folders.satellite / "Brek File Info.DAT");
    ASSERT_TRUE(engine_view);
    EXPECT_EQ(engine_view->code_of(kBase + 7), 10);
    // The record taken was a free one, stamped with our clock.
    const auto index = engine_view->find(kBase + 7);
    ASSERT_TRUE(index);
    EXPECT_EQ(engine_view->record(*index).created, 1'000'000'000u);

    ASSERT_TRUE(m.mark(row, 1)); // Never: the requested bit goes
    EXPECT_EQ(m.status_of(kBase + 7), 0x81);
    ASSERT_TRUE(m.mark(row, 4));
    EXPECT_EQ(m.status_of(kBase + 7), 0x84);

    // Closing clears the changed bit of every record.
    m.close();
    EXPECT_EQ(engine_view->status_byte(kBase + 7), 0x04);
    EXPECT_EQ(engine_view->status_byte(kBase + 0), 0x03);
}

TEST(StatusView, TakesTheOldestPlainRecordElseRecordZero)
{
    TempDir dir;
    std::vector<std::pair<std::uint32_t, std::uint8_t>> records;
    for (std::uint32_t i = 0; i < 1000; ++i)
        records.push_back({i + 1, std::uint8_t(i == 500 || i == 700 ? 0x04 : 0x0A)});
    write_status_table(dir.path(), records); // record i has time 1'700'000'000 + i
    auto view = StatusView::open(dir.path());
    ASSERT_TRUE(view);
    view->set_status(5000, 9, 1'800'000'000);
    EXPECT_EQ(view->status_of(5000), 0x99);
    EXPECT_EQ(view->status_of(501), kStatusUnknown); // record 500 was the oldest plain one
    EXPECT_EQ(view->status_of(701), 0x04);

    // No record below 5 left (record 700 now holds 5001 with 0x99): record 0 is overwritten.
    view->set_status(5001, 9, 1'800'000'001);
    view->set_status(5002, 3, 1'800'000'002);
    EXPECT_EQ(view->status_of(1), kStatusUnknown);
    EXPECT_EQ(view->status_of(5002), 0x83);
}

// The engine hands a record to another file under the table lock. A mark must not find the
// record before that and write it after: it waits for the lock, then finds its file gone and takes
// a record of its own, and the other file keeps its status.
TEST(StatusView, MarkingWaitsWhileTheEngineHandsARecordOver)
{
    TempDir dir;
    std::vector<std::pair<std::uint32_t, std::uint8_t>> records;
    for (std::uint32_t i = 0; i < 1000; ++i)
        records.push_back({i + 1, std::uint8_t(i == 10 ? 0x04 : 0x0A)});
    write_status_table(dir.path(), records);
    auto view = StatusView::open(dir.path());
    ASSERT_TRUE(view);
    // The engine's own opening of the table (its own lock owner).
    auto engine = platform::SharedRecordFile::open(dir.path() / kStatusFileName, kStatusRecordSize, kStatusRecords);
    ASSERT_TRUE(engine);
    auto lock = engine->lock_table();
    ASSERT_TRUE(lock);
    auto marking = std::async(std::launch::async, [&] { return view->set_status(11, 9, 1'800'000'000); });
    // Not done while the engine holds the table (a fixed wait: this checks that nothing happens).
    EXPECT_EQ(marking.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    std::uint8_t r[kStatusRecordSize] = {0x88, 0x13, 0, 0, 0, 0, 0, 0, 0x0A, 0, 0, 0}; // record 10 -> file 5000
    ASSERT_TRUE(lock->write(10, r));
    { auto released = std::move(*lock); }
    EXPECT_TRUE(marking.get());
    EXPECT_EQ(view->status_of(5000), 0x0A);
    EXPECT_EQ(view->status_of(11), 0x99);
}

TEST(DirectoryModel, DuplicatesLaterUploadWinsWhicheverIsReadFirst)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    pfh::PfhHeader old_h = header(0x50, 1000), new_h = header(0x50, 2000), same_h = header(0x51, 1000);
    old_h.title = "old";
    new_h.title = "new";
    pfh::PfhHeader same2 = same_h;
    same_h.title = "first";
    same2.title = "second";
    // Newest file is read first: 0001 holds the old one, 0000 the new one.
    Bytes f0, f1;
    append(f0, bytes_of(new_h));
    append(f1, bytes_of(old_h));
    append(f1, bytes_of(same_h));
    append(f1, bytes_of(same2));
    write_file(c.folders.satellite / "Brek0000.PFH", f0);
    write_file(c.folders.satellite / "Brek0001.PFH", f1);
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_EQ(m.entry_count(), 2u);
    EXPECT_EQ(m.find(0x50)->title, "new");
    EXPECT_EQ(m.find(0x51)->title, "first");
    EXPECT_EQ(m.counters().loaded, 2u);
}

TEST(DirectoryModel, MaximumPfhFilesAndMessages)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    for (int n = 0; n <= 25; ++n)
        write_file(c.folders.satellite / directory_file_name(n), bytes_of(header(std::uint32_t(100 + n))));
    fs::remove(c.folders.satellite / directory_file_name(20)); // a missing file is skipped
    platform::ManualClock clock;
    DirectoryModel m(clock);
    OpenReport r = m.open(c);
    ASSERT_TRUE(r.loaded);
    EXPECT_EQ(r.files_read, 10u); // 25 down to 15, less the missing one
    EXPECT_EQ(m.entry_count(), 10u);
    EXPECT_NE(m.find(115), nullptr);
    EXPECT_EQ(m.find(114), nullptr);

    c.maximum_messages = 3;
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_EQ(m.entry_count(), 3u);
    EXPECT_NE(m.find(125), nullptr);
    EXPECT_NE(m.find(123), nullptr);
}

TEST(DirectoryModel, DamagedFilesKeepEveryGoodHeader)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    Bytes f;
    append(f, bytes_of(header(1)));
    Bytes bad = bytes_of(header(2));
    bad[bad.size() - 5] ^= 0xFF;
    append(f, bad);
    append(f, {0x12, 0x34});
    append(f, bytes_of(header(3)));
    Bytes torn = bytes_of(header(4));
    torn.resize(torn.size() / 2);
    append(f, torn);
    write_file(c.folders.satellite / "Brek0000.PFH", f);
    write_file(c.folders.satellite / "Brek0001.PFH", Bytes{0xAA, 0x00, 0x01}); // bad magic only
    platform::ManualClock clock;
    DirectoryModel m(clock);
    OpenReport r = m.open(c);
    ASSERT_TRUE(r.loaded);
    EXPECT_EQ(m.entry_count(), 2u);
    EXPECT_NE(m.find(1), nullptr);
    EXPECT_NE(m.find(3), nullptr);
    EXPECT_EQ(r.bad_headers, 1u);
    ASSERT_EQ(r.notices.size(), 2u);
    EXPECT_NE(r.notices[1].find("Brek0000.PFH"), std::string::npos);
    EXPECT_NE(r.notices[1].find("torn"), std::string::npos);
}

TEST(DirectoryModel, OpenFailures)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    platform::ManualClock clock;
    DirectoryModel m(clock);
    OpenReport r = m.open(c);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.message, "There are no PFH files to load");
    EXPECT_EQ(m.row_count(), 0u);

    c.folders.satellite = root.path() / "missing";
    r = m.open(c);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.message, "Satellite Directory not found");
    EXPECT_EQ(r.detail, (root.path() / "missing").string());
}

TEST(DirectoryModel, LiveHeadersFromTheEngine)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    write_directory(c.folders.satellite, {header(0x10), header(0x30)});
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(c).loaded);
    ASSERT_TRUE(m.select_mode(kModeAll));
    ASSERT_EQ(m.row_count(), 2u);

    // A new header: in the directory at once, in the list at the next mode selection.
    pfh::PfhHeader h = header(0x20);
    Bytes bytes = bytes_of(h);
    bytes[bytes.size() - 5] ^= 0x01; // the engine's copy is not checked again
    AddResult a = m.add_entry(bytes);
    EXPECT_EQ(a.kind, AddResult::Added);
    EXPECT_EQ(m.entry_count(), 3u);
    EXPECT_EQ(m.row_count(), 2u);
    EXPECT_EQ(m.counters().loaded, 3u);
    ASSERT_TRUE(m.select_mode(kModeAll));
    EXPECT_EQ(shown(m), (std::vector<std::uint32_t>{0x30, 0x20, 0x10}));

    // A newer header of a shown file replaces it in its row.
    m.mark_message(0x10);
    pfh::PfhHeader newer = header(0x10, 1'800'000'000);
    newer.title = "Updated";
    a = m.add_entry(bytes_of(newer));
    EXPECT_EQ(a.kind, AddResult::Replaced);
    EXPECT_EQ(a.row, 2u);
    EXPECT_EQ(m.row(2).title, "Updated");
    EXPECT_TRUE(m.row(2).message);
    EXPECT_EQ(m.counters().loaded, 3u);
    EXPECT_EQ(m.add_entry(bytes_of(header(0x10, 5))).kind, AddResult::Kept);

    EXPECT_EQ(m.add_entry(Bytes{0xAA, 0x55, 0x01}).kind, AddResult::Rejected);
    EXPECT_EQ(m.add_entry(Bytes{}).kind, AddResult::Rejected);
    EXPECT_EQ(m.entry_count(), 3u);
}

TEST(DirectoryModel, BbsHeadersForOthersNeedLoadBbs)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path(), "W1ME");
    pfh::PfhHeader other = header(1), mine = header(2), open = header(3), gate = header(4);
    other.file_type = 2;
    other.destination = "K9XYZ";
    mine.file_type = 1;
    mine.destination = "W1ME@NA";
    open.file_type = 1;
    open.destination.reset();
    gate.file_type = 18;
    gate.destination = "GATEWAY";
    write_directory(c.folders.satellite, {other, mine, open, gate});
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_EQ(m.entry_count(), 2u);
    EXPECT_EQ(m.counters().bbs, 2u);
    c.load_bbs = true;
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_EQ(m.entry_count(), 4u);
    c.load_bbs = false;
    c.callsign = ""; // every header is ours
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_EQ(m.entry_count(), 4u);
}

TEST(DirectoryModel, PercentFromHoleFilesAndMessageFlags)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    pfh::PfhHeader a = header(0xA1), z = header(0xA2), m3 = header(0xA3);
    a.file_size = 1000;
    z.file_size = 0;
    write_directory(c.folders.satellite, {a, z, m3});
    auto hole_file = [](std::vector<std::pair<std::uint32_t, std::uint32_t>> holes) {
        Bytes b(8, 0);
        auto put = [&](std::uint32_t v) {
            for (int k = 0; k < 4; ++k)
                b.push_back(std::uint8_t(v >> (8 * k)));
        };
        put(std::uint32_t(holes.size()));
        for (auto [s, e] : holes) {
            put(s);
            put(e);
        }
        return b;
    };
    // Holes [100,300) and [900,1000): 700 of 1000 bytes here.
    write_file(c.folders.satellite / "a1.hol", hole_file({{100, 300}, {900, 1000}}));
    write_file(c.folders.satellite / "A2.HOL", hole_file({{0, 10}})); // size 0
    write_file(c.folders.message / "A3.DLM", {});
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_EQ(m.find(0xA1)->percent, 70);
    EXPECT_EQ(m.find(0xA2)->percent, 0);
    EXPECT_TRUE(m.find(0xA3)->message);
    ASSERT_TRUE(m.select_mode(kModeAll));
    EXPECT_EQ(m.column_text(*m.row_of(0xA1), Column::Percent), " 70");
    EXPECT_EQ(m.column_text(*m.row_of(0xA3), Column::Percent), "MSG");
    EXPECT_EQ(m.info(0xA1).percent, "70");

    EXPECT_TRUE(m.mark_message(0xA1));
    EXPECT_EQ(m.find(0xA1)->percent, 0);
    EXPECT_TRUE(m.find(0xA1)->message);
    EXPECT_FALSE(m.mark_message(0xFFFF));
    c.mark_never = true;
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_TRUE(m.clear_message(0xA3));
    EXPECT_FALSE(m.find(0xA3)->message);
    EXPECT_EQ(m.status_of(0xA3) & kCodeMask, 1);
}

TEST(DirectoryModel, EntryPathsStayInsideTheSatelliteFolders)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path(), "W1ME");
    platform::ManualClock clock;
    DirectoryModel m(clock);
    write_directory(c.folders.satellite, {header(1)});
    ASSERT_TRUE(m.open(c).loaded);
    DirectoryEntry e;
    e.file_number = 0x1AB;
    e.file_name = "PIC.JPG";
    e.destination = "ALL";
    auto path = [&](std::uint8_t type) {
        e.file_type = type;
        return m.entry_path(e);
    };
    EXPECT_EQ(path(0), c.folders.message / "1AB.DLM");
    EXPECT_EQ(path(16), c.folders.image / "PIC.JPG");
    EXPECT_EQ(path(12), c.folders.binary / "PIC.JPG");
    EXPECT_EQ(path(9), c.folders.keps / "1AB.DLM");
    EXPECT_EQ(path(99), c.folders.unknown / "PIC.JPG");
    e.file_name = "MSG.TXT";
    EXPECT_EQ(path(1), c.folders.bbs / "MSG.IN");
    e.file_name = "NODOT";
    EXPECT_EQ(path(2), c.folders.bbs / "NODOT.IN");
    e.file_name = "";
    EXPECT_FALSE(path(16));
    e.file_name = "../EVIL";
    EXPECT_FALSE(path(16));

    e.destination = "W1ME";
    e.file_name = "PIC.JPG";
    EXPECT_EQ(path(0), c.folders.my_message / "1AB.DLM");
    EXPECT_EQ(path(1), c.folders.my_message / "1AB.DLM");
    EXPECT_EQ(path(14), c.folders.my_message / "PIC.JPG");
    EXPECT_FALSE(path(3));
    c.process_bbs = true;
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_FALSE(path(1));
}

// Files as the mail processor names them (the sender's case, odd bytes made harmless) are found
// by View and Delete: both programs take the name from header_disk_name, and Tessel looks it up
// without regard to case.
TEST(DirectoryModel, FindsFilesUnderTheNamesTheMailProcessorGives)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    pfh::PfhHeader photo = header(0x38);
    photo.file_type = 16;
    photo.user_file_name = "photo.jpg";
    pfh::PfhHeader odd = header(0x39);
    odd.file_type = 99;
    odd.user_file_name = std::string("a:b\x01" "c.txt");
    write_directory(c.folders.satellite, {photo, odd});
    const std::string photo_name = header_disk_name(photo.user_file_name, photo.file_name, photo.file_ext, 0x38);
    const std::string odd_name = header_disk_name(odd.user_file_name, odd.file_name, odd.file_ext, 0x39);
    ASSERT_EQ(photo_name, "photo.jpg");
    ASSERT_EQ(odd_name, "b_c.txt");
    write_file(c.folders.image / photo_name, {1});
    write_file(c.folders.image / "photo.PFH", {1});
    write_file(c.folders.unknown / odd_name, {1});
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(c).loaded);
    ASSERT_TRUE(m.select_mode(kModeAll));
    EXPECT_EQ(m.find(0x38)->file_name, "PHOTO.JPG"); // shown upper-cased as before
    EXPECT_EQ(m.entry_path(*m.find(0x38)), c.folders.image / "photo.jpg");
    EXPECT_EQ(m.entry_path(*m.find(0x39)), c.folders.unknown / "b_c.txt");
    DeleteResult d = m.delete_files(*m.row_of(0x38));
    EXPECT_EQ(d.deleted.size(), 2u);
    EXPECT_FALSE(fs::exists(c.folders.image / "photo.jpg"));
    EXPECT_FALSE(fs::exists(c.folders.image / "photo.PFH"));
    d = m.delete_files(*m.row_of(0x39));
    EXPECT_FALSE(fs::exists(c.folders.unknown / "b_c.txt"));
}

TEST(DirectoryModel, DeleteRemovesOnlyTheEntrysPieces)
{
    TempDir root;
    // A folder with a dot in it: the ".PFH" sibling is made in the file-name part only.
    DirectoryConfig c = make_config(root.path() / ".orva");
    pfh::PfhHeader h = header(0xBEEF);
    h.file_type = 16;
    h.user_file_name = "C:\\PICS\\photo.jpg";
    pfh::PfhHeader evil = header(0xBAD);
    evil.file_type = 99;
    evil.user_file_name = "../sat/keep.txt";
    write_directory(c.folders.satellite, {h, evil});
    write_file(c.folders.satellite / "beef.act", {1});
    write_file(c.folders.satellite / "BEEF.HOL", {1});
    write_file(c.folders.image / "PHOTO.JPG", {1});
    write_file(c.folders.image / "PHOTO.PFH", {1});
    write_file(c.folders.image / "OTHER.JPG", {1});
    write_file(c.folders.satellite / "keep.txt", {1});
    write_file(c.folders.unknown / "KEEP.TXT", {1});
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(c).loaded);
    ASSERT_TRUE(m.select_mode(kModeAll));
    m.mark_message(0xBEEF);

    DeleteResult d = m.delete_files(*m.row_of(0xBEEF));
    EXPECT_EQ(d.deleted.size(), 4u);
    EXPECT_FALSE(fs::exists(c.folders.satellite / "beef.act"));
    EXPECT_FALSE(fs::exists(c.folders.satellite / "BEEF.HOL"));
    EXPECT_FALSE(fs::exists(c.folders.image / "PHOTO.JPG"));
    EXPECT_FALSE(fs::exists(c.folders.image / "PHOTO.PFH"));
    EXPECT_TRUE(fs::exists(c.folders.image / "OTHER.JPG"));
    EXPECT_FALSE(m.find(0xBEEF)->message);
    EXPECT_FALSE(d.marked_never);

    // "../sat/keep.txt" names KEEP.TXT in the unknown folder, never the satellite folder's file.
    EXPECT_EQ(m.find(0xBAD)->file_name, "KEEP.TXT");
    c.mark_never = true;
    ASSERT_TRUE(m.open(c).loaded);
    ASSERT_TRUE(m.select_mode(kModeAll));
    d = m.delete_files(*m.row_of(0xBAD));
    EXPECT_TRUE(d.marked_never);
    EXPECT_TRUE(fs::exists(c.folders.satellite / "keep.txt"));
    EXPECT_FALSE(fs::exists(c.folders.unknown / "KEEP.TXT"));
    EXPECT_EQ(m.status_of(0xBAD) & kCodeMask, 1);
}

TEST(DirectoryModel, SearchAndComposerArguments)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    pfh::PfhHeader a = header(1), b = header(2);
    a.title = "Orbit news";
    a.source = "K1ABC";
    b.title = "Hi\nT~x F~/etc/passwd";
    b.source = "EVIL~S~OTHER";
    b.file_type = 0;
    write_directory(c.folders.satellite, {a, b});
    write_file(c.folders.message / "2.DLM", {'x'});
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(c).loaded);
    SearchFields f;
    f.title = "  orbit";
    m.search(f);
    EXPECT_EQ(shown(m), std::vector<std::uint32_t>{1});
    f = {};
    f.from = "K1";
    f.file_type = "0";
    m.search(f);
    EXPECT_EQ(shown(m), std::vector<std::uint32_t>{1});
    f = {};
    f.file_type = "7";
    m.search(f);
    EXPECT_TRUE(shown(m).empty());
    m.search(SearchFields{});
    EXPECT_EQ(shown(m), (std::vector<std::uint32_t>{2, 1}));

    EXPECT_EQ(m.new_message_arguments(), std::vector<std::string>{"S~TESTSAT"});
    EXPECT_EQ(m.reply_arguments(*m.find(1)), (std::vector<std::string>{"D~K1ABC", "S~TESTSAT", "T~Orbit news"}));
    EXPECT_EQ(m.reply_arguments(*m.find(2)),
              (std::vector<std::string>{"D~EVILSOTHER", "S~TESTSAT", "T~HiTx F/etc/passwd",
                                        "F~" + (c.folders.message / "2.DLM").string()}));
}

TEST(DirectoryModel, NoStatusTableKeepsTheListAndRefusesMarking)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    write_directory(c.folders.satellite, {header(1), header(2)});
    fs::create_directory(c.folders.satellite / "Brek File Info.DAT"); // cannot be mapped
    platform::ManualClock clock;
    DirectoryModel m(clock);
    OpenReport r = m.open(c);
    ASSERT_TRUE(r.loaded);
    EXPECT_FALSE(r.status_table);
    EXPECT_FALSE(m.has_status_table());
    EXPECT_EQ(m.current_mode(), kModeAll);
    EXPECT_EQ(m.row_count(), 2u);
    EXPECT_FALSE(m.select_mode(kModeChanges));
    EXPECT_EQ(m.row_count(), 2u);
    EXPECT_FALSE(m.mark(0, 10));
    EXPECT_EQ(m.status_of(1), kStatusUnknown);
    EXPECT_EQ(m.column_text(0, Column::Status), "g");
}

TEST(DirectoryModel, DisplayListStopsAtItsLimit)
{
    TempDir root;
    DirectoryConfig c = make_config(root.path());
    std::vector<pfh::PfhHeader> hs;
    for (std::uint32_t i = 1; i <= 1300; ++i)
        hs.push_back(header(i));
    write_directory(c.folders.satellite, hs);
    c.maximum_pfh_files = 1000;
    c.maximum_messages = 5000;
    platform::ManualClock clock;
    DirectoryModel m(clock);
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_EQ(m.entry_count(), 1300u);
    EXPECT_EQ(m.row_count(), 1250u);
    EXPECT_EQ(m.row(0).file_number, 1300u);
    c.display_limit = 100000;
    ASSERT_TRUE(m.open(c).loaded);
    EXPECT_EQ(m.row_count(), 1300u);
}

} // namespace
} // namespace orva::dirview

namespace orva::dirview {
namespace {

TEST(DirectoryConfig, ReadFromTheStore)
{
    testing::TempDir root;
    auto store = platform::Store::open(root.path() / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store);
    settings::StationSettings station;
    station.callsign = "W1ME";
    ASSERT_TRUE(settings::write_station(*store, station));
    settings::TesselSettings t;
    t.mark_never = 1;
    t.maximum_pfh_files = 25;
    ASSERT_TRUE(settings::write_tessel(*store, t));
    auto key = settings::create_satellite_key(*store, "AO-16");
    ASSERT_TRUE(key);
    settings::SatelliteRecord r = settings::new_satellite("AO-16", settings::SatelliteType::PacSat, root.path().string());
    ASSERT_TRUE(settings::write_satellite(*store, *key, r));
    const settings::SatelliteRecord written = settings::read_satellite_key(*store, *key);

    auto c = read_directory_config(*store, "ao-16");
    ASSERT_TRUE(c) << c.error().message;
    EXPECT_EQ(c->satellite, "AO-16");
    EXPECT_EQ(c->callsign, "W1ME");
    EXPECT_EQ(c->folders.satellite, written.satellite_directory);
    EXPECT_EQ(c->folders.bbs, written.bbs_directory);
    EXPECT_TRUE(c->mark_never);
    EXPECT_FALSE(c->load_bbs);
    EXPECT_EQ(c->maximum_pfh_files, 25u);
    EXPECT_EQ(c->maximum_messages, 999u);
    EXPECT_FALSE(read_directory_config(*store, "UO-22"));
}

} // namespace
} // namespace orva::dirview

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/atomic_file.h"
#include "station/schedule/schedule_file.h"

namespace orva::station {
namespace {

namespace fs = std::filesystem;

PassEntry sample(const std::string& name, std::int64_t aos)
{
    PassEntry e;
    e.name = name;
    e.aos = aos;
    e.los = aos + 600;
    e.run_start = aos + 30;
    e.run_end = aos + 570;
    e.min_pass_time = 120;
    e.start_lead = 25;
    e.run_now = 1;
    e.ended_by_station = 1;
    e.max_elevation = 47;
    e.priority = 10;
    e.effective_priority = 85;
    e.dont_run = 0;
    e.flip = 1;
    e.listen_only = 1;
    e.elevation_ok = 1;
    e.ignore_pass_checking = 1;
    e.run_regardless = 1;
    e.popup_done = 1;
    e.last_run_end = aos + 580;
    e.popup_window = 0xdeadbeef; // never reaches the file
    return e;
}

std::int32_t at32(const PassEntryBytes& b, std::size_t o)
{
    return std::int32_t(b[o] | (b[o + 1] << 8) | (b[o + 2] << 16) | (std::uint32_t(b[o + 3]) << 24));
}

struct TempDir {
    fs::path path = fs::temp_directory_path() / ("orva-sched-" + std::to_string(::getpid()) + "-" +
                                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
};

TEST(PassEntryLayout, EveryFieldAtItsOffsetAndInMemoryFieldsZero)
{
    PassEntryBytes b = encode_pass_entry(sample("AO-16", 1751086545));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "AO-16");
    for (std::size_t i = 5; i < 12; ++i)
        EXPECT_EQ(b[i], 0);
    EXPECT_EQ(at32(b, 12), 1751086545);
    EXPECT_EQ(at32(b, 16), 1751086545 + 600);
    EXPECT_EQ(at32(b, 20), 1751086545 + 30);
    EXPECT_EQ(at32(b, 24), 1751086545 + 570);
    EXPECT_EQ(at32(b, 28), 120);
    EXPECT_EQ(at32(b, 32), 25);
    EXPECT_EQ(at32(b, 36), 0);
    EXPECT_EQ(at32(b, 40), 0);
    EXPECT_EQ(at32(b, 44), 1);
    EXPECT_EQ(at32(b, 48), 1);
    EXPECT_EQ(at32(b, 52), 47);
    EXPECT_EQ(at32(b, 56), 10);
    EXPECT_EQ(at32(b, 60), 85);
    EXPECT_EQ(at32(b, 64), 0);
    EXPECT_EQ(at32(b, 68), 0);
    EXPECT_EQ(at32(b, 72), 1);
    EXPECT_EQ(at32(b, 76), 1);
    EXPECT_EQ(at32(b, 80), 1);
    EXPECT_EQ(at32(b, 84), 1);
    EXPECT_EQ(at32(b, 88), 1);
    EXPECT_EQ(at32(b, 92), 1);
    EXPECT_EQ(at32(b, 96), 0);  // notice handle
    EXPECT_EQ(at32(b, 100), 1751086545 + 580);
    EXPECT_EQ(at32(b, 104), 0); // list link
    // A twelve-character satellite name is kept whole.
    PassEntryBytes longer = encode_pass_entry(sample("ABCDEFGHIJKL", 0));
    EXPECT_EQ(decode_pass_entry(longer).name, "ABCDEFGHIJKL");
    EXPECT_EQ(decode_pass_entry(encode_pass_entry(sample("ABCDEFGHIJKLMN", 0))).name, "ABCDEFGHIJKL");
}

TEST(PassEntryLayout, DecodeEncodeIsByteExact)
{
    PassEntryBytes b{};
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = std::uint8_t(i * 7 + 1);
    b[5] = 0; // name ends
    for (std::size_t i : {36, 37, 38, 39, 40, 41, 42, 43, 68, 69, 70, 71, 96, 97, 98, 99, 104, 105, 106, 107})
        b[i] = 0;
    PassEntryBytes again = encode_pass_entry(decode_pass_entry(b));
    for (std::size_t i = 6; i < 12; ++i)
        b[i] = 0; // bytes after the NUL are not kept
    EXPECT_EQ(again, b);
    // Negative station times survive.
    PassEntry e = sample("X", -5);
    EXPECT_EQ(decode_pass_entry(encode_pass_entry(e)).aos, -5);
}

TEST(ScheduleFile, RoundTripsByteExact)
{
    TempDir dir;
    std::vector<PassEntry> entries{sample("AO-16", 1000), sample("UO-22", 1000), sample("KO-23", 2000)};
    fs::path file = dir.path / kScheduleFileName;
    ASSERT_TRUE(save_schedule_file(file, entries).ok());
    EXPECT_EQ(fs::file_size(file), 2 + 3 * kPassEntrySize);
    Result<std::vector<std::uint8_t>> first = read_file(file);
    ASSERT_TRUE(first.ok());
    EXPECT_EQ((*first)[0], 0xd8);
    EXPECT_EQ((*first)[1], 0x07);
    LoadedSchedule loaded = load_schedule_file(file);
    ASSERT_FALSE(loaded.warning) << *loaded.warning;
    ASSERT_EQ(loaded.entries.size(), 3u);
    EXPECT_EQ(loaded.entries[1].name, "UO-22");
    EXPECT_EQ(loaded.entries[0].popup_window, 0u);
    ASSERT_TRUE(save_schedule_file(file, loaded.entries).ok());
    EXPECT_EQ(*read_file(file), *first);
}

TEST(ScheduleFile, MissingFileIsAnEmptySchedule)
{
    TempDir dir;
    LoadedSchedule loaded = load_schedule_file(dir.path / kScheduleFileName);
    EXPECT_TRUE(loaded.entries.empty());
    EXPECT_FALSE(loaded.warning);
}

// A file that cannot be used starts an empty schedule but is kept aside, so the next save does
// not destroy hand-edited passes.
TEST(ScheduleFile, UnusableFilesAreKeptAsideAndNamed)
{
    std::vector<PassEntry> entries{sample("AO-16", 2000), sample("UO-22", 1000)};
    std::vector<std::uint8_t> out_of_order = encode_schedule(entries);
    std::vector<std::uint8_t> good = encode_schedule({sample("AO-16", 1000)});
    std::vector<std::uint8_t> wrong_magic = good;
    wrong_magic[0] = 0xd9;
    std::vector<std::uint8_t> truncated(good.begin(), good.end() - 1);
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::string why;
    };
    for (const Case& c : {Case{out_of_order, "out of time order"}, Case{wrong_magic, "magic number"},
             Case{truncated, "truncated"}, Case{{0x07}, "shorter"}}) {
        TempDir dir;
        fs::path file = dir.path / kScheduleFileName;
        ASSERT_TRUE(write_file_atomic(file, std::span<const std::uint8_t>(c.bytes)).ok());
        LoadedSchedule loaded = load_schedule_file(file);
        EXPECT_TRUE(loaded.entries.empty());
        ASSERT_TRUE(loaded.warning);
        EXPECT_NE(loaded.warning->find(c.why), std::string::npos) << *loaded.warning;
        EXPECT_NE(loaded.warning->find("Orva Schedule.DAT.bad"), std::string::npos) << *loaded.warning;
        EXPECT_FALSE(fs::exists(file));
        fs::path bad = file;
        bad += ".bad";
        EXPECT_EQ(*read_file(bad), c.bytes);
    }
}

} // namespace
} // namespace orva::station

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <set>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/shared_records.h"

using namespace orva::platform;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t record_size = 12;   // the download-status table's layout
constexpr std::size_t record_count = 1000;
using Record = std::array<std::uint8_t, record_size>;

// A record whose every byte follows from (writer, n): any mix of two writes fails the check.
Record make_record(std::uint32_t writer, std::uint32_t n)
{
    Record r{};
    std::uint32_t a = n, b = (n * 2654435761u) ^ (writer << 28);
    for (int i = 0; i < 4; ++i) {
        r[i] = static_cast<std::uint8_t>(a >> (8 * i));
        r[4 + i] = static_cast<std::uint8_t>(b >> (8 * i));
    }
    r[8] = static_cast<std::uint8_t>(writer);
    r[9] = static_cast<std::uint8_t>(n * 7 + writer);
    r[10] = static_cast<std::uint8_t>((n >> 8) ^ 0x5A);
    r[11] = static_cast<std::uint8_t>(r[0] ^ r[5] ^ r[9]);
    return r;
}

bool whole(const Record& r)
{
    if (r == Record{})
        return true; // not yet written
    std::uint32_t n = r[0] | r[1] << 8 | r[2] << 16 | static_cast<std::uint32_t>(r[3]) << 24;
    return r == make_record(r[8], n);
}

class SharedRecordsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("orva-shared-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        file = dir / "Brek File Info.DAT";
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir, file;
};

TEST_F(SharedRecordsTest, NewFileIsExtendedToFullSizeAndZeroed)
{
    auto table = SharedRecordFile::open(file, record_size, record_count);
    ASSERT_TRUE(table) << table.error().message;
    EXPECT_TRUE(table->created());
    EXPECT_EQ(fs::file_size(file), 12000u);
    Record r{};
    r.fill(0xEE);
    ASSERT_TRUE(table->read(999, r));
    EXPECT_EQ(r, Record{});

    // A short file from elsewhere keeps its bytes and grows; nothing is written beyond the table.
    fs::remove(file);
    std::ofstream(file, std::ios::binary) << "ABCDEFGHIJKLmn";
    auto grown = SharedRecordFile::open(file, record_size, record_count);
    ASSERT_TRUE(grown);
    EXPECT_FALSE(grown->created());
    EXPECT_EQ(fs::file_size(file), 12000u);
    ASSERT_TRUE(grown->read(0, r));
    EXPECT_EQ(std::string(r.begin(), r.end()), "ABCDEFGHIJKL");
    EXPECT_EQ(grown->load_byte(1, 0), 'm');
    EXPECT_EQ(grown->load_byte(1, 2), 0);
}

TEST_F(SharedRecordsTest, WritesReachTheFileAndOtherMappings)
{
    auto a = SharedRecordFile::open(file, record_size, record_count);
    auto b = SharedRecordFile::open(file, record_size, record_count);
    ASSERT_TRUE(a && b);
    Record r = make_record(1, 0x12345678);
    ASSERT_TRUE(a->write(42, r));
    Record seen{};
    ASSERT_TRUE(b->read(42, seen));
    EXPECT_EQ(seen, r);
    EXPECT_EQ(b->load_u32(42, 0), 0x12345678u);
    b->store_u32(42, 4, 0x01020304);
    ASSERT_TRUE(a->flush());
    std::ifstream in(file, std::ios::binary);
    in.seekg(42 * 12);
    std::array<char, 8> raw{};
    in.read(raw.data(), 8);
    EXPECT_EQ(std::string(raw.data(), 8), std::string("\x78\x56\x34\x12\x04\x03\x02\x01", 8)); // little-endian
}

TEST_F(SharedRecordsTest, BadIndexOrSizeIsAnError)
{
    auto table = SharedRecordFile::open(file, record_size, record_count);
    ASSERT_TRUE(table);
    Record r{};
    EXPECT_FALSE(table->read(1000, r));
    EXPECT_FALSE(table->write(1000, r));
    std::array<std::uint8_t, 11> short_record{};
    EXPECT_FALSE(table->write(0, short_record));
    EXPECT_FALSE(SharedRecordFile::open(dir / "no" / "such" / "folder.DAT", 12, 1000));
}

TEST_F(SharedRecordsTest, AtomicByteOperations)
{
    auto table = SharedRecordFile::open(file, record_size, record_count);
    ASSERT_TRUE(table);
    table->store_byte(7, 8, 0x05);
    EXPECT_EQ(table->fetch_or_byte(7, 8, 0x80), 0x05);  // changed flag on
    EXPECT_EQ(table->fetch_and_byte(7, 8, 0x7F), 0x85); // and off
    std::uint8_t expected = 0x04;
    EXPECT_FALSE(table->compare_exchange_byte(7, 8, expected, 0x03));
    EXPECT_EQ(expected, 0x05);
    EXPECT_TRUE(table->compare_exchange_byte(7, 8, expected, 0x03));
    EXPECT_EQ(table->load_byte(7, 8), 0x03);
}

// Two processes hammer the table: each writes its own records and the same shared ones and reads
// both back, 100,000 whole-record updates each; then both take free records under the table lock.
int hammer(const fs::path& file, std::uint32_t writer)
{
    auto table = SharedRecordFile::open(file, record_size, record_count);
    if (!table)
        return 90;
    // Start together, so the two really overlap.
    table->fetch_or_byte(999, 0, static_cast<std::uint8_t>(1u << writer));
    while (table->load_byte(999, 0) != 0x06) {
    }
    int torn = 0;
    Record r{};
    const std::uint32_t updates = 100000;
    for (std::uint32_t n = 1; n <= updates / 2; ++n) {
        if (!table->write(n % 10, make_record(writer, n)))                    // shared records 0..9
            return 91;
        if (!table->write(100 * writer + n % 10, make_record(writer, n)))     // own records
            return 92;
        if (!table->read((n * 7) % 10, r))
            return 93;
        torn += !whole(r);
        if (!table->read(100 * (3 - writer) + n % 10, r))                       // the other's records
            return 94;
        torn += !whole(r);
        if (n % 1000 == 0)
            table->fetch_or_byte(500 + n / 1000 % 10, 8, static_cast<std::uint8_t>(1u << writer));
    }
    // Take 100 free records each (file number 0 = free), as a new directory entry does.
    for (int claim = 0; claim < 100; ++claim) {
        auto lock = table->lock_table();
        if (!lock)
            return 95;
        for (std::size_t i = 600; i < record_count; ++i) {
            if (!lock->read(i, r))
                return 96;
            if (r == Record{}) {
                if (!lock->write(i, make_record(writer, static_cast<std::uint32_t>(i))))
                    return 97;
                break;
            }
        }
    }
    return torn > 80 ? 80 : torn;
}

TEST_F(SharedRecordsTest, TwoProcessesNeverSeeATornRecord)
{
    { auto create = SharedRecordFile::open(file, record_size, record_count); ASSERT_TRUE(create); }
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(hammer(file, 2));
    int torn_here = hammer(file, 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child saw torn records or failed";
    EXPECT_EQ(torn_here, 0);

    auto table = SharedRecordFile::open(file, record_size, record_count);
    ASSERT_TRUE(table);
    Record r{};
    for (std::size_t i = 0; i < record_count; ++i) {
        ASSERT_TRUE(table->read(i, r));
        if ((i >= 500 && i < 510) || i == 999)
            continue; // the atomic byte records
        EXPECT_TRUE(whole(r)) << "record " << i;
    }
    for (std::size_t i = 0; i < 10; ++i) {
        ASSERT_TRUE(table->read(100 + i, r));
        EXPECT_EQ(r[8], 1);
        ASSERT_TRUE(table->read(200 + i, r));
        EXPECT_EQ(r[8], 2);
        EXPECT_EQ(table->load_byte(500 + i, 8), 0x06); // both processes' bits arrived
    }
    std::vector<std::uint8_t> all(record_size * record_count);
    ASSERT_TRUE(table->read_all(all));
    for (std::size_t i = 0; i < 500; ++i) {
        std::copy_n(all.begin() + static_cast<std::ptrdiff_t>(i * record_size), record_size, r.begin());
        EXPECT_TRUE(whole(r)) << "record " << i;
    }
    EXPECT_FALSE(table->read_all(std::span<std::uint8_t>(all.data(), 100)));
    // 200 distinct records taken, 100 by each, none twice.
    int taken[3] = {0, 0, 0};
    for (std::size_t i = 600; i < 800; ++i) {
        ASSERT_TRUE(table->read(i, r));
        ASSERT_TRUE(r[8] == 1 || r[8] == 2) << "record " << i;
        ++taken[r[8]];
    }
    EXPECT_EQ(taken[1], 100);
    EXPECT_EQ(taken[2], 100);
    ASSERT_TRUE(table->read(800, r));
    EXPECT_EQ(r, Record{});
}

} // namespace

#include "dirview/directory_reader.h"
#include "dirview/directory_entry.h"
#include "dirview/tests/directory_fixture.h"

#include <gtest/gtest.h>

namespace orva::dirview {
namespace {

using namespace testing;

std::vector<std::uint32_t> read_numbers(const Bytes& bytes, ReadReport* report = nullptr)
{
    std::vector<std::uint32_t> numbers;
    ReadReport r = read_directory_bytes(bytes, [&](pfh::PfhHeader&& h) {
        numbers.push_back(h.file_number);
        return true;
    });
    if (report)
        *report = r;
    return numbers;
}

TEST(DirectoryReader, HeadersBackToBackAreAllRead)
{
    Bytes file;
    for (std::uint32_t n = 1; n <= 5; ++n)
        append(file, bytes_of(header(n)));
    ReadReport r;
    EXPECT_EQ(read_numbers(file, &r), (std::vector<std::uint32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(r.headers, 5u);
    EXPECT_EQ(r.bad_sums, 0u);
    EXPECT_EQ(r.skipped_bytes, 0u);
    EXPECT_FALSE(r.torn_tail);
}

TEST(DirectoryReader, BadSumDropsOnlyThatHeader)
{
    Bytes file;
    append(file, bytes_of(header(1)));
    Bytes bad = bytes_of(header(2));
    bad[bad.size() - 10] ^= 0x01; // a byte of the keywords
    append(file, bad);
    append(file, bytes_of(header(3)));
    ReadReport r;
    EXPECT_EQ(read_numbers(file, &r), (std::vector<std::uint32_t>{1, 3}));
    EXPECT_EQ(r.bad_sums, 1u);
    EXPECT_EQ(r.skipped_bytes, 0u);
}

TEST(DirectoryReader, TornLastHeaderIsDroppedAndTheRestKept)
{
    Bytes file;
    append(file, bytes_of(header(1)));
    append(file, bytes_of(header(2)));
    Bytes torn = bytes_of(header(3));
    for (std::size_t cut : {std::size_t(1), std::size_t(2), std::size_t(5), torn.size() - 1}) {
        Bytes f = file;
        f.insert(f.end(), torn.begin(), torn.begin() + std::ptrdiff_t(cut));
        ReadReport r;
        EXPECT_EQ(read_numbers(f, &r), (std::vector<std::uint32_t>{1, 2})) << cut;
        EXPECT_EQ(r.torn_tail, cut >= 2) << cut; // one byte is not even a magic
    }
}

TEST(DirectoryReader, BytesThatAreNoHeaderAreSkippedToTheNextGoodOne)
{
    Bytes file;
    append(file, bytes_of(header(1)));
    append(file, {0x00, 0x13, 0xAA, 0x55, 0x01, 0x00, 0x04, 0xAA, 0x55, 0x99}); // junk with false magics
    append(file, bytes_of(header(2)));
    append(file, bytes_of(header(3)));
    ReadReport r;
    EXPECT_EQ(read_numbers(file, &r), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_EQ(r.skipped_bytes, 10u);
}

TEST(DirectoryReader, BadMagicAtTheStartStillFindsLaterHeaders)
{
    Bytes file = {'x', 'y', 'z'};
    append(file, bytes_of(header(7)));
    EXPECT_EQ(read_numbers(file), (std::vector<std::uint32_t>{7}));
}

TEST(DirectoryReader, FileNumberZeroIsNoEntry)
{
    Bytes file;
    pfh::PfhHeader h = header(1);
    Bytes zero = bytes_of(h);
    zero[5] = 0; // file number 1 -> 0, sum no longer matches either
    append(file, zero);
    append(file, bytes_of(header(2)));
    EXPECT_EQ(read_numbers(file), (std::vector<std::uint32_t>{2}));
}

TEST(DirectoryReader, SinkCanStopReading)
{
    Bytes file;
    for (std::uint32_t n = 1; n <= 5; ++n)
        append(file, bytes_of(header(n)));
    int seen = 0;
    read_directory_bytes(file, [&](pfh::PfhHeader&&) { return ++seen < 2; });
    EXPECT_EQ(seen, 2);
}

TEST(DirectoryFiles, NamesAndNumbers)
{
    EXPECT_EQ(directory_file_name(3), "Brek0003.PFH");
    EXPECT_EQ(directory_file_name(12345), "Brek12345.PFH");
    EXPECT_EQ(directory_file_number("Brek0012.PFH"), 12);
    EXPECT_EQ(directory_file_number("BREK0012.pfh"), 12);
    EXPECT_FALSE(directory_file_number("Brek.PFH"));
    EXPECT_FALSE(directory_file_number("Brek00x2.PFH"));
    EXPECT_FALSE(directory_file_number("Brek File Info.DAT"));

    TempDir dir;
    write_file(dir.path() / "Brek0002.PFH", {});
    write_file(dir.path() / "brek0010.pfh", {});
    write_file(dir.path() / "Brek0000.PFH", {});
    write_file(dir.path() / "Brek Dir Holes.DAT", {});
    const auto files = list_directory_files(dir.path());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].number, 0);
    EXPECT_EQ(files[1].number, 2);
    EXPECT_EQ(files[2].number, 10);
    EXPECT_EQ(files[2].path.filename(), "brek0010.pfh");
}

TEST(EntryFromHeader, NamesFromTheAirStayNames)
{
    pfh::PfhHeader h = header(1);
    h.user_file_name = "C:\\DOS\\notes.txt";
    EXPECT_EQ(entry_file_name(h), "NOTES.TXT");
    h.user_file_name = "../../.bashrc";
    EXPECT_EQ(entry_file_name(h), ".BASHRC");
    h.user_file_name = "a/b\\..";
    EXPECT_EQ(entry_file_name(h), "");
    h.user_file_name = "..";
    EXPECT_EQ(entry_file_name(h), "");
    h.user_file_name = "averyveryverylongname.txt";
    EXPECT_EQ(entry_file_name(h), "AVERYVERYVERY");
    h.user_file_name.reset();
    h.file_name = "ab      ";
    h.file_ext = "zip";
    EXPECT_EQ(entry_file_name(h), "AB.ZIP");
    h.file_ext = "   ";
    EXPECT_EQ(entry_file_name(h), "AB");
    h.file_name = "../x/../";
    h.file_ext = "   ";
    EXPECT_EQ(entry_file_name(h), "");
}

TEST(EntryFromHeader, FieldsAndUpperCase)
{
    pfh::PfhHeader h = header(0x1234);
    h.source = "g0abc";
    h.destination = "w1me";
    h.ax25_uploader = "G0ABC ";
    h.compression_type = 2;
    const DirectoryEntry e = entry_from_header(h);
    EXPECT_EQ(e.file_number, 0x1234u);
    EXPECT_EQ(e.source, "G0ABC");
    EXPECT_EQ(e.destination, "W1ME");
    EXPECT_EQ(e.title, "Hello"); // titles keep their case
    EXPECT_EQ(e.file_name, "FILE.TXT");
    EXPECT_EQ(e.uploader, "G0ABC ");
    EXPECT_EQ(e.compression, 2);
    EXPECT_EQ(compression_name(e.compression), "PKZIP");
    EXPECT_EQ(compression_name(9), "Unknown");
    EXPECT_EQ(file_type_description(17), "Confimation message");
    EXPECT_EQ(file_type_description(4), "");
}

} // namespace
} // namespace orva::dirview

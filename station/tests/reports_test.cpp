#include "station/viewers/reports.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/atomic_file.h"
#include "station/tests/setup_temp.h"

using namespace orva;
using namespace orva::station;
namespace fs = std::filesystem;

namespace {

// Two sessions as the engine writes them (CR LF lines), the second with an upload and an
// efficiency of 0, and a third that never closed.
const char* kLog =
    "Session started at 01:46:50 09 Sep 2001\r\n"
    "TOTAL bytes received     5000\r\n"
    "Average BPS             50\r\n"
    "Percent EFFICIENCY    80\r\n"
    "Session closed at 01:48:40 09 Sep 2001\r\n"
    "\r\n"
    "Session started at 03:20:00 09 Sep 2001\r\n"
    "TOTAL bytes received      120\r\n"
    "Average BPS              1\r\n"
    "Percent EFFICIENCY     0\r\n"
    "Uploads Made (2)\r\n"
    "    42           -    200 bytes sent in     2 seconds. UL rate is   100. File Complete\r\n"
    "    1A2B         -   3000 bytes sent in    10 seconds. UL rate is   300. Disc. without completion\r\n"
    "Session closed at 03:30:00 09 Sep 2001\r\n"
    "\r\n"
    "Session started at 05:00:00 09 Sep 2001\r\n"
    "TOTAL bytes received      700\r\n"
    "Average BPS              7\r\n"
    "Percent EFFICIENCY    40\r\n";

std::vector<std::uint8_t> header(const std::string& dest, const std::string& title)
{
    std::vector<std::uint8_t> h = {0xAA, 0x55};
    auto item = [&](unsigned id, const std::string& data) {
        h.push_back(static_cast<std::uint8_t>(id));
        h.push_back(static_cast<std::uint8_t>(id >> 8));
        h.push_back(static_cast<std::uint8_t>(data.size()));
        h.insert(h.end(), data.begin(), data.end());
    };
    item(1, std::string("\x42\x00\x00\x00", 4));
    item(20, dest);
    item(34, title);
    h.insert(h.end(), {0, 0, 0});
    h.insert(h.end(), {'b', 'o', 'd', 'y'});
    return h;
}

} // namespace

TEST(SessionLogReport, RowsByColumnAndAZeroEfficiencyListedButNotAveraged)
{
    SessionReport r = session_report(kLog);
    ASSERT_EQ(r.rows.size(), 2u) << "a session that never closed gave a row";
    EXPECT_EQ(r.rows[0], "09 Sep 2001  01:46:50  01:48:40      5000     50   80");
    EXPECT_EQ(r.rows[1], "09 Sep 2001  03:20:00  03:30:00       120      1    0");
    ASSERT_TRUE(r.average_efficiency);
    EXPECT_EQ(*r.average_efficiency, 80);
    EXPECT_TRUE(r.uploads_seen);
    EXPECT_FALSE(session_report("Session started at 01:46:50 09 Sep 2001\nnoise\n").average_efficiency);
}

TEST(SessionLogReport, UploadLinesAndTheirAverageSpeed)
{
    UploadReport u = upload_report(kLog);
    ASSERT_EQ(u.rows.size(), 2u);
    EXPECT_EQ(u.rows[0], " 42               200     2        100. File Complete");
    EXPECT_EQ(u.rows[0].find("100."), 35u) << "speed and comment start at the 33rd character";
    EXPECT_EQ(u.count, 2);
    EXPECT_EQ(u.average_speed, 200);
}

TEST(UploadFiles, HeaderSummaryCutsTheTitleAndNeedsTheMark)
{
    auto h = header("ALL", "A title of thirty-five characters!!");
    HeaderSummary s = header_summary(h);
    EXPECT_EQ(s.destination, "ALL");
    EXPECT_EQ(s.title, "A title of thirty-five charac");
    EXPECT_EQ(s.title.size(), 29u);
    h[0] = 0;
    EXPECT_EQ(header_summary(h).title, "");
    auto cut = header("G0ABC", "Hello");
    cut.resize(12); // the destination item runs past the end
    EXPECT_EQ(header_summary(cut).destination, "");
}

TEST(UploadFiles, ListingAndCopyToAnotherSatellite)
{
    test_support::SetupScratch t;
    fs::create_directories(t.dir / "AO-16");
    fs::create_directories(t.dir / "UO-22");
    ASSERT_TRUE(write_file_atomic(t.dir / "AO-16" / "FRED.PUL", header("G0ABC", "Hello")));
    ASSERT_TRUE(write_file_atomic(t.dir / "AO-16" / "LONGNAME9.OUT", header("ALL", "x")));
    ASSERT_TRUE(write_file_atomic(t.dir / "AO-16" / "NOTES.TXT", std::string("x")));
    auto files = upload_files(t.dir / "AO-16");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].row(), "FRED.PUL        G0ABC        Hello");

    ASSERT_TRUE(copy_upload_file(t.dir / "AO-16" / "FRED.PUL", t.dir / "UO-22"));
    EXPECT_EQ(*read_file(t.dir / "UO-22" / "FRED.OUT"), header("G0ABC", "Hello"));
    Status longer = copy_upload_file(t.dir / "AO-16" / "LONGNAME9.OUT", t.dir / "UO-22");
    ASSERT_FALSE(longer);
    EXPECT_NE(longer.error().message.find("longer than 8 characters"), std::string::npos);
    EXPECT_FALSE(fs::exists(t.dir / "UO-22" / "LONGNAME.OUT"));
    EXPECT_EQ(copy_upload_file(t.dir / "AO-16" / "GONE.PUL", t.dir / "UO-22").error().message, "Can't find source file.");
    EXPECT_EQ(copy_upload_file(t.dir / "AO-16" / "FRED.PUL", t.dir / "nowhere").error().message, "Can't open destination file.");
}

TEST(DispoErrors, LinesCutAt79AndNoLogIsSaid)
{
    test_support::SetupScratch t;
    EXPECT_EQ(dispo_error_lines(t.dir).error().message, kNoDispoErrors);
    std::string longline(100, 'x');
    ASSERT_TRUE(write_file_atomic(t.dir / "Dispo Error Log.TXT", "AO-16  1A2B  CRC error\r\n" + longline + "\r\n"));
    auto lines = dispo_error_lines(t.dir);
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->size(), 2u);
    EXPECT_EQ((*lines)[0], "AO-16  1A2B  CRC error");
    EXPECT_EQ((*lines)[1].size(), 79u);
}

// The extractors as processes: limits of time and size, a missing program, overlapping runs.
#include "mailproc/tests/dispo_fixture.h"

#include <thread>

#include <fstream>

#include "common/file_names.h"
#include "common/settings/keys.h"
#include "mailproc/file_moves.h"
#include "mailproc/tests/archive_writers.h"

namespace orva::mailproc::test {
namespace {

class Extractors : public DispoFixture {};

TEST_F(Extractors, AHungExtractorIsStoppedAtTheTimeLimit)
{
    time_limit = std::chrono::milliseconds(300);
    runner.replace_program = std::vector<std::string>{"sleep", "30"};
    auto zip = real_zip({{"A.TXT", "a"}});
    auto h = header(0x1000, "A", "ZIP", 0);
    auto dl = put_download(h.file_number, pfh::build_pfh_file(h, zip));
    const auto t0 = std::chrono::steady_clock::now();
    auto reports = run_dispo();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::LeftInPlace);
    EXPECT_EQ(error_log(), "AO-16            1000  The decompression program did not end within 1 seconds.\n");
    EXPECT_TRUE(fs::exists(dl));
    EXPECT_EQ(names_in(folder("Message Directory")), std::set<std::string>{});
}

TEST_F(Extractors, AnArchiveBombIsStoppedAtTheSizeLimit)
{
    size_limit = 1 << 20;
    auto zip = real_zip({{"ZEROS.TXT", std::string(3 << 20, '\0')}});
    auto h = header(0x1001, "BOMB", "ZIP", 0);
    auto dl = put_download(h.file_number, pfh::build_pfh_file(h, zip));
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::LeftInPlace);
    EXPECT_EQ(error_log(), "AO-16            1001  The decompressed files exceed 1 MB.\n");
    EXPECT_TRUE(fs::exists(dl));
    EXPECT_EQ(names_in(folder("Message Directory")), std::set<std::string>{});
}

TEST_F(Extractors, AMissingExtractorDidNotRun)
{
    runner.replace_program = std::vector<std::string>{"no-such-extractor-here"};
    auto h = header(0x1002, "A", "LZH", 0);
    auto dl = put_download(h.file_number, pfh::build_pfh_file(h, make_lzh({{"A.TXT", "a"}})));
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(error_log(), "AO-16            1002  The decompression program did not run.\n");
    EXPECT_TRUE(fs::exists(dl));
}

TEST_F(Extractors, ACorruptArchiveGivesNoFilesAndStays)
{
    auto h = header(0x1003, "BAD", "ZIP", 0);
    auto dl = put_download(h, "PK this is no zip at all");
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(error_log(), "AO-16            1003  No files found after decompression.\n");
    EXPECT_TRUE(fs::exists(dl));
    EXPECT_EQ(names_in(folder("Unknown Directory")), std::set<std::string>{});
}

TEST_F(Extractors, OverlappingRunsFileEachDownloadOnce)
{
    for (std::uint32_t n = 0x2000; n < 0x2020; ++n)
        put_download(header(n, "N" + std::to_string(n), "TXT", 0), "text " + std::to_string(n));
    std::vector<DownloadReport> a, b;
    std::thread t([&] { a = run_dispo(); });
    b = run_dispo();
    t.join();
    EXPECT_EQ(a.size() + b.size(), 32u);
    auto dlx = names_in(folder("DLX Directory"));
    EXPECT_EQ(dlx.size(), 32u);
    for (const auto& n : dlx)
        EXPECT_EQ(n.find(".1."), std::string::npos) << n; // never filed twice
    EXPECT_EQ(error_log(), "");
}

TEST_F(Extractors, ClaimsOfADeadRunAreGivenBack)
{
    auto dl = put_download(header(0x3000, "A", "TXT", 0), "a");
    // pid 999999999 is beyond any pid_max, so that run is certainly not alive.
    fs::rename(dl, sat_dir / "3000.DL.999999999.claim");
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::Filed);
    EXPECT_TRUE(fs::exists(folder("DLX Directory") / "3000.DLX"));
}

TEST_F(Extractors, MovesAcrossFileSystemsCopyFirst)
{
    // /dev/shm is another file system than the temporary folder on most machines; the move must
    // work either way and leave the source only once the copy is in place.
    std::string tmpl = "/dev/shm/dispo-move.XXXXXX";
    if (!fs::is_directory("/dev/shm") || ::mkdtemp(tmpl.data()) == nullptr)
        GTEST_SKIP() << "no /dev/shm";
    fs::path other = tmpl;
    std::ofstream(root / "a") << "content";
    std::ofstream(other / "b") << "taken";
    EXPECT_FALSE(move_no_replace(root / "a", other / "b"));
    EXPECT_TRUE(fs::exists(root / "a"));
    EXPECT_TRUE(move_no_replace(root / "a", other / "c"));
    EXPECT_FALSE(fs::exists(root / "a"));
    EXPECT_EQ(read(other / "c"), "content");
    EXPECT_TRUE(move_replacing(other / "c", root / "d"));
    EXPECT_EQ(read(root / "d"), "content");
    fs::remove_all(other);
}

} // namespace
} // namespace orva::mailproc::test

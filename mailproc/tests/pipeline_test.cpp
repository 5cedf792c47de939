// Whole downloads through the pipeline, with the real extractors.
#include "mailproc/tests/dispo_fixture.h"

#include <fstream>

#include "common/file_names.h"
#include "common/settings/keys.h"
#include "mailproc/tests/archive_writers.h"

namespace orva::mailproc::test {
namespace {

const std::string header_text = "From:     W1XYZ\r\nTo:       ALL\r\nSubject:  A title\r\nKeywords: none\r\n"
                                "----------------------------------------\r\n";

std::string as_string(const std::vector<std::uint8_t>& v) { return {v.begin(), v.end()}; }

class Pipeline : public DispoFixture {};

TEST_F(Pipeline, PlainMessageBecomesADlmWithItsHeaderAndTheDownloadGoesToDlx)
{
    auto h = header(0x1A2B, "NOTE", "TXT", 0);
    auto dl = put_download(h, "Hello there.\r\n");
    const std::string original = read(dl);
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::Filed);
    EXPECT_EQ(read(folder("Message Directory") / "1A2B.DLM"), header_text + "Hello there.\r\n");
    EXPECT_EQ(names_in(folder("Message Directory")), (std::set<std::string>{"1A2B.DLM", "1A2B.PFH"}));
    // The kept header copy is the header exactly as it came.
    const std::string pfh = read(folder("Message Directory") / "1A2B.PFH");
    EXPECT_EQ(pfh, original.substr(0, pfh.size()));
    EXPECT_EQ(static_cast<unsigned char>(pfh.back()), 0);
    EXPECT_EQ(read(folder("DLX Directory") / "1A2B.DLX"), original);
    EXPECT_FALSE(fs::exists(dl));
    EXPECT_EQ(names_in(sat_dir).count("1A2B.DL"), 0u);
    ASSERT_EQ(poster.posts.size(), 1u);
    EXPECT_EQ(poster.posts[0].window_class, "Tessel");
    EXPECT_EQ(poster.posts[0].title, "Tessel [AO-16]");
    EXPECT_EQ(poster.posts[0].number, 2028u);
    EXPECT_EQ(poster.posts[0].lparam, 0x1A2B);
    EXPECT_EQ(error_log(), "");
    // No temporary header copy is left in the satellite folder.
    for (const auto& n : names_in(sat_dir))
        EXPECT_EQ(n.find("TMP "), std::string::npos) << n;
}

TEST_F(Pipeline, AddHeaderOffWritesTheBodyAlone)
{
    set_option("Add Header", 0);
    put_download(header(0x10, "NOTE", "TXT", 0), "just the body");
    run_dispo();
    EXPECT_EQ(read(folder("Message Directory") / "10.DLM"), "just the body");
}

TEST_F(Pipeline, ZippedMessageIsUnpackedByUnzipAndTheArchiveKeptInUnknown)
{
    auto zip = real_zip({{"LETTER.TXT", "Zipped letter.\r\n"}});
    auto h = header(0x2000, "LETTER", "ZIP", 0);
    h.compression_type = 2;
    put_download(h.file_number, pfh::build_pfh_file(h, zip));
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::Filed) << ::testing::PrintToString(reports[0].errors);
    ASSERT_EQ(runner.waited.size(), 1u);
    EXPECT_EQ(runner.waited[0].command.program, "PKUNZIP.EXE");
    EXPECT_EQ(runner.waited[0].command.args, (std::vector<std::string>{"-e", "LETTER.ZIP"}));
    EXPECT_EQ(read(folder("Message Directory") / "2000.DLM"), header_text + "Zipped letter.\r\n");
    EXPECT_EQ(as_string(zip), read(folder("Unknown Directory") / "LETTER.ZIP"));
    EXPECT_FALSE(fs::exists(folder("Message Directory") / "2000")); // the working folder is gone
    EXPECT_TRUE(fs::exists(folder("DLX Directory") / "2000.DLX"));
    bool waited = false, complete = false;
    for (const auto& l : status_lines) {
        waited = waited || l == "[*.DL<>2000.DL>] ZIP Waiting for decompression.";
        complete = complete || l == "[*.DL<>2000.DL>] ZIP Decompression complete.";
    }
    EXPECT_TRUE(waited && complete) << ::testing::PrintToString(status_lines);
}

TEST_F(Pipeline, ZippedMessageOfSeveralFilesLeavesOnlyTheArchive)
{
    auto zip = real_zip({{"A.TXT", "a"}, {"B.TXT", "b"}});
    auto h = header(0x2001, "TWO", "ZIP", 0);
    put_download(h.file_number, pfh::build_pfh_file(h, zip));
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::Filed);
    EXPECT_EQ(names_in(folder("Unknown Directory")), (std::set<std::string>{"TWO.ZIP"}));
    EXPECT_EQ(names_in(folder("Message Directory")), (std::set<std::string>{"2001.PFH"}));
    EXPECT_TRUE(poster.posts.empty());
}

TEST_F(Pipeline, LhaBulletinIsUnpackedByLhaIntoTheBbsFolder)
{
    auto lzh = make_lzh({{"BULL.TXT", "bulletin text\r\n"}});
    auto h = header(0x3000, "BULL", "LZH", 2);
    put_download(h.file_number, pfh::build_pfh_file(h, lzh));
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::Filed) << ::testing::PrintToString(reports[0].errors);
    EXPECT_EQ(runner.waited.at(0).command.program, "LHA.EXE");
    // lha gives the names of DOS archives in lower case.
    EXPECT_EQ(read(folder("BBS Directory") / "bull.txt"), "bulletin text\r\n");
    EXPECT_EQ(names_in(folder("BBS Directory")), (std::set<std::string>{"bull.txt"}));
    EXPECT_EQ(poster.posts.size(), 1u);
}

TEST_F(Pipeline, ArcElementSetGoesToKepsAndStartsElemixForOrbsA)
{
    set_option("Process Keps", 1);
    set_option("Update Keps", 1);
    auto arc = make_arc({{"ORBS123A.ELE", "AO-16\n1 ...\n2 ...\n"}});
    auto h = header(0x4000, "ORBS123A", "ARC", 8);
    h.compression_type = 1;
    put_download(h.file_number, pfh::build_pfh_file(h, arc));
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::Filed) << ::testing::PrintToString(reports[0].errors);
    EXPECT_EQ(runner.waited.at(0).command.program, "PKUNPAK.EXE");
    EXPECT_EQ(read(folder("Keps Directory") / "ORBS123A.ELE"), "AO-16\n1 ...\n2 ...\n");
    ASSERT_EQ(runner.started.size(), 1u);
    EXPECT_EQ(runner.started[0].command.program, "ELEMIX.EXE");
    EXPECT_EQ(runner.started[0].command.args,
        (std::vector<std::string>{"F~" + (folder("Keps Directory") / "ORBS123A.ELE").string(), "K~NASA"}));
    EXPECT_EQ(runner.started[0].folder, folder("Keps Directory"));
}

TEST_F(Pipeline, UpdateKepsRulesAndTheSourceFilter)
{
    set_option("Process Keps", 1);
    set_option("Update Keps", 1);
    put_download(header(0x4001, "ORBS123B", "ELE", 9), "sets");
    run_dispo();
    EXPECT_TRUE(fs::exists(folder("Keps Directory") / "ORBS123B.ELE"));
    EXPECT_TRUE(runner.started.empty());

    set_option("Update Keps", 2);
    ASSERT_TRUE(store->write_string(settings::keys::dispo, "Update Callsign", "K1OTHER"));
    put_download(header(0x4002, "ANY", "ELE", 9), "sets");
    run_dispo();
    EXPECT_TRUE(runner.started.empty()); // another source

    ASSERT_TRUE(store->write_string(settings::keys::dispo, "Update Callsign", "W1xyz"));
    put_download(header(0x4003, "ANY2", "ELE", 9), "sets");
    run_dispo();
    ASSERT_EQ(runner.started.size(), 1u);
    EXPECT_EQ(runner.started[0].command.args.at(1), "K~AMSAT");
}

TEST_F(Pipeline, ElementSetsWithoutProcessKepsBecomeMessages)
{
    put_download(header(0x4004, "ORBS1A", "ELE", 8), "sets");
    run_dispo();
    EXPECT_EQ(read(folder("Keps Directory") / "4004.DLM"), header_text + "sets");
    EXPECT_TRUE(runner.started.empty());
}

TEST_F(Pipeline, PackedBinaryStaysPackedUnlessDecompressBinaries)
{
    auto zip = real_zip({{"PROG.EXE", "MZ..."}});
    auto h = header(0x5000, "PROG", "ZIP", 12);
    put_download(h.file_number, pfh::build_pfh_file(h, zip));
    run_dispo();
    EXPECT_TRUE(runner.waited.empty());
    EXPECT_EQ(read(folder("Binary Directory") / "PROG.ZIP"), as_string(zip));

    set_option("Decompress Binaries", 1);
    auto h2 = header(0x5001, "PROG2", "ZIP", 12);
    put_download(h2.file_number, pfh::build_pfh_file(h2, zip));
    run_dispo();
    EXPECT_EQ(runner.waited.size(), 1u);
    EXPECT_EQ(read(folder("Binary Directory") / "PROG.EXE"), "MZ...");
}

TEST_F(Pipeline, KepsExeIsABinary)
{
    set_option("Process Keps", 1);
    put_download(header(0x5002, "KEPS", "EXE", 8), "MZ");
    run_dispo();
    EXPECT_EQ(read(folder("Binary Directory") / "KEPS.EXE"), "MZ");
    EXPECT_TRUE(runner.started.empty());
}

TEST_F(Pipeline, OwnMailGoesToMyMessagesWithSoundAndViewer)
{
    set_option("View Mine", 1);
    auto h = header(0x6000, "MAIL", "TXT", 0);
    h.destination = "g4abc";
    put_download(h, "For you.");
    run_dispo();
    const fs::path mine = folder("My Message Directory");
    EXPECT_EQ(read(mine / "6000.DLM"),
        "From:     W1XYZ\r\nTo:       G4ABC\r\nSubject:  A title\r\nKeywords: none\r\n"
        "----------------------------------------\r\nFor you.");
    EXPECT_TRUE(fs::exists(mine / "6000.PFH"));
    EXPECT_EQ(sound.plays.load(), 1);
    ASSERT_EQ(runner.started.size(), 1u);
    EXPECT_EQ(runner.started[0].command.program, "LECTEL.EXE");
    EXPECT_EQ(runner.started[0].command.args, (std::vector<std::string>{(mine / "6000.DLM").string()}));
}

TEST_F(Pipeline, OwnBulletinWithProcessBbsGoesToBbs)
{
    set_option("Process BBS", 1);
    auto h = header(0x6001, "BULL", "TXT", 2);
    h.destination = "G4ABC";
    put_download(h, "b");
    run_dispo();
    EXPECT_TRUE(fs::exists(folder("BBS Directory") / "BULL.TXT"));
}

TEST_F(Pipeline, OtherTypesKeepAnExistingFileAndHtmlGetsItsExtension)
{
    std::ofstream(folder("Image Directory") / "PIC.CCD") << "older";
    put_download(header(0x7000, "PIC", "CCD", 14), "newer");
    put_download(header(0x7001, "PAGE", "TXT", 20), "<html>");
    run_dispo();
    EXPECT_EQ(read(folder("Image Directory") / "PIC.CCD"), "older");
    EXPECT_EQ(read(folder("Image Directory") / "7000" / "PIC.CCD"), "newer");
    EXPECT_EQ(read(folder("Unknown Directory") / "PAGE.TXT.HTML"), "<html>");
}

TEST_F(Pipeline, GatewayFileMovesWholeIntoBbs)
{
    auto dl = put_download(header(0x7002, "GATE", "TXT", 18), "gateway");
    const std::string original = read(dl);
    run_dispo();
    EXPECT_EQ(read(folder("BBS Directory") / "7002.DL"), original);
    EXPECT_FALSE(fs::exists(dl));
    EXPECT_TRUE(poster.posts.empty());
}

// With the folders left empty everything is filed in the satellite folder itself: a received
// file named like one of the engine's own never replaces it (nor poses as one), it gets a
// numbered name.
TEST_F(Pipeline, FilesNamedLikeTheEnginesOwnGetNumberedNamesInTheSatelliteFolder)
{
    for (const char* value : {"BBS Directory", "Unknown Directory", "Binary Directory"})
        ASSERT_TRUE(store->write_string("SOFTWARE\\Orva\\Satellites\\AO-16", value, ""));
    std::ofstream(sat_dir / "Brek0003.PFH") << "engine directory";
    std::ofstream(sat_dir / "1A2B.HOL") << "engine holes";
    put_download(header(0x7101, "BREK0003", "PFH", 2), "bulletin");   // a bulletin, replaced by design elsewhere
    put_download(header(0x7102, "1A2B", "HOL", 12), "binary");        // a binary
    put_download(header(0x7103, "QUEUED", "OUT", 3), "not for upload"); // would join the upload queue
    put_download(header(0x7104, "GATE", "TXT", 18), "gateway");        // moved whole as 7104.DL
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 4u);
    EXPECT_EQ(read(sat_dir / "Brek0003.PFH"), "engine directory");
    EXPECT_EQ(read(sat_dir / "1A2B.HOL"), "engine holes");
    EXPECT_EQ(read(sat_dir / "BREK0003.PFH.1"), "bulletin");
    EXPECT_EQ(read(sat_dir / "1A2B.HOL.1"), "binary");
    EXPECT_EQ(read(sat_dir / "QUEUED.OUT.1"), "not for upload");
    EXPECT_FALSE(fs::exists(sat_dir / "QUEUED.OUT"));
    EXPECT_TRUE(fs::exists(sat_dir / "7104.DL.1"));
    EXPECT_FALSE(fs::exists(sat_dir / "7104.DL"));
}

TEST_F(Pipeline, LeftOverWorkingFolderGivesTheNextName)
{
    fs::create_directories(folder("Image Directory") / "7003");
    std::ofstream(folder("Image Directory") / "PIC.CCD") << "older";
    put_download(header(0x7003, "PIC", "CCD", 14), "newer");
    run_dispo();
    EXPECT_EQ(read(folder("Image Directory") / "7003.1" / "PIC.CCD"), "newer");
}

TEST_F(Pipeline, HeaderChecksumErrorIsLoggedAndTheFileStillFiled)
{
    auto file = pfh::build_pfh_file(header(0x8000, "NOTE", "TXT", 0), bytes("text"));
    ASSERT_EQ(file[13], 'O'); // magic, item 1, item 2's head, then "NOTE    "
    file[13] = 'o';
    put_download(0x8000, file);
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::Filed);
    EXPECT_EQ(error_log(), "AO-16            8000  Header checksum error.\n");
    EXPECT_TRUE(fs::exists(folder("Message Directory") / "8000.DLM"));
    EXPECT_TRUE(fs::exists(folder("DLX Directory") / "8000.DLX"));
}

// A damaged body files nothing, but the download goes to the DLX folder unchanged: left in
// place, every later run would take it and log it again.
TEST_F(Pipeline, BodyChecksumErrorIsLoggedAndTheDownloadSetAsideInDlx)
{
    auto file = pfh::build_pfh_file(header(0x8001, "NOTE", "TXT", 0), bytes("some text"));
    file.back() ^= 0x01;
    auto dl = put_download(0x8001, file);
    const auto before = tree(root);
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::SetAside);
    EXPECT_EQ(error_log(), "AO-16            8001  Body Checksum error.\n"
                           "AO-16            8001  Error extracting file.\n");
    EXPECT_FALSE(fs::exists(dl));
    EXPECT_EQ(read(folder("DLX Directory") / "8001.DLX"), as_string(file));
    auto after = tree(root);
    after.erase("orva/" + std::string(error_log_name));
    after.erase(fs::relative(folder("DLX Directory") / "8001.DLX", root).string());
    auto expected = before;
    expected.erase(fs::relative(dl, root).string());
    EXPECT_EQ(after, expected);
    // A second run finds nothing to take and logs nothing more.
    EXPECT_TRUE(run_dispo().empty());
    EXPECT_EQ(error_log(), "AO-16            8001  Body Checksum error.\n"
                           "AO-16            8001  Error extracting file.\n");
    bool shown = false;
    for (const auto& l : status_lines)
        shown = shown || l == "[*.DL<>8001.DL>] Error extracting file";
    EXPECT_TRUE(shown);
}

TEST_F(Pipeline, TruncatedAndGarbageDownloadsAreLoggedAndLeftAlone)
{
    auto file = pfh::build_pfh_file(header(0x8002, "NOTE", "TXT", 0), bytes("a longer body of text"));
    file.resize(file.size() - 5);
    put_download(0x8002, file);
    put_download(0x8003, bytes("this is not a PACSAT header at all"));
    auto whole = pfh::build_pfh_file(header(0x8004, "NOTE", "TXT", 0), bytes("x"));
    whole.resize(20); // cut inside the header
    put_download(0x8004, whole);
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 3u);
    for (const auto& r : reports)
        EXPECT_EQ(r.end, r.file_number == 0x8002 ? DownloadEnd::SetAside : DownloadEnd::LeftInPlace) << r.download;
    EXPECT_EQ(error_log(), "AO-16            8002  Body Checksum error.\n"
                           "AO-16            8002  Error extracting file.\n"
                           "AO-16            8003  The PFH is invalid\n"
                           "AO-16            8004  The PFH is invalid\n");
    EXPECT_TRUE(fs::exists(folder("DLX Directory") / "8002.DLX"));
    EXPECT_EQ(names_in(sat_dir).count("8002.DL"), 0u);
    EXPECT_EQ(names_in(sat_dir).count("8003.DL"), 1u);
    EXPECT_EQ(names_in(sat_dir).count("8004.DL"), 1u);
    EXPECT_TRUE(poster.posts.empty());
}

TEST_F(Pipeline, TheSecondPassTakesDownloadsThatArrivedDuringTheFirstButRetriesNoFailure)
{
    put_download(0x8005, bytes("garbage"));
    put_download(header(0x8006, "A", "TXT", 0), "a");
    auto reports = run_dispo();
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(error_log(), "AO-16            8005  The PFH is invalid\n");
}

TEST_F(Pipeline, ExistingDlxIsKeptAndTheNewOneNumbered)
{
    std::ofstream(folder("DLX Directory") / "9000.DLX") << "an older download";
    auto dl = put_download(header(0x9000, "NOTE", "TXT", 0), "text");
    const std::string original = read(dl);
    run_dispo();
    EXPECT_EQ(read(folder("DLX Directory") / "9000.DLX"), "an older download");
    EXPECT_EQ(read(folder("DLX Directory") / "9000.1.DLX"), original);
    EXPECT_FALSE(fs::exists(dl));
}

TEST_F(Pipeline, DlxFolderThatCannotBeWrittenKeepsTheDownload)
{
    ASSERT_TRUE(store->write_string("SOFTWARE\\Orva\\Satellites\\AO-16", "DLX Directory", "/proc/no-such-dlx"));
    auto dl = put_download(header(0x9001, "NOTE", "TXT", 0), "text");
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].end, DownloadEnd::LeftInPlace);
    EXPECT_TRUE(fs::exists(dl));
    EXPECT_EQ(error_log(), "AO-16            9001  Couldn't move the download to the DLX Directory.\n");
}

TEST_F(Pipeline, OnlyTheNamedDownloadIsTaken)
{
    put_download(header(0xA000, "A", "TXT", 0), "a");
    auto other = put_download(header(0xA001, "B", "TXT", 0), "b");
    auto reports = run_dispo("a000.dl");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].file_number, 0xA000u);
    EXPECT_TRUE(fs::exists(other));
}

TEST_F(Pipeline, StartupFailuresGiveTheirFixedTexts)
{
    EXPECT_EQ(prepare_run(*store, {std::nullopt, std::string("*.DL")}).message, "No sat specified");
    EXPECT_EQ(prepare_run(*store, {std::string("ao-16"), std::string("*.DL")}).message,
        "Can't find the satellite in the Orva configuration"); // exact case only
    EXPECT_EQ(prepare_run(*store, {std::string("AO-16"), std::nullopt}).message, "No file specified");
    ASSERT_TRUE(store->write_string("SOFTWARE\\Orva\\Satellites\\AO-16", "Satellite Directory", "/no/such/dir"));
    Startup s = prepare_run(*store, {std::string("AO-16"), std::string("*.DL")});
    EXPECT_EQ(s.message, "Dispo can't change to the main satellite directory.");
    EXPECT_EQ(s.caption, "/no/such/dir");
    EXPECT_FALSE(s.config);
}

} // namespace
} // namespace orva::mailproc::test

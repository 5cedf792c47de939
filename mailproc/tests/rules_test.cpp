// The pure rules: header walk, names, routing, compression, element updates, texts.
#include <gtest/gtest.h>

#include "common/pfh/pfh_builder.h"
#include "mailproc/command_line.h"
#include "mailproc/download_header.h"
#include "mailproc/error_log.h"
#include "mailproc/external_programs.h"
#include "mailproc/file_rules.h"
#include "platform/launcher.h"

namespace orva::mailproc {
namespace {

std::vector<std::uint8_t> raw(std::initializer_list<int> v) { return {v.begin(), v.end()}; }

TEST(DownloadHeader, ReadsTheItemsAndTheChecksumOfARealHeader)
{
    pfh::PfhHeader h;
    h.file_number = 0x1A2B;
    h.file_name = "MSG     ";
    h.file_ext = "TXT";
    h.file_type = 0;
    h.source = "w1xyz";
    h.destination = "g4abc";
    h.title = "Hello";
    h.keywords = "k";
    h.compression_type = 2;
    h.user_file_name = "C:\\MAIL\\NOTE.TXT";
    const std::string body = "body text";
    auto file = pfh::build_pfh_file(h, std::vector<std::uint8_t>(body.begin(), body.end()));
    DownloadHeader d = read_download_header(file);
    EXPECT_TRUE(d.magic_ok);
    EXPECT_TRUE(d.terminated);
    EXPECT_TRUE(d.checksum_ok());
    EXPECT_EQ(d.file_number, 0x1A2Bu);
    EXPECT_EQ(d.source, "W1XYZ");
    EXPECT_EQ(d.destination, "G4ABC");
    EXPECT_EQ(d.compression, 2);
    EXPECT_EQ(d.body_start(), file.size() - body.size());
    EXPECT_EQ(d.length, file.size() - body.size());
    EXPECT_EQ(d.body_checksum, pfh::body_checksum(std::span(file).subspan(d.body_start())));
}

TEST(DownloadHeader, ChecksumCountsEveryByteButItem10sValue)
{
    // magic, item 1 (4 bytes), item 10 holding the sum, terminator
    auto b = raw({0xAA, 0x55, 1, 0, 4, 5, 0, 0, 0, 10, 0, 2, 0, 0, 0, 0, 0});
    const int sum = 0xAA + 0x55 + 1 + 4 + 5 + 10 + 2;
    b[12] = static_cast<std::uint8_t>(sum & 0xFF);
    b[13] = static_cast<std::uint8_t>(sum >> 8);
    EXPECT_TRUE(read_download_header(b).checksum_ok());
    b[12] ^= 1;
    DownloadHeader d = read_download_header(b);
    EXPECT_FALSE(d.checksum_ok());
    EXPECT_TRUE(d.terminated);
}

TEST(DownloadHeader, BadMagicShortAndUnterminatedHeaders)
{
    EXPECT_FALSE(read_download_header(raw({0xAA})).magic_ok);
    EXPECT_FALSE(read_download_header(raw({0x55, 0xAA, 0, 0, 0})).magic_ok);
    auto cut = read_download_header(raw({0xAA, 0x55, 1, 0, 4, 5, 0}));
    EXPECT_TRUE(cut.magic_ok);
    EXPECT_FALSE(cut.terminated);
    EXPECT_FALSE(cut.file_number); // the item ran past the end
    EXPECT_EQ(cut.length, 7u);
}

TEST(DownloadHeader, TextsEndAtNulAndItemsOfOddSizeAreRead)
{
    auto d = read_download_header(raw({0xAA, 0x55, 2, 0, 10, 'A', 'B', 0, 'C', 'D', 'E', 'F', 'G', 'H', 'I', 1, 0, 2,
        0x34, 0x12, 0, 0, 0}));
    EXPECT_EQ(d.name, "AB");
    EXPECT_EQ(d.file_number, 0x1234u);
}

TEST(BodyFileName, FromItem38OrNameAndExtension)
{
    DownloadHeader d;
    d.name = "KEPS    ";
    d.extension = "   ";
    EXPECT_EQ(body_file_name(d, 1), "KEPS");
    d.extension = "TXT";
    EXPECT_EQ(body_file_name(d, 1), "KEPS.TXT");
    d.name = "MY FILE ";
    EXPECT_EQ(body_file_name(d, 1), "MY.TXT");
    d.user_file_name = "C:\\DOS\\DIR\\ORBS123A.ELE";
    EXPECT_EQ(body_file_name(d, 1), "ORBS123A.ELE");
    d.user_file_name = "A:VERYLONGFILENAME.TEXT";
    EXPECT_EQ(body_file_name(d, 1), "VERYLONGFILEN");
}

TEST(SafeFileName, EveryHostileNameBecomesOneHarmlessComponent)
{
    EXPECT_EQ(safe_file_name("NOTE.TXT", 1), "NOTE.TXT");
    EXPECT_EQ(safe_file_name("../../etc/pas", 1), ".._.._etc_pas");
    EXPECT_EQ(safe_file_name("/tmp/x", 1), "_tmp_x");
    EXPECT_EQ(safe_file_name("-rf", 1), "_rf");
    EXPECT_EQ(safe_file_name("a\nb", 1), "a_b");
    EXPECT_EQ(safe_file_name(std::string("a\0b", 3), 1), "a_b");
    EXPECT_EQ(safe_file_name("..", 1), "__");
    EXPECT_EQ(safe_file_name(".", 1), "_");
    EXPECT_EQ(safe_file_name("", 0x1A2B), "1A2B");
    EXPECT_EQ(safe_file_name("caf\xc3\xa9", 1), "caf__");
}

TEST(Routing, EveryRowOfTheFolderTable)
{
    using F = FolderKind;
    EXPECT_EQ(choose_route(1, true, true).folder, F::Bbs);
    EXPECT_EQ(choose_route(2, true, true).folder, F::Bbs);
    EXPECT_EQ(choose_route(1, true, false).folder, F::MyMessage);
    EXPECT_TRUE(choose_route(0, true, false).mine);
    EXPECT_TRUE(choose_route(0, true, false).keep_header);
    EXPECT_EQ(choose_route(0, false, false).folder, F::Message);
    EXPECT_TRUE(choose_route(0, false, false).keep_header);
    EXPECT_EQ(choose_route(2, false, false).folder, F::Bbs);
    for (int t : {6, 7, 12, 13})
        EXPECT_EQ(choose_route(static_cast<std::uint8_t>(t), false, false).folder, F::Binary) << t;
    EXPECT_EQ(choose_route(8, false, false).folder, F::Keps);
    EXPECT_EQ(choose_route(9, false, false).folder, F::Keps);
    for (int t : {14, 15, 16, 211, 215, 221})
        EXPECT_EQ(choose_route(static_cast<std::uint8_t>(t), false, false).folder, F::Image) << t;
    EXPECT_TRUE(choose_route(18, false, false).whole_download_to_bbs);
    EXPECT_EQ(choose_route(234, false, false).folder, F::Satellite);
    for (int t : {200, 201, 208, 254})
        EXPECT_TRUE(choose_route(static_cast<std::uint8_t>(t), false, false).log_file) << t;
    for (int t : {3, 17, 19, 255})
        EXPECT_EQ(choose_route(static_cast<std::uint8_t>(t), false, false).folder, F::Unknown) << t;
    EXPECT_TRUE(addressed_to("G4ABC W1AW", "g4abc"));
    EXPECT_TRUE(addressed_to("ANYONE", "")); // an empty callsign is in every destination
    EXPECT_FALSE(addressed_to("W1AW", "G4ABC"));
}

TEST(Routing, ExeAndComNamesMakeBinaries)
{
    EXPECT_EQ(type_for_name(8, "KEPS.EXE"), 6);
    EXPECT_EQ(type_for_name(0, "run.com"), 7);
    EXPECT_EQ(type_for_name(0, "NOTE.TXT"), 0);
}

TEST(Compression, NameFirstThenHeader)
{
    EXPECT_EQ(compression_for("A.ARC", 2), Compression::Arc);
    EXPECT_EQ(compression_for("A.ZIP", 0), Compression::Zip);
    EXPECT_EQ(compression_for("A.LZH", 1), Compression::Lha);
    EXPECT_EQ(compression_for("A.TXT", 1), Compression::Arc);
    EXPECT_EQ(compression_for("A.TXT", 2), Compression::Zip);
    EXPECT_EQ(compression_for("A.TXT", 3), Compression::Lha);
    EXPECT_EQ(compression_for("A.TXT", 4), Compression::None);
    EXPECT_EQ(compression_for("A.TXT", std::nullopt), Compression::None);
}

TEST(KepsUpdate, UpdateKepsAndTheSourceFilter)
{
    EXPECT_TRUE(keps_name_allows_update(1, "ORBS123A.ELE"));
    EXPECT_FALSE(keps_name_allows_update(1, "ORBS123B.ELE"));
    EXPECT_TRUE(keps_name_allows_update(2, "ANY.TXT"));
    EXPECT_TRUE(keps_name_allows_update(0, "ANY.TXT"));
    EXPECT_FALSE(keps_name_allows_update(3, "ORBS123A.ELE"));
    EXPECT_TRUE(keps_source_allows_update("", "", "W1XYZ", "AO-16"));
    EXPECT_TRUE(keps_source_allows_update("w1xyz", "ao-16", "W1XYZ", "AO-16"));
    EXPECT_FALSE(keps_source_allows_update("K1ABC", "", "W1XYZ", "AO-16"));
    EXPECT_FALSE(keps_source_allows_update("", "UO-22", "W1XYZ", "AO-16"));
}

TEST(Texts, ErrorLogStatusLineAndMessageHeader)
{
    EXPECT_EQ(error_log_line("AO-16", 0x1A2B, "Body Checksum error."), "AO-16            1A2B  Body Checksum error.\n");
    EXPECT_EQ(error_log_line("A-LONGER-NAME1", 0xFFFFFFFF, "x"), "A-LONGER-NAME1 FFFFFFFF  x\n");
    EXPECT_EQ(status_line("*.DL", "1A2B.DL", Compression::Zip, "Waiting for decompression."),
        "[*.DL<>1A2B.DL>] ZIP Waiting for decompression.");
    EXPECT_EQ(status_line("*.DL", "1A2B.DL", Compression::None, ""), "[*.DL<>1A2B.DL>] ");
    EXPECT_EQ(message_header_text("W1XYZ", "ALL", "Hi", "k"),
        "From:     W1XYZ\r\nTo:       ALL\r\nSubject:  Hi\r\nKeywords: k\r\n"
        "----------------------------------------\r\n");
}

TEST(CommandLine, TildeValuesEndAtBlanksAndKeep13Characters)
{
    auto c = parse_dispo_command("F~1A2B.DL S~AO-16");
    EXPECT_EQ(c.satellite, "AO-16");
    EXPECT_EQ(c.pattern, "1A2B.DL");
    c = parse_dispo_command("S~ABCDEFGHIJKLMNOP");
    EXPECT_EQ(c.satellite, "ABCDEFGHIJKLM");
    EXPECT_FALSE(c.pattern);
    const char* argv[] = {"dispo", "S~UO-22", "F~*.DL"};
    c = parse_dispo_command(3, const_cast<char**>(argv));
    EXPECT_EQ(c.satellite, "UO-22");
    EXPECT_EQ(c.pattern, "*.DL");
}

TEST(Commands, DosCommandsAndTheToolsTheLauncherRuns)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(decompressor_command(Compression::Zip, "A.ZIP").args, (V{"-e", "A.ZIP"}));
    EXPECT_EQ(decompressor_command(Compression::Lha, "A.LZH").args, (V{"e", "A.LZH"}));
    EXPECT_EQ(decompressor_command(Compression::Arc, "A.ARC").args, (V{"-U", "A.ARC"}));
    EXPECT_EQ(elemix_command("/k", "ORBS1A.ELE", 9).args, (V{"F~/k/ORBS1A.ELE", "K~AMSAT"}));
    EXPECT_EQ(elemix_command("/k", "X", 8).args[1], "K~NASA");
    EXPECT_EQ(lectel_command("/m/1A.DLM").program, "LECTEL.EXE");
    auto env = platform::LaunchEnvironment::current();
    auto zip = platform::resolve_command({"PKUNZIP.EXE", "-e", "A.ZIP"}, env);
    ASSERT_TRUE(zip) << zip.error().message;
    EXPECT_EQ(zip->argv, (V{"unzip", "-j", "-o", "A.ZIP"}));
    auto lha = platform::resolve_command({"LHA.EXE", "e", "A.LZH"}, env);
    ASSERT_TRUE(lha);
    EXPECT_EQ(lha->argv, (V{"lha", "e", "A.LZH"}));
    auto arc = platform::resolve_command({"PKUNPAK.EXE", "-U", "A.ARC"}, env);
    ASSERT_TRUE(arc);
    EXPECT_EQ(arc->argv, (V{"nomarch", "-U", "A.ARC"}));
}

} // namespace
} // namespace orva::mailproc

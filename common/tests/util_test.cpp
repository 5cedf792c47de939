#include "common/atomic_file.h"
#include "common/child_environment.h"
#include "common/file_names.h"
#include "common/station_time.h"
#include "common/tilde_args.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace orva;

namespace {

struct TempDir {
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "orva-util-XXXXXX").string();
        path = mkdtemp(tmpl.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
    fs::path path;
};

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(AtomicFile, ReplacesWholeFilesAndKeepsPermissions)
{
    TempDir dir;
    fs::path f = dir.path / "Orva.KEP";
    ASSERT_TRUE(write_file_atomic(f, "first"));
    ::chmod(f.c_str(), 0600);
    ASSERT_TRUE(write_file_atomic(f, "second version"));
    EXPECT_EQ(slurp(f), "second version");
    struct stat st {};
    ::stat(f.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1) << "temporary left behind";

    auto bytes = read_file(f);
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(bytes->size(), 14u);
    EXPECT_FALSE(read_file(dir.path / "missing").ok());
}

TEST(AtomicFile, AFailedWriteLeavesTheOldFile)
{
    TempDir dir;
    fs::path f = dir.path / "ORVA.OBS";
    ASSERT_TRUE(write_file_atomic(f, "old"));
    // A full disk, played by a file-size limit in a child (root ignores folder permissions).
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {16, 16};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        Status s = write_file_atomic(f, std::string(4096, 'n'));
        _exit(!s && s.error().message.find("ORVA.OBS") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed write reported success";
    EXPECT_EQ(slurp(f), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1) << "temporary left behind";
}

// A writer killed at any moment leaves either the old or the new file, never a mix.
TEST(AtomicFile, KillDuringWriteLeavesOldOrNew)
{
    TempDir dir;
    fs::path f = dir.path / "Orva Schedule.DAT";
    const std::string old_text(1 << 18, 'o');
    const std::string new_text(1 << 18, 'n');
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(write_file_atomic(f, old_text));
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (;;)
                (void)write_file_atomic(f, new_text);
        }
        // Let the child get some distance into a write, by work rather than by the clock.
        for (int spin = 0; spin < round * 3; ++spin)
            (void)read_file(f);
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        std::string now = slurp(f);
        ASSERT_TRUE(now == old_text || now == new_text) << "torn file after kill, round " << round;
    }
}

TEST(FileNames, NumbersAreUpperCaseHexAndFoundInAnyCase)
{
    EXPECT_EQ(file_number_name(0x1a2b, ".DL"), "1A2B.DL");
    EXPECT_EQ(file_number_name(0xFFFFFFFFu, ".HOL"), "FFFFFFFF.HOL");
    EXPECT_EQ(file_number_name(0), "0");
    EXPECT_EQ(parse_file_number_name("1A2B.DL"), 0x1A2Bu);
    EXPECT_EQ(parse_file_number_name("ffffffff.act"), 0xFFFFFFFFu);
    EXPECT_FALSE(parse_file_number_name("100000000.DL"));
    EXPECT_FALSE(parse_file_number_name("XYZ.DL"));
    EXPECT_FALSE(parse_file_number_name("12G.DL"));

    TempDir dir;
    std::ofstream(dir.path / "1A2B.ACT") << "x";
    auto found = find_file_nocase(dir.path, "1a2b.act");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->filename(), "1A2B.ACT");
    EXPECT_FALSE(find_file_nocase(dir.path, "1a2b.hol"));
    EXPECT_EQ(resolve_file_nocase(dir.path, "1a2b.hol").filename(), "1a2b.hol");
    EXPECT_FALSE(find_file_nocase(dir.path / "absent", "x"));
}

// The one rule both the mail processor (filing) and the directory viewer (finding) use for a
// header's file on disk.
TEST(FileNames, HeaderDiskNameIsOneHarmlessComponent)
{
    using S = std::optional<std::string>;
    auto disk = [](S user, S name, S ext) { return header_disk_name(user, name, ext, 0x1A2B); };
    EXPECT_EQ(disk(std::nullopt, "KEPS    ", "   "), "KEPS");
    EXPECT_EQ(disk(std::nullopt, "MY FILE ", "TXT"), "MY.TXT");
    EXPECT_EQ(disk("photo.jpg", "PHOTO   ", "JPG"), "photo.jpg"); // item 38 wins, its case kept
    EXPECT_EQ(disk("C:\\DOS\\DIR\\ORBS123A.ELE", std::nullopt, std::nullopt), "ORBS123A.ELE");
    EXPECT_EQ(disk("A:VERYLONGFILENAME.TEXT", std::nullopt, std::nullopt), "VERYLONGFILEN");
    EXPECT_EQ(disk("../../etc/passwd", std::nullopt, std::nullopt), "passwd");
    EXPECT_EQ(disk("a/b\\..", std::nullopt, std::nullopt), "__");
    EXPECT_EQ(disk("-rf", std::nullopt, std::nullopt), "_rf");
    EXPECT_EQ(disk(std::string("bad\x01\xff name"), std::nullopt, std::nullopt), "bad__ name");
    EXPECT_EQ(disk(std::string("cut\0rest", 8), std::nullopt, std::nullopt), "cut");
    EXPECT_EQ(disk(std::nullopt, std::string("AB/C\0\0\0\0", 8), "T:X"), "X"); // the last component only
    EXPECT_EQ(disk(std::nullopt, std::nullopt, std::nullopt), "1A2B");
    EXPECT_EQ(disk("dir/", std::nullopt, std::nullopt), "1A2B");
}

TEST(StationTime, DiskAndTextForms)
{
    StationTime t = from_disk32(-1);
    EXPECT_EQ(format_iso8601(t), "1969-12-31T23:59:59Z");
    EXPECT_EQ(to_disk32(from_disk32(0x7FFFFFFF)), 0x7FFFFFFF);
    // PACSAT times past 2038 stay positive.
    EXPECT_EQ(format_iso8601(from_pacsat32(0x80000000u)), "2038-01-19T03:14:08Z");
    auto parsed = parse_iso8601("2026-12-08T21:10:05Z");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(format_iso8601(*parsed), "2026-12-08T21:10:05Z");
    EXPECT_EQ(parse_iso8601("2026-12-08 21:10"), *parsed - std::chrono::seconds(5));
    EXPECT_FALSE(parse_iso8601("2026-02-30T00:00Z"));
    EXPECT_FALSE(parse_iso8601("2026-12-08T25:00Z"));
    EXPECT_FALSE(parse_iso8601("yesterday"));
    EXPECT_FALSE(parse_iso8601("2026-12-08T10:00+02:00"));
}

TEST(TildeArgs, PairsFromTextAndFromArgumentVectors)
{
    auto a = TildeArgs::parse("S~AO-16 F~*.DL\nk~NASA");
    EXPECT_EQ(a.get('S'), "AO-16");
    EXPECT_EQ(a.get('f'), "*.DL");
    EXPECT_EQ(a.get('K'), "NASA");
    EXPECT_FALSE(a.get('T'));

    // A path with blanks stays one value, whether it arrives whole or split by a shell.
    std::vector<std::string> whole{"F~/home/op/my keps/nasa.txt", "K~NASA\n"};
    auto b = TildeArgs::parse(std::span<const std::string>(whole));
    EXPECT_EQ(b.get('F'), "/home/op/my keps/nasa.txt");
    EXPECT_EQ(b.get('K'), "NASA");
    std::vector<std::string> split{"F~/home/op/my", "keps/nasa.txt", "K~AMSAT"};
    auto c = TildeArgs::parse(std::span<const std::string>(split));
    EXPECT_EQ(c.get('F'), "/home/op/my keps/nasa.txt");

    std::vector<std::string> stray{"hello", "S~", "1~x"};
    auto d = TildeArgs::parse(std::span<const std::string>(stray));
    EXPECT_EQ(d.get('S'), "1~x") << "a word that is no pair continues the value before it";
    EXPECT_EQ(d.stray().size(), 1u);
    EXPECT_EQ(d.all().size(), 1u) << "a digit is not a pair letter";
}

TEST(ChildEnvironment, OverridesTakeThePlaceOfTheirNameOnlyAndTheRestIsKept)
{
    ::setenv("ORVA_ENV_TEST_A", "old", 1);
    ::setenv("ORVA_ENV_TEST_AB", "kept", 1);
    auto env = environment_with({"ORVA_ENV_TEST_A=new", "ORVA_ENV_TEST_C=added"});
    auto count = [&](const std::string& v) { return std::count(env.begin(), env.end(), v); };
    EXPECT_EQ(count("ORVA_ENV_TEST_A=new"), 1);
    EXPECT_EQ(count("ORVA_ENV_TEST_A=old"), 0);
    EXPECT_EQ(count("ORVA_ENV_TEST_AB=kept"), 1);
    EXPECT_EQ(count("ORVA_ENV_TEST_C=added"), 1);
    EXPECT_EQ(count(std::string("PATH=") + ::getenv("PATH")), 1);

    std::vector<std::string> argv{"prog", "arg"};
    auto p = exec_pointers(argv);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_STREQ(p[0], "prog");
    EXPECT_STREQ(p[1], "arg");
    EXPECT_EQ(p[2], nullptr);
    ::unsetenv("ORVA_ENV_TEST_A");
    ::unsetenv("ORVA_ENV_TEST_AB");
}

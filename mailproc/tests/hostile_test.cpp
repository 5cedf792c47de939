// Names and archives from the air that try to reach outside the satellite's folders.
#include "mailproc/tests/dispo_fixture.h"

#include <cctype>
#include <fstream>

#include "mailproc/tests/archive_writers.h"

namespace orva::mailproc::test {
namespace {

class Hostile : public DispoFixture {
protected:
    void SetUp() override
    {
        DispoFixture::SetUp();
        // A folder beside the station that must stay as it is.
        fs::create_directories(root / "outside" / "etc");
        std::ofstream(root / "outside" / "etc" / "passwd") << "root:x:0:0\n";
    }
    // "<Kind>/<hex file number>/...": inside one download's working folder.
    static bool in_working_folder(const std::string& rel)
    {
        const auto first = rel.find('/');
        if (first == std::string::npos)
            return false;
        const auto second = rel.find('/', first + 1);
        if (second == std::string::npos)
            return false;
        const std::string folder = rel.substr(first + 1, second - first - 1);
        return !folder.empty() && folder.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
    }
    // Files (and links) below root that the run made: each must be one of the satellite's own,
    // never a member that tried to leave its working folder (their names carry "evil").
    std::vector<std::string> stray_files(const std::map<std::string, std::string>& before)
    {
        std::vector<std::string> stray;
        for (const auto& [path, what] : tree(root)) {
            if (path == "orva/" + std::string(error_log_name) || before.count(path))
                continue;
            std::string lower = path;
            for (char& c : lower)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            const bool in_sat = path.rfind("orva/AO-16/", 0) == 0;
            const std::string rel = in_sat ? path.substr(11) : path;
            const bool evil = lower.find("evil") != std::string::npos;
            // A member stripped of its path may stay in its own working folder, or be filed by
            // its base name (single-member binaries go to "Bin"); anywhere else it escaped.
            const bool allowed = in_sat && (!evil || in_working_folder(rel) || rel.rfind("Bin/", 0) == 0);
            if (!allowed)
                stray.push_back(path + " (" + what + ")");
        }
        return stray;
    }
    // Everything outside the satellite's folders, as a tree.
    std::map<std::string, std::string> outside_tree()
    {
        auto t = tree(root);
        std::erase_if(t, [](const auto& kv) { return kv.first.rfind("orva/AO-16", 0) == 0; });
        t.erase("orva/" + std::string(error_log_name));
        return t;
    }
};

TEST_F(Hostile, HostileItem38NamesStayInsideTheirFolder)
{
    const char* const names[] = {"../../etc/passwd", "/tmp/x", "-rf", "a\nb.txt", "..", "C:\\..\\..\\y"};
    std::uint32_t number = 0x100;
    for (const char* n : names) {
        auto h = header(number++, "X", "BIN", 17); // an unknown type: moved under its own name
        h.user_file_name = n;
        put_download(h, std::string("payload of ") + n);
    }
    const bool tmp_x_before = fs::exists("/tmp/x");
    const auto before = outside_tree();
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 6u);
    for (const auto& r : reports)
        EXPECT_EQ(r.end, DownloadEnd::Filed) << r.download << ::testing::PrintToString(r.errors);
    EXPECT_EQ(outside_tree(), before);
    EXPECT_EQ(fs::exists("/tmp/x"), tmp_x_before);
    EXPECT_EQ(names_in(folder("Unknown Directory")),
        (std::set<std::string>{"passwd", "x", "_rf", "a_b.txt", "__", "y"}));
    // Every name the item walk gave is a single component in the folder.
    for (const auto& n : names_in(folder("Unknown Directory")))
        EXPECT_EQ(fs::path(n).filename().string(), n);
}

TEST_F(Hostile, ArchiveWithPathsAndALinkLeavesNothingOutside)
{
    auto zip = make_zip({{"../evil", "EVIL"}, {"link", "/tmp", true}, {"../../outside/etc/passwd", "pwned"},
        {"NOTE.TXT", "the letter"}});
    auto h = header(0x200, "EVIL", "ZIP", 0);
    put_download(h.file_number, pfh::build_pfh_file(h, zip));
    auto lzh = make_lzh({{"..\\..\\evil2", "EVIL2"}, {"../evil3", "EVIL3"}});
    auto h2 = header(0x201, "EVIL", "LZH", 2);
    put_download(h2.file_number, pfh::build_pfh_file(h2, lzh));
    auto arc = make_arc({{"../EVIL4", "EVIL4"}});
    auto h3 = header(0x202, "EVIL", "ARC", 14);
    put_download(h3.file_number, pfh::build_pfh_file(h3, arc));
    const auto before = outside_tree();
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(outside_tree(), before);
    EXPECT_EQ(read(root / "outside" / "etc" / "passwd"), "root:x:0:0\n");
    // No link from an archive survives anywhere in the satellite's folders.
    for (const auto& [path, what] : tree(sat_dir))
        EXPECT_NE(what, "link") << path;
    for (const auto& [path, what] : tree(sat_dir))
        EXPECT_TRUE(path.find("evil") == std::string::npos || in_working_folder(path))
            << path << " escaped its working folder";
}

// Members with ".." and absolute paths, for each real extractor (unzip, lha, nomarch). The
// extractors run in a working folder two levels below the satellite folder, so the ".." paths
// here reach the watched "outside" folder beside the station; and every file that exists after
// the run is checked, so one that escaped its working folder into the satellite's tree is found
// too.
TEST_F(Hostile, MembersWithDotDotOrAbsolutePathsLeaveNothingAnywhere)
{
    const std::string up4 = "../../../../outside/";
    const std::string abs = (root / "outside").string() + "/";
    struct Case {
        std::uint32_t number;
        const char* ext;
        std::uint8_t type;
        std::vector<Member> members;
    };
    std::vector<Case> cases = {
        {0x210, "ZIP", 0, {{up4 + "zip-evil-up", "X"}, {abs + "zip-evil-abs", "X"}, {"../zip-evil-near", "X"},
                           {"../../zip-evil-sat", "X"}, {"NOTE.TXT", "letter"}}},
        {0x211, "LZH", 0, {{up4 + "lha-evil-up", "X"}, {abs + "lha-evil-abs", "X"}, {"../lha-evil-near", "X"},
                           {"..\\..\\lha-evil-sat", "X"}, {"NOTE.TXT", "letter"}}},
        {0x212, "ARC", 0, {{"../EVILARC1", "X"}, {"/EVILARC2", "X"}, {"NOTE.TXT", "letter"}}},
        {0x213, "ZIP", 12, {{"../../zip-evil-bin", "X"}}}, // a single member, filed by its name
        {0x214, "LZH", 12, {{"../../lha-evil-bin", "X"}}},
        {0x215, "ARC", 12, {{"../../EVILARC3", "X"}}},
    };
    for (const Case& c : cases) {
        const std::string ext = c.ext;
        auto bytes = ext == "ZIP" ? make_zip(c.members) : ext == "LZH" ? make_lzh(c.members) : make_arc(c.members);
        auto h = header(c.number, "PACK", c.ext, c.type);
        put_download(h.file_number, pfh::build_pfh_file(h, bytes));
    }
    set_option("Decompress Binaries", 1);
    const auto before_outside = outside_tree();
    const auto before = tree(root);
    auto reports = run_dispo();
    ASSERT_EQ(reports.size(), cases.size());
    EXPECT_EQ(outside_tree(), before_outside);
    EXPECT_EQ(stray_files(before), std::vector<std::string>{});
    EXPECT_EQ(runner.waited.size(), cases.size()) << "each archive went through its extractor";
}

TEST_F(Hostile, LinkNamedLikeTheMessageIsReplacedNotWrittenThrough)
{
    fs::create_symlink(root / "outside" / "etc" / "passwd", folder("Message Directory") / "300.DLM");
    put_download(header(0x300, "NOTE", "TXT", 0), "letter");
    run_dispo();
    EXPECT_EQ(read(root / "outside" / "etc" / "passwd"), "root:x:0:0\n");
    EXPECT_FALSE(fs::is_symlink(folder("Message Directory") / "300.DLM"));
    EXPECT_NE(read(folder("Message Directory") / "300.DLM").find("letter"), std::string::npos);
}

TEST_F(Hostile, DownloadThatIsALinkIsNotTaken)
{
    fs::create_symlink(root / "outside" / "etc" / "passwd", sat_dir / "400.DL");
    auto reports = run_dispo();
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(fs::is_symlink(sat_dir / "400.DL"));
    EXPECT_EQ(read(root / "outside" / "etc" / "passwd"), "root:x:0:0\n");
}

} // namespace
} // namespace orva::mailproc::test

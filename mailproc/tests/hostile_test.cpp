// Names and archives from the air that try to reach outside the satellite's folders.
#include "mailproc/tests/dispo_fixture.h"

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
    const char* const names[] = {"../../etc/passwd", "/tmp/x", "-rf", "a\nb.txt", "..", "C:\\..\\..\\x"};
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
        (std::set<std::string>{".._.._etc_pas", "_tmp_x", "_rf", "a_b.txt", "__", "x"}));
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

// lectel without a display: the message through $PAGER, or straight to the terminal.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/testing/child_process.h"

namespace {

namespace fs = std::filesystem;

orva::test_support::ChildResult lectel(const std::vector<std::string>& args, std::vector<std::string> env)
{
    env.push_back("QT_QPA_PLATFORM=offscreen");
    return orva::test_support::run_child(std::string(ORVA_BIN_DIR) + "/lectel", args, std::move(env));
}

class Lectel : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "lectel-test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        std::ofstream(dir / "1A2B.DLM", std::ios::binary) << "From:     W1XYZ\r\n\xe9t\xe9\r\n";
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(Lectel, ShowsTheMessageThroughThePager)
{
    orva::test_support::ChildResult r = lectel({(dir / "1A2B.DLM").string()}, {"PAGER=cat -A"});
    EXPECT_EQ(WEXITSTATUS(r.status), 0);
    EXPECT_EQ(r.out, "From:     W1XYZ^M$\nM-itM-i^M$\n");
}

TEST_F(Lectel, WithoutAPagerTheBytesGoToTheTerminal)
{
    orva::test_support::ChildResult r = lectel({(dir / "1A2B.DLM").string()}, {});
    EXPECT_EQ(WEXITSTATUS(r.status), 0);
    EXPECT_EQ(r.out, "From:     W1XYZ\r\n\xe9t\xe9\r\n");
}

TEST_F(Lectel, AMissingFileIsAnError)
{
    orva::test_support::ChildResult r = lectel({(dir / "none.DLM").string()}, {});
    EXPECT_EQ(WEXITSTATUS(r.status), 1);
    EXPECT_EQ(lectel({}, {}).status >> 8, 2);
}

} // namespace

// lectel without a display: the message through $PAGER, or straight to the terminal.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Ran {
    int status = -1;
    std::string out;
};

Ran lectel(const std::vector<std::string>& args, const std::vector<std::string>& extra_env)
{
    std::vector<std::string> env_strings{"QT_QPA_PLATFORM=offscreen",
        "PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin")};
    env_strings.insert(env_strings.end(), extra_env.begin(), extra_env.end());
    std::vector<char*> env;
    for (auto& e : env_strings)
        env.push_back(e.data());
    env.push_back(nullptr);
    std::string exe = std::string(ORVA_BIN_DIR) + "/lectel";
    std::vector<std::string> argv_s{exe};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    Ran r;
    if (::pipe(out) != 0)
        return r;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0)
        r.out.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    if (rc == 0)
        ::waitpid(pid, &r.status, 0);
    return r;
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
    Ran r = lectel({(dir / "1A2B.DLM").string()}, {"PAGER=cat -A"});
    EXPECT_EQ(WEXITSTATUS(r.status), 0);
    EXPECT_EQ(r.out, "From:     W1XYZ^M$\nM-itM-i^M$\n");
}

TEST_F(Lectel, WithoutAPagerTheBytesGoToTheTerminal)
{
    Ran r = lectel({(dir / "1A2B.DLM").string()}, {});
    EXPECT_EQ(WEXITSTATUS(r.status), 0);
    EXPECT_EQ(r.out, "From:     W1XYZ\r\n\xe9t\xe9\r\n");
}

TEST_F(Lectel, AMissingFileIsAnError)
{
    Ran r = lectel({(dir / "none.DLM").string()}, {});
    EXPECT_EQ(WEXITSTATUS(r.status), 1);
    EXPECT_EQ(lectel({}, {}).status >> 8, 2);
}

} // namespace

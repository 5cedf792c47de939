// The dispo program as the engine starts it, without a display: the status lines on stdout,
// the start-up failures on stderr.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/file_names.h"
#include "mailproc/tests/dispo_fixture.h"
#include "mailproc/tests/qt_app.h"
#include "platform/dbus/session_bus.h"
#include "platform/launcher.h"

extern char** environ;

namespace orva::mailproc::test {
namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

// The program with its output read through pipes; ORVA_STORE names the fixture's store.
Ran run_program(const std::vector<std::string>& args, const fs::path& store_file)
{
    std::vector<std::string> env_strings{"ORVA_STORE=" + store_file.string(), "QT_QPA_PLATFORM=offscreen",
        "PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin")};
    std::vector<char*> env;
    for (auto& e : env_strings)
        env.push_back(e.data());
    env.push_back(nullptr);
    std::string exe = std::string(ORVA_BIN_DIR) + "/dispo";
    std::vector<std::string> argv_s{exe};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2], err[2];
    Ran r;
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return r;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    posix_spawn_file_actions_addclose(&fa, err[0]);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    ::close(err[1]);
    auto drain = [](int fd, std::string& into) {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0)
            into.append(buf, static_cast<std::size_t>(n));
        ::close(fd);
    };
    if (rc == 0) {
        std::string o, e;
        drain(out[0], r.out); // the program's output is small: reading one pipe, then the other, cannot block
        drain(err[0], r.err);
        ::waitpid(pid, &r.status, 0);
    }
    return r;
}

class Program : public DispoFixture {};

TEST_F(Program, HeadlessRunPrintsTheStatusLinesAndFiles)
{
    put_download(header(0x1A2B, "NOTE", "TXT", 0), "Hello");
    put_download(0x1A2C, bytes("garbage"));
    Ran r = run_program({"S~AO-16", "F~*.DL"}, root / "store.db");
    ASSERT_TRUE(WIFEXITED(r.status));
    EXPECT_EQ(WEXITSTATUS(r.status), 0) << r.err;
    EXPECT_NE(r.out.find("[*.DL<>1A2B.DL>] \n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[*.DL<>1A2C.DL>] The PFH is invalid\n"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(folder("Message Directory") / "1A2B.DLM"));
    EXPECT_TRUE(fs::exists(sat_dir / "1A2C.DL"));
    EXPECT_EQ(error_log(), "AO-16            1A2C  The PFH is invalid\n");
}

TEST_F(Program, TheViewerOfTheSatelliteGets2028WithTheFileNumber)
{
    test_app();
    auto messenger = platform::dbus::session_messenger();
    std::vector<platform::WindowMessage> got;
    platform::WindowHandlers handlers;
    handlers.on_message = [&](const platform::WindowMessage& m) {
        got.push_back(m);
        return 0;
    };
    auto tessel = messenger->create_window("Tessel", "Tessel [AO-16]", handlers);
    ASSERT_TRUE(tessel) << tessel.error().message;
    auto other = messenger->create_window("Tessel", "Tessel [UO-22]", handlers);
    ASSERT_TRUE(other);
    put_download(header(0xBEEF, "NOTE", "TXT", 0), "Hello");

    ::setenv("ORVA_STORE", (root / "store.db").c_str(), 1);
    auto env = platform::LaunchEnvironment::current();
    env.program_dir = ORVA_BIN_DIR;
    auto p = platform::Launcher(env).start(std::vector<std::string>{"DISPO.EXE", "S~AO-16", "F~BEEF.DL"});
    ::unsetenv("ORVA_STORE");
    ASSERT_TRUE(p) << p.error().message;
    bool ended = false;
    int code = -1;
    ASSERT_TRUE(pump_until([&] {
        if (!ended) {
            auto r = p->wait_for(std::chrono::milliseconds(0));
            if (r && *r) {
                ended = true;
                code = **r;
            }
        }
        return ended && !got.empty();
    }));
    EXPECT_EQ(code, 0);
    ASSERT_EQ(got.size(), 1u); // only the window of that satellite
    EXPECT_EQ(got[0], (platform::WindowMessage{2028, 0, static_cast<std::int32_t>(0xBEEF)}));
}

TEST_F(Program, StartupFailuresEndWithTheirText)
{
    Ran r = run_program({"F~*.DL"}, root / "store.db");
    EXPECT_EQ(WEXITSTATUS(r.status), 1);
    EXPECT_EQ(r.err, "Dispo: No sat specified\n");
    r = run_program({"S~UO-22", "F~*.DL"}, root / "store.db");
    EXPECT_EQ(r.err, "Dispo: Can't find the satellite in the Orva configuration\n");
    r = run_program({"S~AO-16"}, root / "store.db");
    EXPECT_EQ(r.err, "Dispo: No file specified\n");
}

} // namespace
} // namespace orva::mailproc::test

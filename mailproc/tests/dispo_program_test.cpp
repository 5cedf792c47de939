// The dispo program as the engine starts it, without a display: the status lines on stdout,
// the start-up failures on stderr.
#include <sys/wait.h>

#include "common/file_names.h"
#include "mailproc/tests/dispo_fixture.h"
#include "mailproc/tests/qt_app.h"
#include "platform/dbus/session_bus.h"
#include "platform/testing/recording_window.h"
#include "platform/launcher.h"
#include "platform/testing/child_process.h"

namespace orva::mailproc::test {
namespace {

// The program with its output read through pipes; ORVA_STORE names the fixture's store.
test_support::ChildResult run_program(const std::vector<std::string>& args, const fs::path& store_file)
{
    return test_support::run_child(std::string(ORVA_BIN_DIR) + "/dispo", args,
                              {"ORVA_STORE=" + store_file.string(), "QT_QPA_PLATFORM=offscreen"});
}

class Program : public DispoFixture {};

TEST_F(Program, HeadlessRunPrintsTheStatusLinesAndFiles)
{
    put_download(header(0x1A2B, "NOTE", "TXT", 0), "Hello");
    put_download(0x1A2C, bytes("garbage"));
    test_support::ChildResult r = run_program({"S~AO-16", "F~*.DL"}, root / "store.db");
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
    test_support::RecordingWindow tessel;
    auto opened = tessel.open(*messenger, "Tessel", "Tessel [AO-16]");
    ASSERT_TRUE(opened) << opened.error().message;
    auto& got = tessel.got;
    test_support::RecordingWindow other;
    ASSERT_TRUE(other.open(*messenger, "Tessel", "Tessel [UO-22]"));
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
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(other.got.empty()); // only the window of that satellite
    EXPECT_EQ(got[0], (platform::WindowMessage{2028, 0, static_cast<std::int32_t>(0xBEEF)}));
}

TEST_F(Program, StartupFailuresEndWithTheirText)
{
    test_support::ChildResult r = run_program({"F~*.DL"}, root / "store.db");
    EXPECT_EQ(WEXITSTATUS(r.status), 1);
    EXPECT_EQ(r.err, "Dispo: No sat specified\n");
    r = run_program({"S~UO-22", "F~*.DL"}, root / "store.db");
    EXPECT_EQ(r.err, "Dispo: Can't find the satellite in the Orva configuration\n");
    r = run_program({"S~AO-16"}, root / "store.db");
    EXPECT_EQ(r.err, "Dispo: No file specified\n");
}

} // namespace
} // namespace orva::mailproc::test

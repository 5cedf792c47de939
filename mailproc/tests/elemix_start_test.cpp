// Dispo starting the real element updater on a received element-set file.
#include <cstdlib>
#include <fstream>
#include <thread>

#include "mailproc/tests/dispo_fixture.h"
#include "mailproc/tests/qt_app.h"
#include "platform/dbus/session_bus.h"
#include "platform/testing/recording_window.h"

namespace orva::mailproc::test {
namespace {

class ElemixStart : public DispoFixture {};

TEST_F(ElemixStart, AnElementSetFileUpdatesTheDatabaseThroughElemix)
{
    if (!fs::exists(fs::path(ORVA_BIN_DIR) / "elemix"))
        GTEST_SKIP() << "elemix is not built";
    test_app();
    auto messenger = platform::dbus::session_messenger();
    test_support::RecordingWindow helmo;
    auto opened = helmo.open(*messenger, "HelmoCtl", "Helmo");
    ASSERT_TRUE(opened) << opened.error().message;
    auto& got = helmo.got;
    set_option("Process Keps", 1);
    set_option("Update Keps", 2);
    set_option("Keps Append", 1); // a new satellite: the updater adds it, which counts as a change
    ::setenv("ORVA_STORE", (root / "store.db").c_str(), 1); // the updater reads the same store
    const std::string sets = "ISS (ZARYA)\n"
                             "1 25544U 98067A   08264.51782528 -.00002182  00000-0 -11606-4 0  2927\n"
                             "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.72125391563537\n";
    put_download(header(0x4000, "ORBS264A", "ELE", 8), sets);

    LauncherRunner real(TestRunner::launcher());
    DispoCommand cmd{std::string("AO-16"), std::string("*.DL")};
    Startup s = prepare_run(*store, cmd);
    ASSERT_TRUE(s.config);
    DispoHost host{real, poster, sound, {}};
    DispoRun(std::move(*s.config), host).run();
    EXPECT_EQ(read(folder("Keps Directory") / "ORBS264A.ELE"), sets);

    // Elemix is not waited for: wait for the database it writes, with a generous safety net.
    const fs::path kep = orva_dir / "ORVA.KEP";
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::error_code ec;
    while (!(fs::exists(kep, ec) && fs::file_size(kep, ec) == 8300) && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(fs::exists(kep));
    EXPECT_NE(read(kep).find("ISS (ZARYA)"), std::string::npos);
    ::unsetenv("ORVA_STORE");
#if ORVA_ELEMIX_POSTS
    ASSERT_TRUE(pump_until([&] { return !got.empty(); })) << "no 2037 from elemix";
    EXPECT_EQ(got[0], (platform::WindowMessage{2037, 0, 0}));
#else
    GTEST_SKIP() << "this build's elemix has no messenger, so 2037 cannot be checked";
#endif
}

} // namespace
} // namespace orva::mailproc::test

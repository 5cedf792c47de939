// The Dispo window over the pipeline, on Qt's offscreen platform.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <fstream>

#include "mailproc/app/dispo_window.h"
#include "mailproc/tests/dispo_fixture.h"
#include "mailproc/tests/qt_app.h"
#include "platform/dbus/session_bus.h"
#include "platform/testing/recording_window.h"

// The system's font library keeps a cache for the life of the process; LeakSanitizer (when the
// test is built with it) would report that as ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace orva::mailproc::test {
namespace {

class Window : public DispoFixture {};

TEST_F(Window, FilesTheDownloadsShowsTheStatusLineAndClosesItself)
{
    test_app();
    auto messenger = platform::dbus::session_messenger();
    test_support::RecordingWindow tessel;
    auto opened = tessel.open(*messenger, "Tessel", "Tessel [AO-16]");
    ASSERT_TRUE(opened) << opened.error().message;
    auto& got = tessel.got;
    put_download(header(0x1A2B, "NOTE", "TXT", 0), "Hello");
    Startup s = prepare_run(*store, {std::string("AO-16"), std::string("*.DL")});
    ASSERT_TRUE(s.config) << s.message;
    DispoWindow w(std::move(*s.config));
    EXPECT_EQ(w.windowTitle(), "Mail Processor");
    EXPECT_EQ(w.objectName(), "Dispo");
    EXPECT_EQ(w.geometry().size(), QSize(400, 40));
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&w, &DispoWindow::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit); // a safety net only
    w.show();
    loop.exec();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(w.status_text().startsWith("[*.DL<>1A2B.DL>] ")) << w.status_text().toStdString();
    EXPECT_TRUE(fs::exists(folder("Message Directory") / "1A2B.DLM"));
    EXPECT_TRUE(fs::exists(folder("DLX Directory") / "1A2B.DLX"));
    ASSERT_TRUE(pump_until([&] { return !got.empty(); }));
    EXPECT_EQ(got[0], (platform::WindowMessage{2028, 0, 0x1A2B}));
}

// Closing the window while an extractor runs must not wait for it on the window thread: the
// window goes at once, the worker finishes the download on its own thread and then ends.
TEST_F(Window, ClosingWhileAnExtractorRunsDoesNotFreezeTheWindow)
{
    test_app();
    // An "unzip" that takes its time, found first on the PATH.
    const fs::path bin = root / "slow-bin";
    fs::create_directories(bin);
    const fs::path ended = root / "extractor-ended";
    {
        std::ofstream script(bin / "unzip");
        script << "#!/bin/sh\nsleep 3\n: > '" << ended.string() << "'\n";
    }
    fs::permissions(bin / "unzip", fs::perms::owner_all);
    const std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (bin.string() + ":" + old_path).c_str(), 1);
    put_download(header(0x2C3D, "PACK", "ZIP", 0), "PK\x03\x04 not really");
    Startup s = prepare_run(*store, {std::string("AO-16"), std::string("*.DL")});
    ASSERT_TRUE(s.config) << s.message;
    {
        DispoWindow w(std::move(*s.config));
        bool finished = false;
        QObject::connect(&w, &DispoWindow::finished, &w, [&] { finished = true; });
        w.show();
        ASSERT_TRUE(pump_until([&] { return w.status_text().contains("Waiting for decompression."); }));
        w.close();
        EXPECT_FALSE(fs::exists(ended)) << "the window thread waited for the extractor";
        EXPECT_FALSE(w.isVisible());
        EXPECT_FALSE(finished);
        ASSERT_TRUE(pump_until([&] { return finished; }));
        EXPECT_TRUE(fs::exists(ended));
    }
    ::setenv("PATH", old_path.c_str(), 1);
}

} // namespace
} // namespace orva::mailproc::test

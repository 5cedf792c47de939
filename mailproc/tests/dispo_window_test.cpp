// The Dispo window over the pipeline, on Qt's offscreen platform.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "mailproc/app/dispo_window.h"
#include "mailproc/tests/dispo_fixture.h"

namespace orva::mailproc::test {
namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "mailproc_app_test";
    static char* argv[] = {name, nullptr};
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

class Window : public DispoFixture {};

TEST_F(Window, FilesTheDownloadsShowsTheStatusLineAndClosesItself)
{
    app();
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
}

} // namespace
} // namespace orva::mailproc::test

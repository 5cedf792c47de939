// A listening "HelmoCtl" window receives 2037 when elemix changes the database.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <filesystem>

#include "common/settings/suite_settings.h"
#include "platform/dbus/session_bus.h"
#include "platform/testing/recording_window.h"
#include "platform/messenger.h"

using namespace orva;
namespace fs = std::filesystem;

TEST(ElemixNotice, AListeningStationWindowReceives2037)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    char tmpl[] = "/tmp/orva-elemix-bus-XXXXXX";
    fs::path dir = ::mkdtemp(tmpl);
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        settings::GeneralSettings g;
        g.orva_directory = dir.string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        settings::DispoSettings d;
        d.keps_append = 1;
        ASSERT_TRUE(settings::write_dispo(*store, d).ok());
    }

    auto messenger = platform::dbus::session_messenger();
    orva::test_support::RecordingWindow window;
    auto opened = window.open(*messenger, "HelmoCtl", "Helmo");
    ASSERT_TRUE(opened) << opened.error().message;
    auto& received = window.got;

    QProcess elemix;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVA_STORE", QString::fromStdString((dir / "store.db").string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    elemix.setProcessEnvironment(env);
    std::string keps = std::string(ORVA_SOURCE_DIR) + "/station/tests/data/elements-2025-178.txt";
    elemix.start(QString(ORVA_BIN_DIR) + "/elemix", {QString::fromStdString("F~" + keps), "K~NASA"});
    ASSERT_TRUE(elemix.waitForStarted(10000));

    // Serve the bus until the post arrives and elemix has ended (30 s as a safety net).
    QElapsedTimer clock;
    clock.start();
    while ((received.empty() || elemix.state() != QProcess::NotRunning) && clock.elapsed() < 30000) {
        app.processEvents(QEventLoop::AllEvents, 50);
        elemix.waitForFinished(10);
    }
    EXPECT_EQ(elemix.exitCode(), 0) << elemix.readAllStandardError().toStdString();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].number, 2037u);
    EXPECT_EQ(received[0].word, 0u);
    EXPECT_EQ(received[0].long_param, 0);
    fs::remove_all(dir);
}

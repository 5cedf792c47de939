// A listening "HelmoCtl" window receives 2037 once when orva elements update changes the element
// database, and nothing when every source was unchanged.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <filesystem>

#include "common/settings/suite_settings.h"
#include "elemupd/network/element_sources.h"
#include "platform/dbus/session_bus.h"
#include "platform/messenger.h"
#include "platform/testing/recording_window.h"
#include "platform/testing/spawned_child.h"

using namespace orva;
namespace fs = std::filesystem;

TEST(ElementsNotice, AListeningStationWindowReceives2037WhenTheDatabaseChanged)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    char tmpl[] = "/tmp/orva-elements-bus-XXXXXX";
    fs::path dir = ::mkdtemp(tmpl);
    fs::create_directories(dir / "www");
    fs::copy_file(fs::path(ORVA_SOURCE_DIR) / "station/tests/data/elements-2025-178.txt", dir / "www" / "keps.txt");
    test_support::Child server({"/usr/bin/python3", std::string(ORVA_SOURCE_DIR) + "/testbed/http/element_server.py",
                                (dir / "www").string(), (dir / "requests.log").string()},
                               dir / "server.err", true);
    ASSERT_TRUE(server.wait_line("PORT ", std::chrono::seconds(20)));
    std::string url;
    for (const auto& l : server.lines())
        if (l.rfind("PORT ", 0) == 0)
            url = "http://127.0.0.1:" + l.substr(5) + "/keps.txt";
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        settings::GeneralSettings g;
        g.orva_directory = dir.string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        settings::DispoSettings d;
        d.keps_append = 1;
        ASSERT_TRUE(settings::write_dispo(*store, d).ok());
        ASSERT_TRUE(store->create_key(elemupd::kElementSourcesKey).ok());
        ASSERT_TRUE(elemupd::add_element_source(*store, {"local", url, station::ElementFormat::Nasa, {}, {}}).ok());
    }

    auto messenger = platform::dbus::session_messenger();
    test_support::RecordingWindow window;
    auto opened = window.open(*messenger, "HelmoCtl", "Helmo");
    ASSERT_TRUE(opened) << opened.error().message;

    auto update = [&] {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVA_STORE", QString::fromStdString((dir / "store.db").string()));
        env.insert("no_proxy", "127.0.0.1"); // a proxy of the machine is not on the way to loopback
        p.setProcessEnvironment(env);
        p.start(QString(ORVA_BIN_DIR) + "/orva-elements", {"update"});
        EXPECT_TRUE(p.waitForStarted(10000));
        // Serve the bus while it runs: its post arrives through this loop.
        QElapsedTimer clock;
        clock.start();
        while (p.state() != QProcess::NotRunning && clock.elapsed() < 30000) {
            app.processEvents(QEventLoop::AllEvents, 50);
            p.waitForFinished(10);
        }
        app.processEvents(QEventLoop::AllEvents, 50);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return p.readAllStandardOutput().toStdString();
    };
    std::string first = update();
    EXPECT_NE(first.find("Helmo told to reload"), std::string::npos) << first;
    ASSERT_EQ(window.got.size(), 1u);
    EXPECT_EQ(window.got[0].number, 2037u);
    EXPECT_EQ(window.got[0].word, 0u);
    EXPECT_EQ(window.got[0].long_param, 0);

    std::string second = update(); // 304: nothing changed, nobody told
    EXPECT_NE(second.find("(HTTP 304)"), std::string::npos) << second;
    EXPECT_EQ(window.got.size(), 1u);
    server.kill(SIGTERM);
    server.wait();
    fs::remove_all(dir);
}

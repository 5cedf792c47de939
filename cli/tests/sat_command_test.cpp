// `orva sat` and `orva station` against a real store file, and the 2037 a listening Helmo window
// receives after a save.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <filesystem>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/dbus/session_bus.h"
#include "platform/testing/recording_window.h"

using namespace orva;
namespace fs = std::filesystem;

namespace {

struct Ran {
    int code = -1;
    std::string out, err;
};

class SatCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
    void SetUp() override
    {
        char tmpl[] = "/tmp/orva-satcmd-XXXXXX";
        dir = ::mkdtemp(tmpl);
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        settings::GeneralSettings g;
        g.orva_directory = (dir / "suite").string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the command while serving the bus, so a window of this process can receive posts.
    Ran run(const std::string& program, const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVA_STORE", QString::fromStdString((dir / "store.db").string()));
        p.setProcessEnvironment(env);
        p.start(QString(ORVA_BIN_DIR) + "/" + QString::fromStdString(program), args);
        EXPECT_TRUE(p.waitForStarted(10000));
        QElapsedTimer clock;
        clock.start();
        while (p.state() != QProcess::NotRunning && clock.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            p.waitForFinished(10);
        }
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return {p.exitCode(), p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
    }
    platform::Store store() { return std::move(platform::Store::open(dir / "store.db", platform::Access::ReadWrite).value()); }
    fs::path dir;
};

} // namespace

TEST_F(SatCommand, AddsWithThePagesConversionsAndTellsHelmo)
{
    auto messenger = platform::dbus::session_messenger();
    test_support::RecordingWindow helmo;
    ASSERT_TRUE(helmo.open(*messenger, "HelmoCtl", "Helmo"));
    Ran r = run("orva-sat", {"add", "UO-22", "Satellite Type=PacSat", "Priority=20", "Retry time=99", "TX Delay=3000",
                             "Packet Length=10", "TX Buffer Size=100", "RX Buffer Size=40000", "Speed=9600"});
    ASSERT_EQ(r.code, 0) << r.err;
    auto s = store();
    auto key = settings::find_satellite_key(s, "UO-22", settings::CaseRule::Exact);
    ASSERT_TRUE(key);
    EXPECT_EQ(s.read_integer(*key, "Retry Time").value_or(0), 6000u);
    EXPECT_EQ(s.read_integer(*key, "Tx Delay").value_or(0), 330u);
    EXPECT_EQ(s.read_integer(*key, "PacLength").value_or(0), 245u);
    EXPECT_EQ(s.read_integer(*key, "TxBuffer").value_or(0), 2047u);
    EXPECT_EQ(s.read_integer(*key, "RxBuffer").value_or(0), 8192u);
    EXPECT_EQ(s.read_string(*key, "Message Directory", 260).value_or(""), (dir / "suite" / "UO-22" / "Msgs").string());
    EXPECT_TRUE(fs::is_directory(dir / "suite" / "UO-22" / "Logs"));
    ASSERT_EQ(helmo.got.size(), 1u) << r.out;
    EXPECT_EQ(helmo.got[0], (platform::WindowMessage{2037, 0, 0}));
}

TEST_F(SatCommand, RefusesWithThePagesMessagesAndStoresNothing)
{
    Ran r = run("orva-sat", {"add", "AO-16", "Satellite Type=PacSat"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("You can't leave the PRIORITY set to 0 if you have this satellite set to automatically run passes."),
              std::string::npos) << r.err;
    r = run("orva-sat", {"add", "AO-16", "Priority=10"});
    EXPECT_NE(r.err.find("You must select a satellite type."), std::string::npos) << r.err;
    r = run("orva-sat", {"add", "AO-16", "Satellite Type=Pacsat", "Priority=10", "Retries=123"});
    EXPECT_NE(r.err.find("\"Retries\" takes at most 2 digits"), std::string::npos) << r.err;
    EXPECT_TRUE(settings::list_satellites(store()).empty());

    r = run("orva-sat", {"add", "AO-16", "Satellite Type=PacSat", "Priority=10"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = run("orva-sat", {"add", "ao-16", "Satellite Type=PacSat", "Priority=10"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("There is already a satellite with this name.  Please change the name before continuing."),
              std::string::npos);
    r = run("orva-sat", {"edit", "ao-16", "State=Display", "Priority=0"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = run("orva-sat", {"edit", "AO-16", "State=Track and Display"});
    EXPECT_EQ(r.code, 1) << "priority 0 with passes run automatically was accepted";
    r = run("orva-sat", {"delete", "AO-16"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(settings::list_satellites(store()).empty());
}

TEST_F(SatCommand, StationSetStoresSignsAndTellsAboutHours)
{
    Ran r = run("orva-station", {"set", "Callsign=g4xyz", "Latitude=33.5", "North/South=South", "Longitude=151.25",
                                 "East/West=East", "Limit Hours=1", "Stop Hour=23", "Start Hour=6"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("You have changed the station operating hours."), std::string::npos);
    auto st = settings::read_station(store(), settings::Program::Helmo);
    EXPECT_EQ(st.callsign, "G4XYZ");
    EXPECT_DOUBLE_EQ(st.latitude, -33.5);
    EXPECT_DOUBLE_EQ(st.longitude, -151.25);
    EXPECT_EQ(st.stop_hour, 23u);
    r = run("orva-station", {"show"});
    EXPECT_NE(r.out.find("East/West=East"), std::string::npos) << r.out;
    r = run("orva-station", {"set", "Rotator Type=Nonesuch"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("\"Rotator Type\" must be one of"), std::string::npos);
}

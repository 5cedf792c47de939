// Tessel beside a real pass: `orva satsim` serves files on a pseudo-terminal, `brek --headless`
// receives them and advises each new directory header on the session bus. The viewer follows the
// directory while the pass runs, and a file marked in it is requested and downloaded by the
// engine before the pass ends.
#include "common/settings/satellite_record.h"
#include "dirview/app/tessel_window.h"
#include "platform/dbus/session_bus.h"
#include "platform/launcher.h"
#include "platform/store/store.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTableView>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orva::dirview {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool spin_until(const std::function<bool()>& done, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// The simulated satellite; its first line names the pseudo-terminal.
class Satsim {
public:
    explicit Satsim(const std::vector<std::string>& args)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, args[0].c_str(), &fa, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        std::string line;
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        ::close(out[0]);
        if (line.rfind("PTY ", 0) == 0)
            pty_ = line.substr(4);
    }
    ~Satsim()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int st;
            ::waitpid(pid_, &st, 0);
        }
    }
    const std::string& pty() const { return pty_; }

private:
    pid_t pid_ = -1;
    std::string pty_;
};

struct QuietHost final : TesselHost {
    Status launch(const std::vector<std::string>&) override { return {}; }
    Status open_file(const fs::path&) override { return {}; }
    bool confirm(const std::string&, const std::string&, bool) override { return true; }
    void inform(const std::string&, const std::string&) override {}
};

TEST(TesselPass, FollowsTheLiveDirectoryAndAMarkedFileIsDownloadedInTheSamePass)
{
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run the tests under dbus-run-session";
    const fs::path root = fs::temp_directory_path() / ("orva-tessel-pass-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "served");
    const std::string bin = ORVA_BIN_DIR;
    ::setenv("ORVA_STORE", (root / "store.db").c_str(), 1);

    // Our programs are found beside each other in the build's bin folder.
    auto environment = platform::LaunchEnvironment::current();
    environment.program_dir = bin;
    platform::Launcher launcher(environment);
    {
        auto setup = launcher.start(std::vector<std::string>{bin + "/orva-setup", "--demo", (root / "orva").string()});
        ASSERT_TRUE(setup) << setup.error().message;
        auto code = setup->wait_or_kill(60s);
        ASSERT_TRUE(code && *code == 0);
    }
    auto store = platform::Store::open(root / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store) << store.error().message;
    auto key = settings::find_satellite_key(*store, "AO-16", settings::CaseRule::IgnoreCase);
    ASSERT_TRUE(key);
    auto rec = settings::read_satellite_key(*store, *key);
    rec.open_tessel = 0; // this test is the viewer
    rec.close_tessel = 0;
    rec.run_dispo = 0;
    rec.proc_threshold = 0;
    ASSERT_TRUE(settings::write_satellite(*store, *key, rec));
    const fs::path sat = settings::read_satellite_key(*store, *key).satellite_directory;

    // Enough headers that the directory is still arriving when the viewer opens it.
    constexpr int files = 24;
    for (int i = 0; i < files; ++i) {
        std::ofstream out(root / "served" / ("F" + std::to_string(100 + i) + ".TXT"));
        for (int line = 0; line < 12; ++line)
            out << "file " << i << " line " << line << " of the directory test pass\n";
    }
    Satsim satsim({bin + "/orva-satsim", "--folder", (root / "served").string(), "--pty", "--rate", "600",
                   "--seed", "3"});
    ASSERT_FALSE(satsim.pty().empty()) << "satsim did not start";
    auto brek = launcher.start(std::vector<std::string>{bin + "/brek", "--headless", "AO-16", "--port", satsim.pty(),
                                                        "--pass-seconds", "120", "--checkpoint-seconds", "1"},
                               {root, platform::ShowMode::Normal, false});
    ASSERT_TRUE(brek) << brek.error().message;

    auto messenger = platform::dbus::session_messenger();
    QuietHost host;
    TesselOptions o;
    o.store = &*store;
    o.messenger = messenger.get();
    o.host = &host;
    o.connector = [](const std::string& service, const std::string& topic, std::function<void()> lost) {
        return platform::dbus::connect_data(service, topic, std::move(lost), 5s);
    };
    TesselWindow window(o);
    ASSERT_TRUE(window.register_window());
    window.show();

    // The engine's first headers are on disk: the viewer opens the directory as it is so far.
    ASSERT_TRUE(spin_until([&] { return fs::exists(sat / "Brek0000.PFH") && fs::file_size(sat / "Brek0000.PFH") > 0; }, 60s))
        << "no directory from the engine";
    ASSERT_TRUE(window.open_satellite("AO-16"));
    ASSERT_TRUE(spin_until([&] {
        window.connect_engine();
        return window.engine_connected();
    }, 30s)) << "no link to the engine";
    const std::size_t at_open = window.model().entry_count();

    ASSERT_TRUE(spin_until([&] { return window.model().entry_count() == std::size_t(files); }, 90s))
        << window.model().entry_count() << " of " << files << " headers";
    EXPECT_LT(at_open, std::size_t(files)) << "every header was on disk already: nothing arrived live";
    ASSERT_TRUE(spin_until([&] { return window.list()->model()->rowCount() == files; }, 10s))
        << "the live headers did not reach the list";

    // Mark the newest file; the engine sees it only through the status table.
    window.select_row(0);
    const std::uint32_t wanted = window.model().row(0).file_number;
    window.mark(10);
    ASSERT_EQ(window.model().status_of(wanted) & 0x0F, 10);
    ASSERT_TRUE(spin_until([&] { return (window.model().status_of(wanted) & 0x0F) == 3; }, 90s))
        << "file " << std::hex << wanted << " was not downloaded; status " << int(window.model().status_of(wanted));
    ASSERT_TRUE(brek->running()) << "the download finished within the pass";
    const auto row = window.model().row_of(wanted);
    ASSERT_TRUE(row);
    ASSERT_TRUE(spin_until([&] {
        return window.list()->model()->data(window.list()->model()->index(int(*row), 1)).toString().startsWith("D ");
    }, 5s));

    window.close();
    brek->kill();
    (void)brek->wait();
    fs::remove_all(root);
}

} // namespace
} // namespace orva::dirview

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

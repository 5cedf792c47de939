// A new operator's own station from the command line, as real processes: orva setup with a
// locator, a satellite, an element set merged by elemix, and its passes; the same questions
// asked on a terminal storing the same bytes; and the programs that name orva setup while the
// store was never set up.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "common/elements/kep_database.h"
#include "common/settings/field_table.h"
#include "common/settings/keys.h"
#include "platform/store/store.h"
#include "platform/store/store_text.h"
#include "platform/testing/child_process.h"
#include "cli/demo/child.h"

namespace orva {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::ChildResult;

// A NASA two-line set of UO-22 (epoch 2026 day 342.5).
constexpr const char* kUo22Elements =
    "UO-22\n"
    "1 21575U 91050B   26342.50000000  .00000034  00000+0  29812-4 0  9999\n"
    "2 21575  98.1100 203.7012 0007600  95.4100 264.7900 14.38301000850290\n";

class OwnStation : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("orva-own-station-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "home");
        env = environment(dir / "store.db");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<std::string> environment(const fs::path& store) const
    {
        std::vector<std::string> e = {"ORVA_STORE=" + store.string(), "HOME=" + (dir / "home").string(),
                                      "XDG_DATA_HOME=" + (dir / "data").string(), "QT_QPA_PLATFORM=offscreen"};
        if (const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
            e.push_back(std::string("DBUS_SESSION_BUS_ADDRESS=") + bus);
        return e;
    }
    ChildResult run(const std::string& program, const std::vector<std::string>& args)
    {
        return test_support::run_child(std::string(ORVA_BIN_DIR) + "/" + program, args, env);
    }
    std::string exported(const fs::path& store)
    {
        auto s = platform::Store::open(store, platform::Access::ReadOnly);
        EXPECT_TRUE(s.ok()) << store;
        return s ? platform::export_store_text(*s) : std::string();
    }

    fs::path dir;
    std::vector<std::string> env;
};

std::string both(const ChildResult& r) { return r.out + r.err; }

TEST_F(OwnStation, SetupThenASatelliteItsElementsAndItsPasses)
{
    // Before the setup the satellite has nowhere to go, and says what to run.
    ChildResult early = run("orva", {"sat", "add", "UO-22", "Satellite Type=PacSat"});
    EXPECT_EQ(early.exit_code(), 1) << both(early);
    EXPECT_NE(early.err.find("orva setup --callsign CALL --locator LOC"), std::string::npos) << both(early);

    ChildResult setup = run("orva", {"setup", "--callsign", "g4xyz", "--locator", "IO91wm"});
    ASSERT_EQ(setup.exit_code(), 0) << both(setup);
    EXPECT_NE(setup.out.find("Station G4XYZ at 51.520833 N, 0.125000 W"), std::string::npos) << setup.out;
    const fs::path suite = dir / "data" / "orva"; // the default folder
    EXPECT_NE(setup.out.find("Orva folder " + suite.string()), std::string::npos) << setup.out;
    EXPECT_TRUE(fs::is_regular_file(suite / "Orva.KEP"));

    ChildResult add = run("orva", {"sat", "add", "UO-22", "Satellite Type=PacSat", "Priority=20"});
    ASSERT_EQ(add.exit_code(), 0) << both(add);
    EXPECT_TRUE(fs::is_directory(suite / "UO-22" / "Msgs"));

    // The element set through the updater, told to take satellites it has not seen.
    ASSERT_EQ(run("orva", {"reg", "set", "SOFTWARE\\Orva\\Dispo", "Keps Append", "--dword", "1"}).exit_code(), 0);
    std::ofstream(dir / "uo22.txt") << kUo22Elements;
    ChildResult merged = run("elemix", {"F~" + (dir / "uo22.txt").string(), "K~NASA"});
    ASSERT_EQ(merged.exit_code(), 0) << both(merged);
    auto db = elements::KepDatabase::load(elements::kep_database_path(suite));
    ASSERT_TRUE(db.ok());
    ASSERT_GE(db->find_by_name("UO-22"), 0) << both(merged);

    ChildResult passes = run("orva", {"passes", "--days", "1", "--json", "--from", "2026-12-09T00:00:00Z"});
    ASSERT_EQ(passes.exit_code(), 0) << both(passes);
    std::size_t count = 0;
    const std::string uo22 = "\"satellite\": \"UO-22\"";
    for (std::size_t at = passes.out.find(uo22); at != std::string::npos; at = passes.out.find(uo22, at + 1))
        ++count;
    EXPECT_GE(count, 2u) << "a polar orbit passes a station at 51.5 N several times a day\n" << passes.out;

    // The station program starts on it without a display.
    auto helmo = tools::Child::start({std::string(ORVA_BIN_DIR) + "/helmo", "--headless"}, env);
    ASSERT_TRUE(helmo.ok());
    std::string out;
    auto limit = std::chrono::steady_clock::now() + 60s;
    while (out.find("Helmo started: station G4XYZ") == std::string::npos && std::chrono::steady_clock::now() < limit &&
           !(*helmo)->poll_exit()) {
        pollfd p{(*helmo)->output_fd(), POLLIN, 0};
        ::poll(&p, 1, 200);
        for (const std::string& l : (*helmo)->read_lines())
            out += l + "\n";
    }
    EXPECT_NE(out.find("Helmo started: station G4XYZ"), std::string::npos) << out;
    EXPECT_EQ((*helmo)->stop(20000ms), 0) << out;
}

// The questions on a terminal, one answer refused and asked again, store the same bytes as the
// options do.
TEST_F(OwnStation, OnATerminalItAsksTheSameQuestions)
{
    const fs::path by_options = dir / "options.db", by_terminal = dir / "terminal.db";
    const fs::path suite = dir / "data" / "orva";
    env = environment(by_options);
    ChildResult flags = run("orva-setup", {"--callsign", "G4XYZ", "--locator", "IO91wm"});
    ASSERT_EQ(flags.exit_code(), 0) << both(flags);

    int master = -1;
    pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::vector<std::string> words = environment(by_terminal);
        words.push_back(std::string("PATH=") + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"));
        std::vector<char*> envp;
        for (auto& w : words)
            envp.push_back(w.data());
        envp.push_back(nullptr);
        std::string exe = std::string(ORVA_BIN_DIR) + "/orva-setup";
        char* argv[] = {exe.data(), nullptr};
        ::execve(exe.c_str(), argv, envp.data());
        ::_exit(127);
    }
    // A callsign with a blank, a locator out of range, then good answers and the default folder.
    const std::string answers = "G4 XYZ\ng4xyz\nZZ99\nio91WM\n\n";
    ASSERT_EQ(::write(master, answers.data(), answers.size()), ssize_t(answers.size()));
    std::string screen;
    int status = 0;
    auto limit = std::chrono::steady_clock::now() + 30s;
    for (;;) {
        pollfd p{master, POLLIN, 0};
        ::poll(&p, 1, 100);
        char buf[512];
        if (p.revents & POLLIN) {
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                screen.append(buf, std::size_t(n));
        }
        if (::waitpid(pid, &status, WNOHANG) == pid)
            break;
        if (std::chrono::steady_clock::now() > limit) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            FAIL() << "orva setup did not finish:\n" << screen;
        }
    }
    ::close(master);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
    const std::string folder_question = "Orva folder [" + suite.string() + "]";
    for (const std::string& asked : {std::string("Callsign: "), std::string("may hold only letters, digits"),
                                     std::string("Maidenhead locator"), std::string("must start with two letters from A to R"),
                                     folder_question})
        EXPECT_NE(screen.find(asked), std::string::npos) << asked << " not in:\n" << screen;
    EXPECT_EQ(exported(by_terminal), exported(by_options));
}

TEST_F(OwnStation, ProgramsNameTheSetupCommandUntilItHasRun)
{
    const std::string command = "orva setup --callsign CALL --locator LOC";
    ChildResult helmo = run("helmo", {"--headless"});
    EXPECT_EQ(helmo.exit_code(), 255) << both(helmo);
    EXPECT_NE(helmo.err.find("Orva setup has not been completed."), std::string::npos) << helmo.err;
    EXPECT_NE(helmo.err.find(command), std::string::npos) << helmo.err;

    ChildResult doctor = run("orva", {"doctor"});
    EXPECT_EQ(doctor.exit_code(), 1);
    EXPECT_NE(both(doctor).find(command), std::string::npos) << both(doctor);
    // A store with the station's values but never set up.
    ASSERT_EQ(run("orva", {"reg", "set", "SOFTWARE\\Orva\\Station", "Callsign", "--string", "G4XYZ"}).exit_code(), 0);
    doctor = run("orva", {"doctor"});
    EXPECT_EQ(doctor.exit_code(), 1);
    EXPECT_TRUE(std::regex_search(doctor.out, std::regex("setup.*not completed: run " + command))) << doctor.out;

    // Without a terminal nothing is asked, and bad options are refused, all without a write.
    const std::string before = exported(dir / "store.db");
    const std::vector<std::pair<std::vector<std::string>, const char*>> refused = {
        {{}, "give the station's callsign and position"},
        {{"--callsign", "G4XYZ"}, "give the station's callsign and position"},
        {{"--callsign", "G4XYZ", "--locator", "IO91"}, nullptr}, // good: written below, not refused
        {{"--callsign", "G4XYZ", "--locator", "XX91"}, "two letters from A to R"},
        {{"--callsign", "G4XYZ", "--lat", "52.2"}, "give both --lat and --lon"},
        {{"--callsign", "G4XYZ", "--lat", "52.2", "--lon", "1.5Q"}, "not a number of degrees"},
        {{"--callsign", "G4XYZ", "--locator", "IO91", "--lat", "52"}, "not both"},
        {{"--callsign", "G4 XYZ", "--locator", "IO91"}, "only letters, digits"},
        {{"--demo", (dir / "demo").string(), "--callsign", "G4XYZ"}, "--demo takes no station option"},
        {{"--callsign", "G4XYZ", "--locator", "IO91", "--dir", "/proc/orva"}, "Unable to create directory"},
    };
    for (const auto& [args, why] : refused) {
        if (!why)
            continue;
        ChildResult r = run("orva-setup", args);
        EXPECT_EQ(r.exit_code(), 2) << why << "\n" << both(r);
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
        EXPECT_EQ(exported(dir / "store.db"), before) << why;
    }
    ChildResult lat_lon = run("orva-setup", {"--callsign", "G4XYZ", "--lat", "52.2N", "--lon", "1.5W", "--dir", (dir / "o").string()});
    ASSERT_EQ(lat_lon.exit_code(), 0) << both(lat_lon);
    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadOnly);
    ASSERT_TRUE(store.ok());
    auto lon = store->read_binary(settings::keys::station, "Longitude", 8);
    ASSERT_TRUE(lon.ok());
    EXPECT_EQ(settings::detail::decode_double_le(*lon), 1.5) << "west is positive in the store";
}

} // namespace
} // namespace orva

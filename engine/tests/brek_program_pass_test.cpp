// The `brek --headless` program against the `orva satsim` program on a pseudo-terminal, station
// time running fast and a tenth of the frames lost each way: queued files upload completely in
// one pass, and a pass captured to ".KSS" and replayed with `brek --replay` into a fresh folder
// gives the same files and directory files. The test waits on folder events and child exits,
// each with a generous limit, never on a fixed delay.
#include "common/pfh/pfh_builder.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/tests/reception_test_util.h"
#include "engine/tests/upload_message.h"
#include "platform/store/store.h"
#include "platform/testing/child_process.h"

#include "platform/testing/spawned_child.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orva::engine {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using Clock = std::chrono::steady_clock;

constexpr const char* kSatellite = "AO-16";
constexpr const char* kSpeed = "40"; // station and satellite clocks both run this much faster

// A descriptor that becomes readable when the child ends.
int exit_event(pid_t pid) { return int(::syscall(SYS_pidfd_open, pid, 0)); }

// Wakes on every change in a folder, so waiting for files costs no fixed delay.
class FolderWatch {
public:
    explicit FolderWatch(const fs::path& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM);
    }
    ~FolderWatch() { ::close(fd_); }
    // True once `done` holds; false when `timeout` passed or the child `pid` ended first.
    bool wait(const std::function<bool()>& done, std::chrono::milliseconds timeout, pid_t pid)
    {
        const int child = exit_event(pid);
        const auto until = Clock::now() + timeout;
        bool ok = true;
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if (left.count() <= 0) {
                ok = false;
                break;
            }
            pollfd p[2] = {{fd_, POLLIN, 0}, {child, POLLIN, 0}};
            ::poll(p, 2, int(left.count()));
            char buf[4096];
            while (::read(fd_, buf, sizeof buf) > 0) {}
            if (p[1].revents & POLLIN) {
                ok = done();
                break;
            }
        }
        if (child >= 0)
            ::close(child);
        return ok;
    }

private:
    int fd_;
};

std::vector<fs::path> with_extension(const fs::path& folder, const std::string& ext)
{
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ext)
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::string text_of(const fs::path& p)
{
    const Bytes b = test::read_bytes(p);
    return std::string(b.begin(), b.end());
}

class BrekProgramPass : public ::testing::Test {
protected:
    void SetUp() override
    {
        store_path = root / "store.db";
        served = root / "served";
        sat_dir = root / "station" / kSatellite;
        fs::create_directories(served);
        fs::create_directories(sat_dir);
        auto store = platform::Store::open(store_path, platform::Access::ReadWrite);
        ASSERT_TRUE(store) << store.error().message;
        auto station = settings::read_station(*store, settings::Program::Helmo);
        station.callsign = "G0ABC";
        ASSERT_TRUE(settings::write_station(*store, station));
        rec = settings::new_satellite(kSatellite, settings::SatelliteType::PacSat, (root / "station").string());
        rec.satellite_directory = sat_dir.string();
        rec.bbs_callsign = "PACSAT-12";
        rec.bdcst_callsign = "PACSAT-11";
        rec.run_dispo = 0;
        rec.proc_threshold = 0; // completed files stay as ".DL" for the comparison
        rec.max_holes = 60;
        rec.retry_time = 2000;
        rec.max_frame = 4;
        rec.retries = 12;
        rec.pac_length = 244;
        rec.uploading = 1;
        auto made = settings::create_satellite_key(*store, kSatellite);
        ASSERT_TRUE(made);
        key = *made;
        ASSERT_TRUE(settings::write_satellite(*store, key, rec));
        ::setenv("ORVA_STORE", store_path.c_str(), 1);
    }
    void TearDown() override
    {
        for (test_support::Child* c : {&brek, &satsim})
            if (c->pid() > 0) {
                c->kill(SIGTERM);
                (void)c->wait_for(std::chrono::seconds(20));
            }
        if (HasFailure())
            for (const char* log : {"brek.log", "satsim.log"})
                if (fs::exists(root / log))
                    std::fprintf(stderr, "---- %s ----\n%s\n", log, text_of(root / log).c_str());
    }
    void update_record()
    {
        auto store = platform::Store::open(store_path, platform::Access::ReadWrite);
        ASSERT_TRUE(store);
        ASSERT_TRUE(settings::write_satellite(*store, key, rec));
    }
    void start_satsim()
    {
        satsim = test_support::Child({bin + "/orva-satsim", "--folder", served.string(), "--pty", "--loss", "0.1", "--seed", "5",
                        "--speed", kSpeed, "--rate", "9600", "--queue-line", "3", "--bbs-call", "PACSAT-12",
                        "--bdcst-call", "PACSAT-11"},
                       root / "satsim.log", true);
        ASSERT_TRUE(satsim.wait_line("PTY ", std::chrono::seconds(20)));
        const std::string line = satsim.lines().front();
        ASSERT_EQ(line.rfind("PTY ", 0), 0u) << line;
        pty = line.substr(4);
    }
    // One simulated pass of at most a quarter of an hour.
    void start_brek()
    {
        brek = test_support::Child({bin + "/brek", "--headless", kSatellite, "--pass-seconds", "900", "--clock-rate", kSpeed,
                      "--seed", "3", "--port", pty},
                     root / "brek.log", false);
    }
    // The operator ends the pass; the program closes it in order and exits 0.
    void end_pass()
    {
        ASSERT_GT(brek.pid(), 0);
        brek.kill(SIGTERM);
        EXPECT_EQ(brek.wait_for(std::chrono::seconds(30)), std::optional<int>(0));
    }

    // Ends the satellite and checks from its report that frames were lost: downlink always, the
    // uplink when it carried enough frames for a tenth of them to show.
    void expect_losses()
    {
        ASSERT_GT(satsim.pid(), 0);
        satsim.kill(SIGTERM);
        EXPECT_EQ(satsim.wait_for(std::chrono::seconds(20)), std::optional<int>(0));
        const std::string report = text_of(root / "satsim.log");
        unsigned long long down_lost = 0, up_frames = 0, up_lost = 0;
        const auto at = report.find("reordered; uplink ");
        ASSERT_NE(at, std::string::npos) << report;
        const auto lost = report.rfind(" lost, ", at);
        ASSERT_NE(lost, std::string::npos) << report;
        down_lost = std::strtoull(report.c_str() + report.rfind(' ', lost - 1) + 1, nullptr, 10);
        ASSERT_EQ(std::sscanf(report.c_str() + at, "reordered; uplink %llu frames, %llu lost", &up_frames, &up_lost), 2)
            << report;
        EXPECT_GT(down_lost, 0u) << report;
        up_frames_seen = up_frames;
        if (up_frames >= 100) {
            EXPECT_GT(up_lost, 0u) << report;
        }
    }

    unsigned long long up_frames_seen = 0;
    test::TempFolder root;
    fs::path store_path, served, sat_dir;
    settings::SatelliteRecord rec;
    std::string key, pty;
    test_support::Child satsim, brek;
    std::string bin = ORVA_BIN_DIR;
};

TEST_F(BrekProgramPass, FiveQueuedFilesUploadInOnePassWithLossBothWays)
{
    const std::size_t sizes[] = {1024, 4000, 12000, 40000, 100 * 1024};
    std::vector<Bytes> sources;
    for (std::size_t i = 0; i < 5; ++i) {
        Bytes body(sizes[i]);
        std::mt19937 g(std::uint32_t(40 + i));
        for (auto& x : body)
            x = std::uint8_t(g());
        const Bytes b = test::upload_message(body);
        test::write_bytes(sat_dir / ("MSG" + std::to_string(i) + ".OUT"), b);
        sources.push_back(std::move(b));
    }
    start_satsim();
    FolderWatch watch(sat_dir);
    start_brek();
    const auto all_accepted = [&] {
        return with_extension(sat_dir, ".UL").size() == 5 && with_extension(sat_dir, ".OUT").empty() &&
               with_extension(sat_dir, ".PUL").empty();
    };
    ASSERT_TRUE(watch.wait(all_accepted, std::chrono::seconds(60), brek.pid()))
        << "left in the queue: " << with_extension(sat_dir, ".OUT").size() << " .OUT, "
        << with_extension(sat_dir, ".PUL").size() << " .PUL";
    end_pass();

    EXPECT_TRUE(with_extension(sat_dir, ".ULX").empty());
    std::map<Bytes, fs::path> accepted;
    for (const auto& ul : with_extension(sat_dir, ".UL")) {
        // The name is the server's number; the satellite holds that upload as "%X.UPL".
        const fs::path on_satellite = served / (ul.stem().string() + ".UPL");
        ASSERT_TRUE(fs::exists(on_satellite)) << on_satellite;
        // As sent: the server's number in the header.
        const auto number = std::uint32_t(std::stoul(ul.stem().string(), nullptr, 16));
        EXPECT_EQ(test::read_bytes(on_satellite), test::numbered_upload(test::read_bytes(ul), number)) << ul.filename();
        accepted[test::read_bytes(ul)] = ul;
    }
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_TRUE(accepted.count(sources[i])) << "source " << i << " (" << sizes[i] << " bytes) not on the satellite";
    const std::string log = text_of(sat_dir / "Brek.LOG");
    EXPECT_NE(log.find("Uploads Made (5)\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Disc. without completion"), std::string::npos) << log;
    expect_losses();
    EXPECT_GE(up_frames_seen, 100u);
}

TEST_F(BrekProgramPass, ReplayedCaptureGivesTheSameFilesAndDirectory)
{
    const auto now = std::uint32_t(std::time(nullptr));
    std::map<std::string, Bytes> files; // "%X.DL" -> the satellite's file
    const std::size_t sizes[] = {1500, 6000, 20000, 45000};
    for (std::uint32_t i = 0; i < 4; ++i) {
        const std::uint32_t fn = 0x300 + i;
        auto h = test::header_for(fn, "Replay " + std::to_string(i), "ALL", "W1AW");
        h.upload_time = now - 7200 + i * 600;
        Bytes body(sizes[i]);
        std::mt19937 g(fn);
        for (auto& x : body)
            x = std::uint8_t(g());
        const Bytes file = pfh::build_pfh_file(h, body);
        char name[16];
        std::snprintf(name, sizeof name, "%X.SRV", fn);
        test::write_bytes(served / name, file);
        std::snprintf(name, sizeof name, "%X.DL", fn);
        files[name] = file;
    }
    const std::string equations = "[AUTO]\n{ FILESIZE > 1 }\n";
    const Bytes eq(equations.begin(), equations.end());
    test::write_bytes(sat_dir / "Brek Equations.TXT", eq);
    rec.log_kiss = 1;
    rec.uploading = 0;
    update_record();

    start_satsim();
    FolderWatch watch(sat_dir);
    start_brek();
    const auto all_received = [&] {
        for (const auto& [name, _] : files)
            if (!fs::exists(sat_dir / name))
                return false;
        return true;
    };
    ASSERT_TRUE(watch.wait(all_received, std::chrono::seconds(60), brek.pid()));
    end_pass();
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(test::read_bytes(sat_dir / name), bytes) << name << " differs from the satellite's";
    expect_losses();
    const auto captures = with_extension(sat_dir, ".KSS");
    ASSERT_EQ(captures.size(), 1u);
    const auto live_directory = with_extension(sat_dir, ".PFH");
    ASSERT_FALSE(live_directory.empty());

    // A fresh station folder for the same satellite, with the same equations.
    const fs::path fresh = root / "fresh" / kSatellite;
    fs::create_directories(fresh);
    test::write_bytes(fresh / "Brek Equations.TXT", eq);
    rec.satellite_directory = fresh.string();
    rec.log_kiss = 1; // a replay never captures itself again
    update_record();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    const auto replay = test_support::run_child(bin + "/brek", {"--replay", captures.front().string(), kSatellite}, env);
    EXPECT_EQ(replay.exit_code(), 0) << replay.out << replay.err;

    for (const auto& [name, bytes] : files)
        EXPECT_EQ(test::read_bytes(fresh / name), bytes) << name << " differs after the replay";
    EXPECT_EQ(with_extension(fresh, ".DL").size(), with_extension(sat_dir, ".DL").size());
    const auto replay_directory = with_extension(fresh, ".PFH");
    ASSERT_EQ(replay_directory.size(), live_directory.size());
    for (std::size_t i = 0; i < live_directory.size(); ++i) {
        EXPECT_EQ(replay_directory[i].filename(), live_directory[i].filename());
        EXPECT_EQ(test::read_bytes(replay_directory[i]), test::read_bytes(live_directory[i]))
            << live_directory[i].filename() << " differs after the replay";
    }
    EXPECT_TRUE(with_extension(fresh, ".KSS").empty());
}

} // namespace
} // namespace orva::engine

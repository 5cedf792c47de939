// The headless engine against the simulated satellite on a pseudo-terminal: lossy passes, kills
// at random moments, and a second process marking files through the status table.
#include "common/pfh/pfh_builder.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/directory/status_codes.h"
#include "engine/directory/status_table.h"
#include "engine/files/hole_file.h"
#include "engine/tests/reception_test_util.h"
#include "platform/store/store.h"

#include <cerrno>
#include <map>
#include <ctime>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orva::engine {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

constexpr int kFiles = 20;
constexpr std::uint32_t kFirst = 0x101;
const std::string kSatellite = "AO-16";

struct Child {
    pid_t pid = -1;
    int out = -1; // its stdout, when piped
};

Child spawn(const std::vector<std::string>& argv, const fs::path& log, bool pipe_out)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    int p[2] = {-1, -1};
    if (pipe_out) {
        EXPECT_EQ(::pipe(p), 0);
        posix_spawn_file_actions_adddup2(&fa, p[1], 1);
        posix_spawn_file_actions_addclose(&fa, p[0]);
        posix_spawn_file_actions_addopen(&fa, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    } else {
        posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&fa, 1, 2);
    }
    Child c;
    const int rc = posix_spawn(&c.pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    EXPECT_EQ(rc, 0) << argv[0];
    if (pipe_out) {
        ::close(p[1]);
        c.out = p[0];
    }
    return c;
}

// The first line the child prints, waiting for it at most `timeout`.
std::string first_line(int fd, std::chrono::milliseconds timeout)
{
    std::string line;
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char c;
        if (::read(fd, &c, 1) != 1)
            break;
        if (c == '\n')
            return line;
        line += c;
    }
    return line;
}

int wait_exit(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

struct EndToEnd : ::testing::Test {
    test::TempFolder root;
    fs::path store_path, served, sat_dir;
    std::map<std::uint32_t, Bytes> files;
    Child satsim;
    std::string pty;
    std::string bin = ORVA_BIN_DIR;

    void SetUp() override
    {
        store_path = root / "store.db";
        served = root / "served";
        fs::create_directories(served);
        const std::uint32_t now = std::uint32_t(std::time(nullptr));
        for (int i = 0; i < kFiles; ++i) {
            const std::size_t size = std::size_t(1024 * std::pow(200.0, double(i) / (kFiles - 1)));
            pfh::PfhHeader h = test::header_for(kFirst + std::uint32_t(i), "File " + std::to_string(i), "ALL", "W1AW");
            h.upload_time = now - 7200 + std::uint32_t(i) * 300;
            Bytes body(size - std::min<std::size_t>(size, 120));
            std::mt19937 rng{std::uint32_t(i)};
            for (auto& b : body)
                b = std::uint8_t(rng());
            Bytes file = pfh::build_pfh_file(h, body);
            files[h.file_number] = file;
            test::write_bytes(served / file_number_name_of(h.file_number), file);
        }
        auto store = platform::Store::open(store_path, platform::Access::ReadWrite);
        ASSERT_TRUE(store) << store.error().message;
        auto station = settings::read_station(*store, settings::Program::Helmo);
        station.callsign = "N0CALL";
        ASSERT_TRUE(settings::write_station(*store, station));
        auto rec = settings::new_satellite(kSatellite, settings::SatelliteType::PacSat, (root / "orva").string());
        rec.bbs_callsign = "PACSAT-12";
        rec.bdcst_callsign = "PACSAT-11";
        rec.run_dispo = 0;
        auto made = settings::create_satellite_key(*store, kSatellite);
        ASSERT_TRUE(made);
        key = *made;
        ASSERT_TRUE(settings::write_satellite(*store, key, rec));
        ASSERT_TRUE(store->write_integer(key, "Max Holes", 60));
        // Completed files stay where they are for the comparison: no mail processor.
        ASSERT_TRUE(store->write_integer(key, "Proc Threshold", 0));
        sat_dir = rec.satellite_directory;
        ::setenv("ORVA_STORE", store_path.c_str(), 1);
    }
    void TearDown() override
    {
        if (satsim.pid > 0) {
            ::kill(satsim.pid, SIGTERM);
            wait_exit(satsim.pid);
            ::close(satsim.out);
        }
    }
    static std::string file_number_name_of(std::uint32_t fn)
    {
        char name[16];
        std::snprintf(name, sizeof name, "%X.SRV", fn);
        return name;
    }
    std::string key;
    void start_satsim(const std::string& loss, const std::string& corrupt, bool tcp = false)
    {
        std::vector<std::string> args{bin + "/orva-satsim", "--folder", served.string(), "--loss", loss, "--corrupt",
                                      corrupt, "--reorder", "0.02", "--seed", "7", "--rate", "20000", "--speed", "30",
                                      "--queue-line", "2"};
        if (tcp) {
            args.push_back("--tcp");
            args.push_back("0");
        } else {
            args.push_back("--pty");
        }
        satsim = spawn(args, root / "satsim.log", true);
        const std::string line = first_line(satsim.out, std::chrono::seconds(20));
        if (tcp) {
            ASSERT_EQ(line.rfind("TCP ", 0), 0u) << line;
            // The engine finds its TNC through the store.
            auto store = platform::Store::open(store_path, platform::Access::ReadWrite);
            ASSERT_TRUE(store);
            ASSERT_TRUE(store->write_string(key, "TNC Address", line.substr(4)));
            return;
        }
        ASSERT_EQ(line.rfind("PTY ", 0), 0u) << line;
        pty = line.substr(4);
    }
    Child start_brek(double seconds, int seed)
    {
        std::vector<std::string> args{bin + "/brek", "--headless", kSatellite, "--pass-seconds", std::to_string(seconds),
                                      "--clock-rate", "30", "--seed", std::to_string(seed), "--checkpoint-seconds", "3"};
        if (!pty.empty()) {
            args.push_back("--port");
            args.push_back(pty);
        }
        return spawn(args, root / "brek.log", false);
    }
    // Stands in for the directory viewer: marks every file the directory has announced.
    int mark_announced()
    {
        auto table = StatusTable::open(sat_dir / kStatusTableName);
        if (!table)
            return 0;
        int marked = 0;
        for (const auto& [fn, _] : files) {
            auto code = table->code_of(fn);
            if (code == kCodeGrab) {
                table->set_status(fn, kCodeAuto, true, std::uint32_t(std::time(nullptr)));
                ++marked;
            }
        }
        return marked;
    }
    int completed() const
    {
        int n = 0;
        for (const auto& [fn, bytes] : files) {
            char name[16];
            std::snprintf(name, sizeof name, "%X.DL", fn);
            if (fs::exists(sat_dir / name))
                ++n;
        }
        return n;
    }
    // Every completed file equals the served one; every hole list claims only bytes that are on
    // disk and right.
    void check_consistent()
    {
        for (const auto& [fn, bytes] : files) {
            char name[16];
            for (const char* ext : {".DL", ".DL1", ".DL2"}) {
                std::snprintf(name, sizeof name, "%X%s", fn, ext);
                if (fs::exists(sat_dir / name)) {
                    EXPECT_EQ(test::read_bytes(sat_dir / name), bytes) << name << " differs from the served file";
                }
            }
            std::snprintf(name, sizeof name, "%X.HOL", fn);
            if (!fs::exists(sat_dir / name))
                continue;
            const auto loaded = decode_hole_file(test::read_bytes(sat_dir / name));
            ASSERT_FALSE(loaded.short_file) << name << " is damaged";
            std::snprintf(name, sizeof name, "%X.ACT", fn);
            const Bytes act = fs::exists(sat_dir / name) ? test::read_bytes(sat_dir / name) : Bytes{};
            const std::uint32_t length = loaded.file.length ? loaded.file.length : std::uint32_t(bytes.size());
            std::uint32_t pos = 0;
            auto check_range = [&](std::uint32_t from, std::uint32_t to) {
                to = std::min<std::uint32_t>(to, length);
                if (from >= to)
                    return;
                ASSERT_LE(to, act.size()) << name << ": the hole list claims bytes past the end of the data";
                EXPECT_TRUE(std::equal(act.begin() + from, act.begin() + to, bytes.begin() + from))
                    << name << ": claimed bytes " << from << "-" << to << " are wrong";
            };
            for (const auto& h : loaded.file.holes.holes()) {
                check_range(pos, h.start);
                pos = h.end;
            }
            if (loaded.file.length)
                check_range(pos, length);
        }
    }
    // Passes until every file is complete; each pass marks what the directory has announced.
    void passes_until_complete(int max_passes)
    {
        for (int pass = 0; pass < max_passes && completed() < kFiles; ++pass) {
            Child b = start_brek(90, 100 + pass);
            // The viewer marks files while the pass runs.
            int status = 0;
            while (::waitpid(b.pid, &status, WNOHANG) == 0) {
                mark_announced();
                pollfd none{-1, 0, 0};
                ::poll(&none, 0, 100);
            }
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "brek failed: " << status;
            mark_announced();
            check_consistent();
        }
    }
};

TEST_F(EndToEnd, LossyPassesCompleteEveryFileByteIdentical)
{
    start_satsim("0.3", "0.02");
    passes_until_complete(12);
    EXPECT_EQ(completed(), kFiles);
    check_consistent();
    auto table = StatusTable::open(sat_dir / kStatusTableName);
    ASSERT_TRUE(table);
    for (const auto& [fn, _] : files)
        EXPECT_EQ(table->code_of(fn), kCodeDownloaded) << std::hex << fn;
    const std::string log = [&] { auto b = test::read_bytes(root / "brek.log"); return std::string(b.begin(), b.end()); }();
    EXPECT_NE(log.find("Auto: Request fill of file"), std::string::npos);
    EXPECT_NE(log.find("holes"), std::string::npos);
}

TEST_F(EndToEnd, OverTcpWithTheTncNamedInTheStore)
{
    start_satsim("0.05", "0", true);
    passes_until_complete(6);
    EXPECT_EQ(completed(), kFiles);
    check_consistent();
}

TEST_F(EndToEnd, KilledAtRandomMomentsThenEveryFileStillCompletes)
{
    start_satsim("0.3", "0.02");
    std::mt19937 rng(42);
    for (int run = 0; run < 20; ++run) {
        Child b = start_brek(60, run);
        const int ms = 100 + int(rng() % 900);
        for (int waited = 0; waited < ms; waited += 50) {
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, 50);
            if (waited % 200 == 0)
                mark_announced();
        }
        ::kill(b.pid, SIGKILL);
        wait_exit(b.pid);
        check_consistent();
    }
    passes_until_complete(12);
    EXPECT_EQ(completed(), kFiles);
    check_consistent();
}

} // namespace
} // namespace orva::engine

// A station in a temporary folder for the tests that run the real programs: a store with one
// satellite, a folder of files for the simulated satellite to serve, `orva satsim` on a
// pseudo-terminal or TCP, and `brek` started as a child whose output the test reads.
#pragma once

#include "common/pfh/pfh_builder.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/directory/status_codes.h"
#include "engine/directory/status_table.h"
#include "engine/tests/reception_test_util.h"
#include "platform/store/store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <map>
#include <optional>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace orva::engine::test {

namespace fs = std::filesystem;

// A child process; its stdout is read line by line when piped, stderr goes to a log file.
class Child {
public:
    Child() = default;
    Child(const std::vector<std::string>& argv, const fs::path& log, bool pipe_out)
    {
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        int p[2] = {-1, -1};
        if (pipe_out) {
            EXPECT_EQ(::pipe2(p, O_CLOEXEC), 0);
            posix_spawn_file_actions_adddup2(&fa, p[1], 1);
            posix_spawn_file_actions_addopen(&fa, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        } else {
            posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            posix_spawn_file_actions_adddup2(&fa, 1, 2);
        }
        const int rc = posix_spawn(&pid_, args[0], &fa, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&fa);
        EXPECT_EQ(rc, 0) << argv[0];
        if (pipe_out) {
            ::close(p[1]);
            out_ = p[0];
            ::fcntl(out_, F_SETFL, ::fcntl(out_, F_GETFL) | O_NONBLOCK);
        }
    }
    Child(Child&& o) noexcept { *this = std::move(o); }
    Child& operator=(Child&& o) noexcept
    {
        std::swap(pid_, o.pid_);
        std::swap(out_, o.out_);
        std::swap(exit_, o.exit_);
        std::swap(lines_, o.lines_);
        std::swap(partial_, o.partial_);
        return *this;
    }
    ~Child()
    {
        if (pid_ > 0 && !exit_) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        if (out_ >= 0)
            ::close(out_);
    }

    pid_t pid() const { return pid_; }

    // Reads what the child has printed so far, without waiting.
    void read_available()
    {
        char buf[4096];
        while (out_ >= 0) {
            const ssize_t n = ::read(out_, buf, sizeof buf);
            if (n == 0) { // the end of its output
                ::close(out_);
                out_ = -1;
            }
            if (n <= 0)
                break;
            for (ssize_t i = 0; i < n; ++i) {
                if (buf[i] == '\n') {
                    lines_.push_back(partial_);
                    partial_.clear();
                } else {
                    partial_ += buf[i];
                }
            }
        }
    }
    // Waits at most `timeout` for the output or the end of the child: whichever comes first.
    void wait_output(std::chrono::milliseconds timeout)
    {
        pollfd p{out_, POLLIN, 0}; // with no output left, just the wait
        ::poll(&p, out_ >= 0 ? 1 : 0, int(timeout.count()));
        read_available();
    }
    const std::vector<std::string>& lines()
    {
        read_available();
        return lines_;
    }
    bool printed(const std::string& text)
    {
        for (const auto& l : lines())
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }
    // Waits for a line containing `text`, at most `timeout`.
    bool wait_line(const std::string& text, std::chrono::milliseconds timeout)
    {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (!printed(text)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || exited())
                return printed(text);
            wait_output(std::min(left, std::chrono::milliseconds(200)));
        }
        return true;
    }

    // The exit code, or minus the signal.
    std::optional<int> exited()
    {
        if (exit_)
            return exit_;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_)
            exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return exit_;
    }
    int wait()
    {
        if (exit_)
            return *exit_;
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return *exit_;
    }
    // Waits at most `timeout` for the end (reading its output meanwhile).
    std::optional<int> wait_for(std::chrono::milliseconds timeout)
    {
        const int pidfd = int(::syscall(SYS_pidfd_open, pid_, 0));
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (!exited()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p[2] = {{pidfd, POLLIN, 0}, {out_, POLLIN, 0}};
            ::poll(p, out_ >= 0 ? 2 : 1, int(left.count()));
            read_available();
        }
        if (pidfd >= 0)
            ::close(pidfd);
        read_available();
        return exit_;
    }
    void kill(int sig)
    {
        if (pid_ > 0 && !exit_)
            ::kill(pid_, sig);
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::optional<int> exit_;
    std::vector<std::string> lines_;
    std::string partial_;
};

struct SimStation {
    static constexpr std::uint32_t kFirst = 0x101;
    inline static const std::string kSatellite = "AO-16";

    TempFolder root;
    fs::path store_path, served, sat_dir;
    std::map<std::uint32_t, Bytes> files;
    std::string key;
    std::optional<Child> satsim;
    std::string pty;
    std::string bin = ORVA_BIN_DIR;

    // `count` files from `smallest` to `largest` bytes, sizes growing geometrically.
    void create(int count, std::size_t smallest, std::size_t largest)
    {
        store_path = root / "store.db";
        served = root / "served";
        fs::create_directories(served);
        const std::uint32_t now = std::uint32_t(std::time(nullptr));
        for (int i = 0; i < count; ++i) {
            const double share = count > 1 ? double(i) / (count - 1) : 0;
            const std::size_t size = std::size_t(double(smallest) * std::pow(double(largest) / double(smallest), share));
            pfh::PfhHeader h = header_for(kFirst + std::uint32_t(i), "File " + std::to_string(i), "ALL", "W1AW");
            h.upload_time = now - 7200 + std::uint32_t(i) * 300;
            Bytes body(size - std::min<std::size_t>(size, 120));
            std::mt19937 rng{std::uint32_t(i)};
            for (auto& b : body)
                b = std::uint8_t(rng());
            Bytes file = pfh::build_pfh_file(h, body);
            files[h.file_number] = file;
            char name[16];
            std::snprintf(name, sizeof name, "%X.SRV", h.file_number);
            write_bytes(served / name, file);
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

    void start_satsim(const std::string& loss, const std::string& corrupt, const std::string& speed, bool tcp = false)
    {
        std::vector<std::string> args{bin + "/orva-satsim", "--folder", served.string(), "--loss", loss, "--corrupt",
                                      corrupt, "--reorder", loss == "0" ? "0" : "0.02", "--seed", "7", "--rate", "20000",
                                      "--speed", speed, "--queue-line", "2"};
        if (tcp) {
            args.push_back("--tcp");
            args.push_back("0");
        } else {
            args.push_back("--pty");
        }
        satsim.emplace(args, root / "satsim.log", true);
        ASSERT_TRUE(satsim->wait_line(tcp ? "TCP " : "PTY ", std::chrono::seconds(20)));
        const std::string line = satsim->lines().front();
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

    // brek --headless SAT with the port of the simulated satellite; `extra` follows.
    std::vector<std::string> brek_args(std::vector<std::string> extra) const
    {
        std::vector<std::string> args{bin + "/brek", "--headless", kSatellite};
        if (!pty.empty()) {
            args.push_back("--port");
            args.push_back(pty);
        }
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // Stands in for the directory viewer: marks every file the directory has announced.
    int mark_announced()
    {
        auto table = StatusTable::open(sat_dir / kStatusTableName);
        if (!table)
            return 0;
        int marked = 0;
        for (const auto& [fn, _] : files) {
            if (table->code_of(fn) == kCodeGrab) {
                table->set_status(fn, kCodeAuto, true, std::uint32_t(std::time(nullptr)));
                ++marked;
            }
        }
        return marked;
    }

    static std::string name_of(std::uint32_t fn, const char* ext)
    {
        char name[24];
        std::snprintf(name, sizeof name, "%X%s", fn, ext);
        return name;
    }

    int completed() const
    {
        int n = 0;
        for (const auto& [fn, bytes] : files)
            if (fs::exists(sat_dir / name_of(fn, ".DL")))
                ++n;
        return n;
    }
};

} // namespace orva::engine::test

#include "testbed/soak/soak_processes.h"

#include "common/child_environment.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

namespace orva::soak {

namespace fs = std::filesystem;

Result<pid_t> spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const fs::path& log)
{
    std::vector<std::string> strings = environment_with(env);
    std::vector<std::string> argv_copy = argv;
    std::vector<char*> envp = exec_pointers(strings);
    std::vector<char*> args = exec_pointers(argv_copy);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0)
        return make_error("cannot start " + argv[0] + ": " + std::strerror(rc), rc);
    return pid;
}

namespace {
// "PPid:" of /proc/PID/status; none for a process that has ended and waits to be reaped.
std::optional<pid_t> parent_of(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("State:", 0) == 0 && line.find('Z') != std::string::npos)
            return std::nullopt;
        if (line.rfind("PPid:", 0) == 0)
            return pid_t(std::atoi(line.c_str() + 5));
    }
    return std::nullopt;
}

std::string program_of(pid_t pid)
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
    if (!ec)
        return exe.filename().string();
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}
} // namespace

std::vector<ProcessInfo> descendants(pid_t root)
{
    std::map<pid_t, pid_t> parents;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = pid_t(std::atoi(name.c_str()));
        if (auto parent = parent_of(pid))
            parents[pid] = *parent;
    }
    std::vector<ProcessInfo> out;
    std::vector<pid_t> frontier{root};
    while (!frontier.empty()) {
        const pid_t p = frontier.back();
        frontier.pop_back();
        for (const auto& [child, parent] : parents)
            if (parent == p) {
                out.push_back({child, parent, program_of(child)});
                frontier.push_back(child);
            }
    }
    return out;
}

std::optional<std::uint64_t> resident_kb(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::uint64_t(std::strtoull(line.c_str() + 6, nullptr, 10));
    return std::nullopt;
}

std::optional<int> thread_count(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("Threads:", 0) == 0)
            return std::atoi(line.c_str() + 8);
    return std::nullopt;
}

std::optional<int> open_descriptors(pid_t pid)
{
    std::error_code ec;
    int n = 0;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec))
        ++n;
    if (ec)
        return std::nullopt;
    return n;
}

std::vector<std::string> descriptor_targets(pid_t pid)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code le;
        fs::path target = fs::read_symlink(it->path(), le);
        out.push_back(it->path().filename().string() + " " + (le ? "?" : target.string()));
    }
    std::sort(out.begin(), out.end());
    return out;
}

Result<SilentLine> SilentLine::open()
{
    SilentLine line;
    line.master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line.master_ < 0 || ::grantpt(line.master_) != 0 || ::unlockpt(line.master_) != 0)
        return make_error(std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
    line.path_ = ::ptsname(line.master_);
    // Held open so the line stays up however often the station opens and closes it.
    line.slave_ = ::open(line.path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (line.slave_ >= 0 && ::tcgetattr(line.slave_, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(line.slave_, TCSANOW, &t);
    }
    ::fcntl(line.master_, F_SETFL, ::fcntl(line.master_, F_GETFL) | O_NONBLOCK);
    return line;
}

SilentLine::SilentLine(SilentLine&& other) noexcept
    : master_(other.master_), slave_(other.slave_), path_(std::move(other.path_)), heard_(other.heard_)
{
    other.master_ = other.slave_ = -1;
}

SilentLine& SilentLine::operator=(SilentLine&& other) noexcept
{
    if (this != &other) {
        close_all();
        master_ = std::exchange(other.master_, -1);
        slave_ = std::exchange(other.slave_, -1);
        path_ = std::move(other.path_);
        heard_ = other.heard_;
    }
    return *this;
}

SilentLine::~SilentLine() { close_all(); }

void SilentLine::close_all()
{
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
    master_ = slave_ = -1;
}

std::uint64_t SilentLine::drain()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = master_ >= 0 ? ::read(master_, buf, sizeof buf) : -1;
        if (n <= 0)
            break;
        heard_ += std::uint64_t(n);
    }
    return heard_;
}

} // namespace orva::soak

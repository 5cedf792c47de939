#include "mailproc/spawn_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace orva::mailproc {

namespace fs = std::filesystem;

namespace {

struct Translation {
    const char* dos_program;
    std::vector<std::string> dos_lead; // leading DOS arguments replaced by linux_lead
    const char* linux_program;
    std::vector<std::string> linux_lead;
    bool own_program; // one of the suite's programs, beside the running one
};

const Translation table[] = {
    {"PKUNZIP.EXE", {"-e"}, "unzip", {"-j", "-o"}, false}, // junk paths: members land in the folder
    {"LHA.EXE", {"e"}, "lha", {"e"}, false},
    {"PKUNPAK.EXE", {}, "nomarch", {"-U"}, false}, // -U keeps the archive's own case
    {"ELEMIX.EXE", {}, "elemix", {}, true},
    {"LECTEL.EXE", {}, "lectel", {}, true},
};

bool same_ignoring_case(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

struct Spawned {
    pid_t pid = -1;
    std::string error;
};

Spawned spawn(const LinuxCommand& cmd, const fs::path& folder, bool own_group, bool idle)
{
    Spawned out;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (idle) { // hidden: nothing to read, nothing shown
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (own_group) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attr, 0);
    }
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, flags);

    std::vector<char*> argv;
    for (const auto& a : cmd.argv)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int rc = cmd.program.find('/') == std::string::npos
        ? posix_spawnp(&out.pid, cmd.program.c_str(), &actions, &attr, argv.data(), environ)
        : posix_spawn(&out.pid, cmd.program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        out.pid = -1;
        out.error = cmd.program + ": " + std::strerror(rc);
    } else if (idle) {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(out.pid), 19);
    }
    return out;
}

// A program that exits at once with 127 is how posix_spawnp reports a missing program on
// some libcs; the caller treats that as "did not run" too.
RunOutcome wait_with_limits(pid_t pid, const RunLimits& limits)
{
    RunOutcome out;
    const auto deadline = std::chrono::steady_clock::now() + limits.time_limit;
    int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            out.end = RunEnd::Exited;
            out.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (r < 0 && errno != EINTR) {
            out.end = RunEnd::Exited;
            break;
        }
        bool over_time = std::chrono::steady_clock::now() >= deadline;
        bool stop = !over_time && limits.keep_going && !limits.keep_going();
        if (over_time || stop) {
            ::kill(-pid, SIGKILL); // the whole group: an extractor may have children
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            out.end = over_time ? RunEnd::TimedOut : RunEnd::Stopped;
            break;
        }
        // Wake on the exit itself, or every 50 ms to look at the limits.
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            ::poll(&p, 1, 50);
        } else {
            ::usleep(20000);
        }
    }
    if (pidfd >= 0)
        ::close(pidfd);
    return out;
}

} // namespace

std::optional<LinuxCommand> translate_command(const ExternalCommand& command, const fs::path& bin_dir)
{
    for (const auto& t : table) {
        if (!same_ignoring_case(command.program, t.dos_program))
            continue;
        LinuxCommand out;
        out.program = t.own_program ? (bin_dir / t.linux_program).string() : t.linux_program;
        out.argv.push_back(t.linux_program);
        std::size_t skip = 0;
        if (command.args.size() >= t.dos_lead.size()) {
            bool lead = true;
            for (std::size_t i = 0; i < t.dos_lead.size(); ++i)
                lead = lead && same_ignoring_case(command.args[i], t.dos_lead[i].c_str());
            if (lead)
                skip = t.dos_lead.size();
        }
        out.argv.insert(out.argv.end(), t.linux_lead.begin(), t.linux_lead.end());
        out.argv.insert(out.argv.end(), command.args.begin() + static_cast<long>(skip), command.args.end());
        return out;
    }
    return std::nullopt;
}

RunOutcome SpawnRunner::run_and_wait(const ExternalCommand& command, const fs::path& folder, const RunLimits& limits)
{
    auto cmd = translate_command(command, bin_dir_);
    if (!cmd) {
        RunOutcome out;
        out.detail = "no program for " + command.program;
        return out;
    }
    return run_linux(*cmd, folder, limits);
}

RunOutcome SpawnRunner::run_linux(const LinuxCommand& command, const fs::path& folder, const RunLimits& limits)
{
    RunOutcome out;
    const LinuxCommand* cmd = &command;
    Spawned s = spawn(*cmd, folder, true, true);
    if (s.pid < 0) {
        out.detail = s.error;
        return out;
    }
    out = wait_with_limits(s.pid, limits);
    if (out.end == RunEnd::Exited && out.exit_status == 127) {
        out.end = RunEnd::NotStarted;
        out.detail = cmd->program + " could not be run";
    }
    return out;
}

Status SpawnRunner::start(const ExternalCommand& command, const fs::path& folder)
{
    auto cmd = translate_command(command, bin_dir_);
    if (!cmd)
        return make_error("no program for " + command.program);
    Spawned s = spawn(*cmd, folder, false, false);
    if (s.pid < 0)
        return make_error(s.error);
    // Not waited for, but reaped when it ends so that no zombie stays behind.
    std::thread([pid = s.pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return {};
}

fs::path running_program_folder()
{
    std::error_code ec;
    auto self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path(ec) : self.parent_path();
}

} // namespace orva::mailproc

#include "cli/demo/child.h"

#include "common/child_environment.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orva::tools {

Result<std::unique_ptr<Child>> Child::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                                            bool pass_output)
{
    int fds[2] = {-1, -1};
    if (!pass_output && ::pipe2(fds, O_CLOEXEC) != 0)
        return make_error(std::string("cannot make a pipe: ") + std::strerror(errno));
    // Everything the child needs is built before the fork.
    std::vector<std::string> env_strings = environment_with(env);
    std::vector<std::string> argv_copy = argv;
    std::vector<char*> envp = exec_pointers(env_strings);
    std::vector<char*> args = exec_pointers(argv_copy);
    const pid_t parent = ::getpid();

    pid_t pid = ::fork();
    if (pid < 0)
        return make_error(std::string("cannot start ") + argv[0] + ": " + std::strerror(errno));
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGPIPE, SIG_DFL);
        if (!pass_output) {
            ::dup2(fds[1], 1);
            ::dup2(fds[1], 2);
        }
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0)
            ::dup2(null, 0);
        ::execve(args[0], args.data(), envp.data());
        const char* msg = "cannot run the program\n";
        (void)!::write(2, msg, std::strlen(msg));
        ::_exit(127);
    }
    ::setpgid(pid, pid); // both sides, so the group exists before either goes on
    auto c = std::make_unique<Child>();
    c->pid_ = pid;
    if (!pass_output) {
        ::close(fds[1]);
        c->out_fd_ = fds[0];
        ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    }
    return c;
}

std::vector<std::string> Child::read_lines()
{
    std::vector<std::string> lines;
    lines.swap(backlog_);
    if (out_fd_ < 0)
        return lines;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(out_fd_, buf, sizeof buf);
        if (n > 0) {
            partial_.append(buf, std::size_t(n));
            continue;
        }
        if (n == 0) {
            ::close(out_fd_);
            out_fd_ = -1;
        }
        break; // EAGAIN or the end
    }
    std::size_t at;
    while ((at = partial_.find('\n')) != std::string::npos) {
        std::string line = partial_.substr(0, at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        partial_.erase(0, at + 1);
    }
    if (out_fd_ < 0 && !partial_.empty()) {
        lines.push_back(partial_);
        partial_.clear();
    }
    return lines;
}

std::optional<int> Child::poll_exit()
{
    if (exit_ || pid_ < 0)
        return exit_;
    int status = 0;
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_)
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    else if (r < 0 && errno == ECHILD)
        exit_ = -1;
    return exit_;
}

std::optional<int> Child::wait_for(std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!poll_exit()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        // The output pipe wakes us when the child writes or ends; otherwise look again soon.
        pollfd p{out_fd_, POLLIN, 0};
        if (out_fd_ >= 0) {
            ::poll(&p, 1, int(std::min<long long>(left.count(), 50)));
            std::vector<std::string> got = read_lines();
            backlog_.insert(backlog_.end(), got.begin(), got.end());
        } else {
            ::poll(nullptr, 0, int(std::min<long long>(left.count(), 20)));
        }
    }
    return exit_;
}

void Child::signal_group(int sig)
{
    if (pid_ > 0)
        ::kill(-pid_, sig);
}

int Child::stop(std::chrono::milliseconds grace)
{
    if (pid_ < 0)
        return -1;
    if (!poll_exit()) {
        signal_group(SIGTERM);
        if (!wait_for(grace)) {
            signal_group(SIGKILL);
            wait_for(std::chrono::milliseconds(2000));
        }
    }
    // Programs the child started may outlive it in its group.
    ::kill(-pid_, SIGTERM);
    if (out_fd_ >= 0) {
        ::close(out_fd_);
        out_fd_ = -1;
    }
    int code = exit_.value_or(-1);
    pid_ = -1;
    return code;
}

} // namespace orva::tools

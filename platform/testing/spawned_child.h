// A program started by a test: its stdout read line by line when piped, stderr (or both) into a
// log file; killed at the end of the test if it is still running.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace orva::test_support {

namespace fs = std::filesystem;

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
    // Every line so far, one to a line: for a failure message.
    std::string transcript()
    {
        std::string all;
        for (const auto& l : lines())
            all += l + "\n";
        return all;
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

} // namespace orva::test_support

#include "platform/testing/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace orva::test_support {

bool ChildResult::exited() const { return status != -1 && WIFEXITED(status); }

int ChildResult::exit_code() const { return exited() ? WEXITSTATUS(status) : -1; }

namespace {

std::vector<char*> pointers(std::vector<std::string>& words)
{
    std::vector<char*> out;
    for (auto& w : words)
        out.push_back(w.data());
    out.push_back(nullptr);
    return out;
}

void drain_both(int out_fd, int err_fd, ChildResult& r)
{
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* into[2] = {&r.out, &r.err};
    int open_count = 2;
    while (open_count > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[4096];
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                into[i]->append(buf, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
}

} // namespace

ChildResult run_child(const std::string& exe, const std::vector<std::string>& args, std::vector<std::string> env)
{
    ChildResult r;
    bool has_path = std::any_of(env.begin(), env.end(), [](const std::string& e) { return e.rfind("PATH=", 0) == 0; });
    if (!has_path) {
        const char* path = std::getenv("PATH");
        env.push_back(std::string("PATH=") + (path ? path : "/usr/bin:/bin"));
    }
    std::vector<std::string> argv_words{exe};
    argv_words.insert(argv_words.end(), args.begin(), args.end());
    auto argv = pointers(argv_words);
    auto envp = pointers(env);

    int out[2], err[2];
    if (::pipe(out) != 0)
        return r;
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return r;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    // Never the test's own terminal: a program that asks finds the end of its input.
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    posix_spawn_file_actions_addclose(&fa, err[0]);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        ::close(out[0]);
        ::close(err[0]);
        r.err = "cannot start " + exe;
        return r;
    }
    drain_both(out[0], err[0], r);
    while (::waitpid(pid, &r.status, 0) < 0 && errno == EINTR) {
    }
    return r;
}

} // namespace orva::test_support

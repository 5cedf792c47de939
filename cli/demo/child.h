// A program the demo runs: in a process group of its own (so the programs it starts in turn
// are stopped with it), its output read line by line through one pipe, ended when the parent
// dies.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace orva::tools {

class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { stop(std::chrono::milliseconds(3000)); }

    // Starts argv[0] (a path) with `env` added to the environment; stdout and stderr go to
    // the pipe unless `pass_output`.
    static Result<std::unique_ptr<Child>> start(const std::vector<std::string>& argv,
                                                const std::vector<std::string>& env, bool pass_output = false);

    int pid() const { return pid_; }
    int output_fd() const { return out_fd_; }
    // Reads what is waiting; whole lines come back (a last partial line at end of output too).
    std::vector<std::string> read_lines();
    bool output_closed() const { return out_fd_ < 0; }

    // Non-blocking: the exit code once it has ended (128 + signal for a signal).
    std::optional<int> poll_exit();
    // Waits up to `limit` for the end.
    std::optional<int> wait_for(std::chrono::milliseconds limit);
    // SIGTERM to the whole group, then SIGKILL after `grace`; the exit code.
    int stop(std::chrono::milliseconds grace);
    void signal_group(int sig);

private:
    int pid_ = -1;
    int out_fd_ = -1;
    std::string partial_;
    std::vector<std::string> backlog_; // lines read while waiting
    std::optional<int> exit_;
};

} // namespace orva::tools

// Runs one of our programs from a test and collects what it printed. Both pipes are read at
// once, so a chatty program cannot block on a full pipe while the test waits on the other.
#pragma once

#include <string>
#include <vector>

namespace orva::test_support {

struct ChildResult {
    int status = -1; // as waitpid gives it; -1 when the program could not be started
    std::string out;
    std::string err;

    bool exited() const;
    int exit_code() const; // -1 unless it exited
};

// `env` is the whole environment of the child (PATH is added when it is missing).
ChildResult run_child(const std::string& exe, const std::vector<std::string>& args,
                      std::vector<std::string> env);

} // namespace orva::test_support

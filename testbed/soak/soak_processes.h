// Processes as the soak sees them: programs started in process groups of their own with their
// output in a file, the tree of processes below the bench read from /proc, and what one holds.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace orva::soak {

// argv[0] is a path; `env` entries ("NAME=value") are added to the bench's environment; standard
// output and error are appended to `log`; standard input is /dev/null.
Result<pid_t> spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    const std::filesystem::path& log);

struct ProcessInfo {
    pid_t pid = 0;
    pid_t parent = 0;
    std::string program; // the file name of its executable
};

// Every process below `root` (children, theirs, and so on), from /proc.
std::vector<ProcessInfo> descendants(pid_t root);

// Resident memory in kB (VmRSS) and open descriptors; none once the process is gone.
std::optional<std::uint64_t> resident_kb(pid_t pid);
std::optional<int> thread_count(pid_t pid);
std::optional<int> open_descriptors(pid_t pid);
// What each open descriptor refers to ("socket:[1234]", a path).
std::vector<std::string> descriptor_targets(pid_t pid);

// A pseudo-terminal that is read and never answered: a TNC whose satellite stays silent.
class SilentLine {
public:
    static Result<SilentLine> open();
    SilentLine(SilentLine&& other) noexcept;
    SilentLine& operator=(SilentLine&& other) noexcept;
    ~SilentLine();
    const std::string& path() const { return path_; }
    // Reads and drops whatever the station sent; the bytes heard so far.
    std::uint64_t drain();

private:
    SilentLine() = default;
    void close_all();
    int master_ = -1, slave_ = -1;
    std::string path_;
    std::uint64_t heard_ = 0;
};

} // namespace orva::soak

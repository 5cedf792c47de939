// The programs the mail processor starts, as the suite names them ("PKUNZIP.EXE -e NAME"), and
// the small interfaces through which it starts them and tells other windows.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mailproc/file_rules.h"
#include "platform/result.h"

namespace orva::mailproc {

struct ExternalCommand {
    std::string program;           // DOS name: "PKUNZIP.EXE", "ELEMIX.EXE", ...
    std::vector<std::string> args; // one element per argument, never split again
};

ExternalCommand decompressor_command(Compression c, const std::string& body_name);
// "ELEMIX.EXE F~<keps folder>/<name> K~NASA|AMSAT"
ExternalCommand elemix_command(const std::filesystem::path& keps_folder, const std::string& name, std::uint8_t type);
// "LECTEL.EXE <own-mail folder>/<number>.DLM"
ExternalCommand lectel_command(const std::filesystem::path& message_file);

enum class RunEnd { Exited, NotStarted, TimedOut, Stopped };

struct RunOutcome {
    RunEnd end = RunEnd::NotStarted;
    int exit_status = -1;
    std::string detail; // why it did not start, for the terminal
};

struct RunLimits {
    std::chrono::milliseconds time_limit{300000};
    // Asked now and then while the program runs; false stops it (the size cap).
    std::function<bool()> keep_going;
};

class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    // Runs in `folder` hidden, at idle priority, and waits for the end or a limit.
    virtual RunOutcome run_and_wait(const ExternalCommand& command, const std::filesystem::path& folder,
        const RunLimits& limits) = 0;
    // Starts in `folder` and does not wait.
    virtual Status start(const ExternalCommand& command, const std::filesystem::path& folder) = 0;
};

// Window messages to other programs, found by window class and title.
class WindowPoster {
public:
    virtual ~WindowPoster() = default;
    virtual void post(std::string_view window_class, std::string_view title, std::uint32_t number,
        std::uint64_t wparam, std::int64_t lparam) = 0;
};

inline constexpr std::uint32_t message_file_filed = 2028; // to "Tessel [%s]", long = file number

class NewMailSound {
public:
    virtual ~NewMailSound() = default;
    virtual void play() = 0;
};

} // namespace orva::mailproc

// Starts the programs the suite names by their DOS names, through one table:
//
//   "BREK.EXE" "TESSEL.EXE" "DISPO.EXE" "ELEMIX.EXE" "HELMO.EXE" "PIXORA.EXE"
//   "QUILLET.EXE" "LECTEL.EXE" "ORVA.EXE"
//                                     -> brek, tessel, ... beside the running program
//   "NOTEPAD.EXE"                      -> $VISUAL, else $EDITOR, else xdg-open
//   "PKUNZIP.EXE"                      -> unzip ("-e" becomes "-j -o": flat, overwrite)
//   "LHA.EXE"                          -> lha (lhasa)
//   "PKUNPAK.EXE"                      -> nomarch
//
// The name is matched on the last component of the first word, without regard to case and with
// or without ".EXE", so "%s\DISPO.EXE" with the suite folder in front still means our dispo. Any
// other first word is a path (run as it is) or a program looked up in $PATH. The text is split
// into words (command_line.h) and started with posix_spawn, never through a shell.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace orva::platform {

// How the original system showed a started program's window. Accepted and ignored: the
// desktop decides how new windows appear.
enum class ShowMode { Normal, Minimised, MinimisedNoActivate, Maximised, Hidden };

struct LaunchOptions {
    std::filesystem::path working_directory; // empty: the caller's
    ShowMode show = ShowMode::Normal;
    bool idle_priority = false;              // the decompressors run at the lowest priority
};

// Where the launcher looks; tests point it at their own folder and environment.
struct LaunchEnvironment {
    std::filesystem::path program_dir; // our executables; default: the running program's folder
    std::function<std::optional<std::string>(const char* name)> getenv;

    static LaunchEnvironment current();
};

struct ResolvedCommand {
    std::filesystem::path executable;
    std::vector<std::string> argv; // argv[0] is the program's own name
};

// Maps the first word through the table and finds the executable; a program that is not there is
// an error naming what was looked for.
Result<ResolvedCommand> resolve_command(std::vector<std::string> words, const LaunchEnvironment& environment);

class Process {
public:
    Process() = default;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    // A process nobody waited for is reaped in the background when it ends; it is not killed.
    ~Process();

    int pid() const { return pid_; }
    const std::string& name() const { return name_; }
    bool running();

    // Waits for the end: the exit code, or an error when a signal ended it.
    Result<int> wait();
    // As wait(), but gives up after `limit`: nullopt while it still runs.
    Result<std::optional<int>> wait_for(std::chrono::milliseconds limit);
    // Waits up to `limit`, then kills it: a program that overran is an error.
    Result<int> wait_or_kill(std::chrono::milliseconds limit);
    void kill();
    // Asks it to end (SIGTERM), as a desktop asks a window to close.
    void terminate();

private:
    friend class Launcher;
    Process(int pid, int pidfd, std::string name) : pid_(pid), pidfd_(pidfd), name_(std::move(name)) {}
    void reap(int status);
    void release();
    int pid_ = -1;
    int pidfd_ = -1;
    std::string name_;
    std::optional<Result<int>> result_;
};

class Launcher {
public:
    explicit Launcher(LaunchEnvironment environment = LaunchEnvironment::current());

    Result<Process> start(std::string_view command_text, const LaunchOptions& options = {}) const;
    // Words already split: each reaches the program as one argument, whatever it holds.
    Result<Process> start(std::vector<std::string> words, const LaunchOptions& options = {}) const;

    const LaunchEnvironment& environment() const { return environment_; }

private:
    LaunchEnvironment environment_;
};

} // namespace orva::platform

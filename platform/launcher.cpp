#include "platform/launcher.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/command_line.h"

extern char** environ;

namespace orva::platform {

namespace {

enum class Target { Ours, Tool, Editor };

struct ProgramRow {
    std::string_view dos_name;
    Target target;
    std::string_view executable;
};

constexpr std::array program_table = {
    ProgramRow{"BREK.EXE", Target::Ours, "brek"},
    ProgramRow{"TESSEL.EXE", Target::Ours, "tessel"},
    ProgramRow{"DISPO.EXE", Target::Ours, "dispo"},
    ProgramRow{"ELEMIX.EXE", Target::Ours, "elemix"},
    ProgramRow{"HELMO.EXE", Target::Ours, "helmo"},
    ProgramRow{"PIXORA.EXE", Target::Ours, "pixora"},
    ProgramRow{"QUILLET.EXE", Target::Ours, "quillet"},
    ProgramRow{"LECTEL.EXE", Target::Ours, "lectel"},
    // An event's "orva elements update" runs the orva installed with the station, not another.
    ProgramRow{"ORVA.EXE", Target::Ours, "orva"},
    ProgramRow{"NOTEPAD.EXE", Target::Editor, ""},
    ProgramRow{"PKUNZIP.EXE", Target::Tool, "unzip"},
    ProgramRow{"LHA.EXE", Target::Tool, "lha"},
    ProgramRow{"PKUNPAK.EXE", Target::Tool, "nomarch"},
};

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string_view last_component(std::string_view word)
{
    auto slash = word.find_last_of("/\\");
    return slash == std::string_view::npos ? word : word.substr(slash + 1);
}

const ProgramRow* find_row(std::string_view first_word)
{
    std::string name = upper(last_component(first_word));
    if (!name.ends_with(".EXE"))
        name += ".EXE";
    for (const ProgramRow& row : program_table)
        if (row.dos_name == name)
            return &row;
    return nullptr;
}

bool executable_file(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

Result<std::filesystem::path> find_in_path(const std::string& program, const LaunchEnvironment& environment)
{
    if (program.find('/') != std::string::npos) {
        if (executable_file(program))
            return std::filesystem::path(program);
        return make_error("program not found: " + program, ENOENT);
    }
    std::string path = environment.getenv ? environment.getenv("PATH").value_or("/usr/bin:/bin") : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        std::filesystem::path dir = path.substr(start, end - start);
        if (dir.empty())
            dir = ".";
        if (executable_file(dir / program))
            return dir / program;
        start = end + 1;
    }
    return make_error("program not found: " + program + " (not in $PATH)", ENOENT);
}

} // namespace

LaunchEnvironment LaunchEnvironment::current()
{
    LaunchEnvironment environment;
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    environment.program_dir = ec ? std::filesystem::current_path(ec) : self.parent_path();
    environment.getenv = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr)
            return std::nullopt;
        return std::string(value);
    };
    return environment;
}

Result<ResolvedCommand> resolve_command(std::vector<std::string> words, const LaunchEnvironment& environment)
{
    if (words.empty() || words.front().empty())
        return make_error("the command is empty");
    std::vector<std::string> rest(words.begin() + 1, words.end());
    const ProgramRow* row = find_row(words.front());
    if (row == nullptr) {
        // Not one of the suite's names: a path or a Linux program, run as written.
        std::string program = words.front();
        auto found = find_in_path(program, environment);
        if (!found)
            return found.error();
        words.front() = found->filename().string();
        return ResolvedCommand{*found, std::move(words)};
    }
    switch (row->target) {
    case Target::Ours: {
        std::filesystem::path exe = environment.program_dir / row->executable;
        if (!executable_file(exe))
            return make_error("program not found: " + exe.string() + " (for " + std::string(row->dos_name) + ")", ENOENT);
        std::vector<std::string> argv{std::string(row->executable)};
        argv.insert(argv.end(), rest.begin(), rest.end());
        return ResolvedCommand{exe, std::move(argv)};
    }
    case Target::Tool: {
        auto exe = find_in_path(std::string(row->executable), environment);
        if (!exe)
            return make_error(exe.error().message + " (for " + std::string(row->dos_name) + ")", ENOENT);
        std::vector<std::string> argv{std::string(row->executable)};
        for (const std::string& word : rest) {
            if (row->executable == "unzip" && upper(word) == "-E") {
                argv.push_back("-j"); // PKUNZIP -e extracts without folders
                argv.push_back("-o"); // and never stops to ask about overwriting
            } else {
                argv.push_back(word);
            }
        }
        return ResolvedCommand{*exe, std::move(argv)};
    }
    case Target::Editor: {
        std::vector<std::string> editor;
        for (const char* variable : {"VISUAL", "EDITOR"}) {
            auto value = environment.getenv ? environment.getenv(variable) : std::nullopt;
            if (!value || value->find_first_not_of(" \t") == std::string::npos)
                continue;
            auto split = split_command_line(*value); // "emacsclient -c" is a program and an option
            if (split) {
                editor = std::move(*split);
                break;
            }
        }
        if (editor.empty())
            editor = {"xdg-open"};
        auto exe = find_in_path(editor.front(), environment);
        if (!exe)
            return make_error("no text editor: set $VISUAL or $EDITOR, or install xdg-open (" + exe.error().message + ")",
                              ENOENT);
        editor.front() = exe->filename().string();
        editor.insert(editor.end(), rest.begin(), rest.end());
        return ResolvedCommand{*exe, std::move(editor)};
    }
    }
    return make_error("unknown program kind");
}

Launcher::Launcher(LaunchEnvironment environment) : environment_(std::move(environment)) {}

Result<Process> Launcher::start(std::string_view command_text, const LaunchOptions& options) const
{
    auto words = split_command_line(command_text);
    if (!words)
        return words.error();
    return start(std::move(*words), options);
}

Result<Process> Launcher::start(std::vector<std::string> words, const LaunchOptions& options) const
{
    auto resolved = resolve_command(std::move(words), environment_);
    if (!resolved)
        return resolved.error();
    std::error_code ec;
    if (!options.working_directory.empty() && !std::filesystem::is_directory(options.working_directory, ec))
        return make_error("cannot start " + resolved->argv[0] + ": the folder " + options.working_directory.string() +
                              " does not exist",
                          ENOENT);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!options.working_directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.working_directory.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The child starts with no blocked signals and default handlers, whatever this program uses.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (std::string& word : resolved->argv)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, resolved->executable.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0)
        return make_error("cannot start " + resolved->executable.string() + ": " + std::strerror(rc), rc);
    if (options.idle_priority)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(pid), 19);
    int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    return Process(pid, pidfd, resolved->argv[0]);
}

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), pidfd_(std::exchange(other.pidfd_, -1)), name_(std::move(other.name_)),
      result_(std::move(other.result_))
{
}

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        release();
        pid_ = std::exchange(other.pid_, -1);
        pidfd_ = std::exchange(other.pidfd_, -1);
        name_ = std::move(other.name_);
        result_ = std::move(other.result_);
    }
    return *this;
}

Process::~Process()
{
    release();
}

void Process::release()
{
    if (pidfd_ >= 0)
        ::close(pidfd_);
    pidfd_ = -1;
    if (pid_ > 0 && !result_) {
        // Nobody will wait: reap it when it ends so it does not linger as a zombie.
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == 0)
            std::thread([pid = pid_] {
                int ignored = 0;
                while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
                }
            }).detach();
    }
    pid_ = -1;
}

void Process::reap(int status)
{
    if (WIFEXITED(status))
        result_ = Result<int>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        result_ = Result<int>(make_error(name_ + " was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
                                             ::strsignal(WTERMSIG(status)) + ")",
                                         WTERMSIG(status)));
    else
        result_ = Result<int>(make_error(name_ + " ended in an unknown way"));
}

bool Process::running()
{
    if (pid_ <= 0 || result_)
        return false;
    int status = 0;
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        reap(status);
        return false;
    }
    return r == 0;
}

Result<int> Process::wait()
{
    if (result_)
        return *result_;
    if (pid_ <= 0)
        return make_error("no process to wait for");
    int status = 0;
    for (;;) {
        pid_t r = ::waitpid(pid_, &status, 0);
        if (r == pid_) {
            reap(status);
            return *result_;
        }
        if (r < 0 && errno != EINTR)
            return make_error("waiting for " + name_ + ": " + std::strerror(errno), errno);
    }
}

Result<std::optional<int>> Process::wait_for(std::chrono::milliseconds limit)
{
    if (!result_ && pid_ > 0) {
        if (pidfd_ >= 0) {
            const auto deadline = std::chrono::steady_clock::now() + limit;
            for (;;) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
                pollfd pfd{pidfd_, POLLIN, 0};
                int r = ::poll(&pfd, 1, static_cast<int>(std::max<std::int64_t>(0, left.count())));
                if (r > 0)
                    break;
                if (r == 0)
                    return std::optional<int>();
                if (errno != EINTR)
                    return make_error("waiting for " + name_ + ": " + std::strerror(errno), errno);
            }
        }
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, pidfd_ >= 0 ? 0 : WNOHANG);
        if (r == 0)
            return std::optional<int>(); // without pidfd only an immediate answer is possible
        if (r != pid_)
            return make_error("waiting for " + name_ + ": " + std::strerror(errno), errno);
        reap(status);
    }
    auto result = wait();
    if (!result)
        return result.error();
    return std::optional<int>(*result);
}

Result<int> Process::wait_or_kill(std::chrono::milliseconds limit)
{
    auto done = wait_for(limit);
    if (!done)
        return done.error();
    if (*done)
        return **done;
    kill();
    [[maybe_unused]] auto ended = wait();
    return make_error(name_ + " did not finish within " + std::to_string(limit.count()) + " ms and was stopped", ETIMEDOUT);
}

void Process::terminate()
{
    if (pid_ > 0 && !result_)
        ::kill(pid_, SIGTERM);
}

void Process::kill()
{
    if (pid_ > 0 && !result_)
        ::kill(pid_, SIGKILL);
}

} // namespace orva::platform

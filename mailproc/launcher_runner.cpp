#include "mailproc/launcher_runner.h"

namespace orva::mailproc {

namespace {

std::vector<std::string> words_of(const ExternalCommand& command)
{
    std::vector<std::string> words{command.program};
    words.insert(words.end(), command.args.begin(), command.args.end());
    return words;
}

} // namespace

RunOutcome LauncherRunner::run_and_wait(const ExternalCommand& command, const std::filesystem::path& folder,
    const RunLimits& limits)
{
    return run_words(words_of(command), folder, limits);
}

RunOutcome LauncherRunner::run_words(std::vector<std::string> words, const std::filesystem::path& folder,
    const RunLimits& limits)
{
    RunOutcome out;
    platform::LaunchOptions options;
    options.working_directory = folder;
    options.show = platform::ShowMode::Hidden;
    options.idle_priority = true;
    auto started = launcher_.start(std::move(words), options);
    if (!started) {
        out.detail = started.error().message;
        return out;
    }
    platform::Process& process = *started;
    const auto deadline = std::chrono::steady_clock::now() + limits.time_limit;
    for (;;) {
        // Short slices, so that the size cap is looked at while the extractor writes.
        auto done = process.wait_for(std::chrono::milliseconds(50));
        if (!done || *done) {
            out.end = RunEnd::Exited;
            out.exit_status = done ? **done : -1;
            out.detail = done ? std::string() : done.error().message;
            return out;
        }
        const bool over_time = std::chrono::steady_clock::now() >= deadline;
        if (over_time || (limits.keep_going && !limits.keep_going())) {
            process.kill();
            [[maybe_unused]] auto ended = process.wait();
            out.end = over_time ? RunEnd::TimedOut : RunEnd::Stopped;
            return out;
        }
    }
}

Status LauncherRunner::start(const ExternalCommand& command, const std::filesystem::path& folder)
{
    platform::LaunchOptions options;
    options.working_directory = folder;
    auto started = launcher_.start(words_of(command), options);
    if (!started)
        return started.error();
    return {}; // not waited for: the launcher reaps it when it ends
}

} // namespace orva::mailproc

// The mail processor's ProcessRunner over the platform launcher: the DOS command words go to the
// launcher's table ("PKUNZIP.EXE -e" is `unzip -j -o`, "LHA.EXE e" is `lha e`, "PKUNPAK.EXE" is
// `nomarch`, "ELEMIX.EXE" and "LECTEL.EXE" our programs), and a waited run is watched for its
// limits while it goes.
#pragma once

#include <string>
#include <vector>

#include "mailproc/external_programs.h"
#include "platform/launcher.h"

namespace orva::mailproc {

class LauncherRunner : public ProcessRunner {
public:
    explicit LauncherRunner(platform::Launcher launcher = platform::Launcher()) : launcher_(std::move(launcher)) {}
    RunOutcome run_and_wait(const ExternalCommand& command, const std::filesystem::path& folder,
        const RunLimits& limits) override;
    Status start(const ExternalCommand& command, const std::filesystem::path& folder) override;
    // The same for words the launcher takes as they are (a path or a program in $PATH).
    RunOutcome run_words(std::vector<std::string> words, const std::filesystem::path& folder, const RunLimits& limits);

private:
    platform::Launcher launcher_;
};

} // namespace orva::mailproc

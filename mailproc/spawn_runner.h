// Starts the suite's external programs with posix_spawn: the DOS names map to the Linux tools
// ("PKUNZIP.EXE -e" is `unzip -j -o`, "LHA.EXE e" is `lha e`, "PKUNPAK.EXE" is `nomarch`) and to
// the suite's own programs in `bin_dir`. Never through a shell.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "mailproc/external_programs.h"

namespace orva::mailproc {

struct LinuxCommand {
    std::string program; // a path, or a name looked up in PATH
    std::vector<std::string> argv; // argv[0] included
};

// None for a program the table does not know.
std::optional<LinuxCommand> translate_command(const ExternalCommand& command, const std::filesystem::path& bin_dir);

class SpawnRunner : public ProcessRunner {
public:
    explicit SpawnRunner(std::filesystem::path bin_dir) : bin_dir_(std::move(bin_dir)) {}
    RunOutcome run_and_wait(const ExternalCommand& command, const std::filesystem::path& folder,
        const RunLimits& limits) override;
    Status start(const ExternalCommand& command, const std::filesystem::path& folder) override;
    // The same for a command already in Linux terms.
    RunOutcome run_linux(const LinuxCommand& command, const std::filesystem::path& folder, const RunLimits& limits);

private:
    std::filesystem::path bin_dir_;
};

// The folder of the running executable.
std::filesystem::path running_program_folder();

} // namespace orva::mailproc

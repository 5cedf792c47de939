// One command-line grammar for every program: --help prints the usage on standard output and ends
// with 0, --version prints the suite's version, and a usage error prints the message and the usage
// on standard error and ends with 2. The parser is CLI11, seen only by program_options.cpp, so the
// programs' mains stay quick to compile and none of its exceptions leaves this library.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orva::platform {

class ProgramOptions {
public:
    // `name` as the usage line shows it ("orva look"); `about` says in a line what the program does.
    ProgramOptions(const std::string& name, const std::string& about);
    ~ProgramOptions();
    ProgramOptions(const ProgramOptions&) = delete;
    ProgramOptions& operator=(const ProgramOptions&) = delete;

    // `names` as CLI11 takes them: "--json", "-q,--quiet". Values use `value_name` in the usage.
    ProgramOptions& flag(const std::string& names, bool& target, const std::string& help);
    ProgramOptions& option(const std::string& names, std::string& target, const std::string& help,
                           const std::string& value_name = "TEXT");
    // Numbers outside [min, max] are usage errors.
    ProgramOptions& option(const std::string& names, double& target, const std::string& help,
                           const std::string& value_name, double min, double max);
    ProgramOptions& option(const std::string& names, long& target, const std::string& help,
                           const std::string& value_name, long min, long max);
    // Each use of the option adds one value.
    ProgramOptions& option(const std::string& names, std::vector<std::string>& target, const std::string& help,
                           const std::string& value_name = "TEXT");
    // One of the listed words, compared without regard to case; the target gets the listed spelling.
    ProgramOptions& choice(const std::string& names, std::string& target, const std::vector<std::string>& words,
                           const std::string& help);

    ProgramOptions& positional(const std::string& name, std::string& target, const std::string& help,
                               bool required = true);
    // Every remaining word, in order (tilde arguments such as "S~AO-16 F~*.DL" arrive here as they are).
    ProgramOptions& positionals(const std::string& name, std::vector<std::string>& target, const std::string& help,
                                bool required = false);
    // The first word names a command and everything after it is that command's, options included.
    ProgramOptions& command_and_arguments(std::string& command, std::vector<std::string>& arguments,
                                          const std::string& help);
    // Qt's own "-platform NAME" is taken out before parsing and kept here for the application object.
    ProgramOptions& qt_platform(std::vector<std::string>& qt_arguments);

    // A subcommand with its own options; it lives as long as this object.
    ProgramOptions& subcommand(const std::string& name, const std::string& about);
    ProgramOptions& require_subcommand();
    // Text printed after the options (examples, environment).
    ProgramOptions& footer(const std::string& text);

    // After parsing: whether the option was on the command line, whether this subcommand was chosen.
    bool given(const std::string& name) const;
    bool chosen() const;

    // nullopt: go on with the program. Otherwise the exit code, with everything already printed:
    // 0 after --help or --version, 2 after a usage error.
    std::optional<int> parse(int argc, char** argv);
    std::optional<int> parse(std::vector<std::string> words); // without the program's own name

    // A usage error found by the program after parsing: the message and the usage of the chosen
    // subcommand on standard error. Returns 2.
    int usage_error(const std::string& message) const;
    std::string help() const;

private:
    struct Impl;
    explicit ProgramOptions(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace orva::platform

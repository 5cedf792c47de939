// `orva NAME ARGS...` runs `orva-NAME ARGS...` from the folder of this program.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/options/program_options.h"

namespace fs = std::filesystem;

static fs::path own_folder(const char* argv0)
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        self = fs::absolute(argv0);
    return self.parent_path();
}

static std::string command_list(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("orva-", 0) == 0)
            names.push_back(name.substr(5));
    }
    std::sort(names.begin(), names.end());
    std::string text = "Commands:";
    for (const auto& name : names)
        text += " " + name;
    return text + "\n`orva COMMAND --help` tells more about each.";
}

int main(int argc, char** argv)
{
    fs::path folder = own_folder(argv[0]);
    orva::platform::ProgramOptions cli("orva", "The operator's command: runs orva-COMMAND from the folder of orva.");
    std::string command;
    std::vector<std::string> arguments;
    cli.command_and_arguments(command, arguments, "The command to run, followed by its own arguments")
        .footer(command_list(folder));
    if (auto code = cli.parse(argc, argv))
        return *code;
    fs::path program = folder / ("orva-" + command);
    if (command.find('/') != std::string::npos || !fs::exists(program))
        return cli.usage_error("unknown command \"" + command + "\"");
    std::vector<char*> args;
    std::string name = program.string();
    args.push_back(name.data());
    for (auto& a : arguments)
        args.push_back(a.data());
    args.push_back(nullptr);
    execv(name.c_str(), args.data());
    std::fprintf(stderr, "orva: cannot run %s: %s\n", name.c_str(), std::strerror(errno));
    return 127;
}

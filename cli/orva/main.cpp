// `orva NAME ARGS...` runs `orva-NAME ARGS...` from the folder of this program.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static fs::path own_folder(const char* argv0)
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        self = fs::absolute(argv0);
    return self.parent_path();
}

static int usage(const fs::path& folder)
{
    std::fprintf(stderr, "usage: orva COMMAND [ARGS...]\ncommands:");
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("orva-", 0) == 0)
            names.push_back(name.substr(5));
    }
    std::sort(names.begin(), names.end());
    for (const auto& name : names)
        std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
}

int main(int argc, char** argv)
{
    fs::path folder = own_folder(argv[0]);
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return usage(folder);
    std::string command = argv[1];
    if (command.find('/') != std::string::npos)
        return usage(folder);
    fs::path program = folder / ("orva-" + command);
    if (!fs::exists(program)) {
        std::fprintf(stderr, "orva: unknown command \"%s\"\n", command.c_str());
        return usage(folder);
    }
    std::vector<char*> args;
    std::string name = program.string();
    args.push_back(name.data());
    for (int i = 2; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    execv(name.c_str(), args.data());
    std::fprintf(stderr, "orva: cannot run %s: %s\n", name.c_str(), std::strerror(errno));
    return 127;
}

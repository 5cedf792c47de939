// orva setup --demo DIR: a complete demo station in DIR.
#include <cstdio>
#include <string>

#include "platform/store/store.h"
#include "cli/setup/demo_station.h"
#include "platform/options/program_options.h"

using namespace orva;

int main(int argc, char** argv)
{
    std::string dir, store_file;
    platform::ProgramOptions cli("orva setup", "Sets up a station in the store.");
    cli.option("--demo", dir, "Write a complete demo station with its suite folder in DIR", "DIR")
        .option("--store", store_file, "The store to write instead of $ORVA_STORE", "FILE");
    if (auto code = cli.parse(argc, argv))
        return *code;
    if (dir.empty())
        return cli.usage_error("--demo DIR is required");
    auto store = store_file.empty() ? platform::Store::open_default(platform::Access::ReadWrite)
                                    : platform::Store::open(store_file, platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "orva setup: %s\n", store.error().message.c_str());
        return 1;
    }
    auto result = tools::create_demo_station(*store, dir);
    if (!result) {
        std::fprintf(stderr, "orva setup: %s\n", result.error().message.c_str());
        return 1;
    }
    for (const auto& m : *result)
        std::fprintf(stderr, "orva setup: %s\n", m.c_str());
    std::printf("Demo station written to %s, suite directory %s\n", store->file().c_str(), dir.c_str());
    return result->empty() ? 0 : 1;
}

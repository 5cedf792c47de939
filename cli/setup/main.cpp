// orva setup --demo DIR: a complete demo station in DIR.
#include <cstdio>
#include <string>

#include "platform/store/store.h"
#include "cli/setup/demo_station.h"

using namespace orva;

int main(int argc, char** argv)
{
    std::string dir, store_file;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--demo" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--store" && i + 1 < argc)
            store_file = argv[++i];
        else {
            std::fprintf(stderr, "usage: orva setup [--store FILE] --demo DIR\n");
            return 2;
        }
    }
    if (dir.empty()) {
        std::fprintf(stderr, "usage: orva setup [--store FILE] --demo DIR\n");
        return 2;
    }
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

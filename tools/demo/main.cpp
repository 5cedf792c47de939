// orva demo [DIR]: sets up the bundled demo station in DIR (a new temporary folder when none is
// given) with its own store, and prints what was configured.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/store/store.h"
#include "platform/store/store_text.h"
#include "tools/setup/demo_station.h"

namespace fs = std::filesystem;
using namespace orva;

int main(int argc, char** argv)
{
    fs::path dir;
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: orva demo [DIR]\n");
        return 2;
    }
    if (argc == 2) {
        dir = argv[1];
    } else {
        std::string tmpl = (fs::temp_directory_path() / "orva-demo-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            std::perror("orva demo: cannot create a temporary folder");
            return 1;
        }
        dir = tmpl;
    }
    fs::path store_file = dir / "store.db";
    auto store = platform::Store::open(store_file, platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "orva demo: %s\n", store.error().message.c_str());
        return 1;
    }
    auto result = tools::create_demo_station(*store, dir / "station");
    if (!result) {
        std::fprintf(stderr, "orva demo: %s\n", result.error().message.c_str());
        return 1;
    }
    for (const auto& m : *result)
        std::fprintf(stderr, "orva demo: %s\n", m.c_str());
    std::printf("Demo station in %s (store %s)\n", dir.c_str(), store_file.c_str());
    std::printf("Use it with: export ORVA_STORE=%s\n\n", store_file.c_str());
    std::fputs(platform::export_store_text(*store).c_str(), stdout);
    return result->empty() ? 0 : 1;
}

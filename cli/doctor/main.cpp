// orva doctor [--store FILE] [--json]: checks the station's setup; exit 0 only when all is well.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/doctor/doctor.h"
#include "common/settings/setup_command.h"

using namespace orva;

int main(int argc, char** argv)
{
    std::string store_file;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json")
            json = true;
        else if (a == "--store" && i + 1 < argc)
            store_file = argv[++i];
        else {
            std::fprintf(stderr, "usage: orva doctor [--store FILE] [--json]\n");
            return 2;
        }
    }
    auto store = store_file.empty() ? platform::Store::open(platform::Store::default_path(), platform::Access::ReadOnly)
                                    : platform::Store::open(store_file, platform::Access::ReadOnly);
    if (!store) {
        std::fprintf(stderr, "orva doctor: %s: run %s first\n", store.error().message.c_str(), settings::setup_command);
        return 1;
    }
    tools::DoctorOptions options;
    options.now = std::chrono::system_clock::now();
    if (const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        options.dbus_address = bus;
    auto lines = tools::run_doctor(*store, options);
    std::string text = json ? tools::format_json(lines) : tools::format_text(lines);
    std::fputs(text.c_str(), stdout);
    return tools::all_well(lines) ? 0 : 1;
}

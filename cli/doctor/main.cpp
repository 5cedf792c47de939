// orva doctor [--store FILE] [--json]: checks the station's setup; exit 0 only when all is well.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/doctor/doctor.h"
#include "common/settings/setup_command.h"
#include "platform/options/program_options.h"

using namespace orva;

int main(int argc, char** argv)
{
    std::string store_file;
    bool json = false;
    platform::ProgramOptions cli("orva doctor", "Checks the station's setup; exit status 0 only when all is well.");
    cli.option("--store", store_file, "The store to check instead of $ORVA_STORE", "FILE")
        .flag("--json", json, "Print the checks as JSON");
    if (auto code = cli.parse(argc, argv))
        return *code;
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

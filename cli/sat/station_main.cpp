// orva station: the station's position, operating hours, rotator and radio horizon, with the
// fields, limits and messages of Helmo's "Station" sheet.
#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "station/setup/station_setup.h"
#include "cli/sat/tell_station.h"

using namespace orva;
using namespace orva::station::setup;

namespace {

const char* usage_text =
    "usage: orva station COMMAND\n"
    "  show                    every field of the Position, Rotator and Radio Horizon pages as FIELD=VALUE\n"
    "  set FIELD=VALUE...      change fields (\"Latitude=52.5\" \"North/South=North\" \"Rotator Type=GS232\")\n"
    "FIELD is a label of the pages or the value it stores; the 12 horizon sectors are named by their\n"
    "azimuth (\"0\" .. \"330\" or \"Horizon 90\").\n";

int fail(const std::string& message)
{
    std::fprintf(stderr, "orva station: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(usage_text, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "show" && args.size() == 1) {
        auto store = platform::Store::open_default(platform::Access::ReadOnly);
        if (!store)
            return fail(store.error().message);
        StationForm f = read_station_form(*store);
        for (const auto& page : station_pages()) {
            if (page == kPageTransverters)
                continue;
            std::printf("# %s\n", page.c_str());
            for (const auto& field : station_form())
                if (page == field.page)
                    std::printf("%s=%s\n", field.label, field.show(f).c_str());
        }
        return 0;
    }
    if (args[0] == "set" && args.size() > 1) {
        auto store = platform::Store::open_default(platform::Access::ReadWrite);
        if (!store)
            return fail(store.error().message);
        StationForm f = read_station_form(*store);
        std::vector<std::string> fields(args.begin() + 1, args.end());
        if (Status s = apply_assignments(station_form(), f, fields); !s)
            return fail(s.error().message);
        auto saved = write_station_form(*store, f);
        if (!saved)
            return fail(saved.error().message);
        for (const auto& m : saved->messages)
            std::printf("%s\n", m.c_str());
        QCoreApplication app(argc, argv);
        std::printf("%s\n", tools::tell_station_to_reload().c_str());
        return 0;
    }
    std::fputs(usage_text, stderr);
    return 2;
}

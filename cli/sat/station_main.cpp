// orva station: the station's position, operating hours, rotator and radio horizon, with the
// fields, limits and messages of Helmo's "Station" sheet.
#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "station/setup/station_setup.h"
#include "cli/sat/tell_station.h"
#include "platform/options/program_options.h"

using namespace orva;
using namespace orva::station::setup;

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "orva station: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> fields;
    platform::ProgramOptions cli("orva station", "The station's position, operating hours, rotator and radio horizon, "
                                                 "with the fields, limits and messages of Helmo's \"Station\" sheet.");
    cli.require_subcommand().footer(
        "FIELD is a label of the pages or the value it stores (\"Latitude=52.5\" \"North/South=North\"\n"
        "\"Rotator Type=GS232\"); the 12 horizon sectors are named by their azimuth (\"0\" .. \"330\" or\n"
        "\"Horizon 90\").");
    auto& show = cli.subcommand("show", "Every field of the Position, Rotator and Radio Horizon pages as FIELD=VALUE.");
    auto& set = cli.subcommand("set", "Change fields.");
    set.positionals("FIELD=VALUE", fields, "Fields to set", true);
    if (auto code = cli.parse(argc, argv))
        return *code;
    if (show.chosen()) {
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
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store)
        return fail(store.error().message);
    StationForm f = read_station_form(*store);
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

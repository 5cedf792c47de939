// orva look SAT [--at TIME] [--json]: the position and look angles of one satellite from the
// station, now or at an ISO 8601 UTC time, from the store's station and the suite's Orva.KEP.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/elements/kep_database.h"
#include "common/file_names.h"
#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "cli/look/look_report.h"
#include "platform/options/program_options.h"

using namespace orva;

int main(int argc, char** argv)
{
    std::string name, at;
    bool json = false;
    platform::ProgramOptions cli("orva look", "One satellite's position and look angles from the station.");
    cli.positional("SATELLITE", name, "The satellite's name in the element database")
        .option("--at", at, "A UTC time such as 2026-12-09T01:30:00Z instead of now", "TIME")
        .flag("--json", json, "Print the answer as JSON");
    if (auto code = cli.parse(argc, argv))
        return *code;

    station::StationSeconds when = std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch()).count();
    if (!at.empty()) {
        auto t = parse_iso8601(at);
        if (!t) {
            return cli.usage_error("\"" + at + "\" is not a UTC time like 2026-12-09T01:30:00Z");
        }
        when = t->time_since_epoch().count();
    }

    auto store = platform::Store::open_default(platform::Access::ReadOnly);
    if (!store) {
        std::fprintf(stderr, "orva look: cannot open the store: %s\n", store.error().message.c_str());
        return 1;
    }
    settings::StationSettings st = settings::read_station(*store, settings::Program::Tool);
    settings::GeneralSettings general = settings::read_general(*store, settings::Program::Tool);
    if (general.orva_directory.empty()) {
        std::fprintf(stderr, "orva look: \"Orva Directory\" is not set in the store\n");
        return 1;
    }
    auto path = resolve_file_nocase(general.orva_directory, "Orva.KEP");
    auto db = elements::KepDatabase::load(path);
    if (!db) {
        std::fprintf(stderr, "orva look: %s\n", db.error().message.c_str());
        return 1;
    }
    int slot = db->find_by_name(name);
    if (slot < 0) {
        std::fprintf(stderr, "orva look: satellite %s is not in the element database %s\n", name.c_str(),
                     path.c_str());
        return 1;
    }
    auto site = elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude, st.altitude);
    auto report = tools::look_at(db->slot(slot), site, when);
    if (!report) {
        std::fprintf(stderr, "orva look: %s\n", report.error().message.c_str());
        return 1;
    }
    std::fputs((json ? tools::format_json(*report) : tools::format_text(*report)).c_str(), stdout);
    return 0;
}

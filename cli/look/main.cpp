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

using namespace orva;

static int usage()
{
    std::fprintf(stderr, "usage: orva look SATELLITE [--at YYYY-MM-DDTHH:MM:SSZ] [--json]\n");
    return 2;
}

int main(int argc, char** argv)
{
    std::string name, at;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else if (std::strcmp(argv[i], "--at") == 0 && i + 1 < argc)
            at = argv[++i];
        else if (std::strncmp(argv[i], "--at=", 5) == 0)
            at = argv[i] + 5;
        else if (argv[i][0] == '-' || !name.empty())
            return usage();
        else
            name = argv[i];
    }
    if (name.empty())
        return usage();

    station::StationSeconds when = std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch()).count();
    if (!at.empty()) {
        auto t = parse_iso8601(at);
        if (!t) {
            std::fprintf(stderr, "orva look: \"%s\" is not a UTC time like 2026-12-09T01:30:00Z\n", at.c_str());
            return 2;
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

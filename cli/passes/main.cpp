// orva passes [--days N] [--from TIME] [--json]: the station's upcoming passes, from the store's
// satellites and the suite's Orva.KEP, with whether the dispatcher will run each.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/elements/kep_database.h"
#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "station/core/pass_listing.h"

using namespace orva;

static int usage()
{
    std::fprintf(stderr, "usage: orva passes [--days N] [--from YYYY-MM-DDTHH:MM:SSZ] [--json]\n");
    return 2;
}

int main(int argc, char** argv)
{
    bool json = false;
    long days = 0;
    std::string from_text;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--days" && i + 1 < argc) {
            char* end = nullptr;
            days = std::strtol(argv[++i], &end, 10);
            if (*end != 0 || days < 1 || days > 30) {
                std::fprintf(stderr, "orva passes: --days takes a whole number from 1 to 30\n");
                return 2;
            }
        } else if (a == "--from" && i + 1 < argc) {
            from_text = argv[++i];
        } else {
            return usage();
        }
    }
    std::int64_t from = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
    if (!from_text.empty()) {
        auto t = parse_iso8601(from_text);
        if (!t) {
            std::fprintf(stderr, "orva passes: \"%s\" is not a UTC time like 2026-12-09T01:30:00Z\n", from_text.c_str());
            return 2;
        }
        from = t->time_since_epoch().count();
    }
    auto store = platform::Store::open_default(platform::Access::ReadOnly);
    if (!store) {
        std::fprintf(stderr, "orva passes: cannot open the store: %s\n", store.error().message.c_str());
        return 1;
    }
    settings::GeneralSettings general = settings::read_general(*store, settings::Program::Tool);
    if (general.orva_directory.empty()) {
        std::fprintf(stderr, "orva passes: \"Orva Directory\" is not set in the store; run orva setup first\n");
        return 1;
    }
    auto db = elements::KepDatabase::load(elements::kep_database_path(general.orva_directory));
    if (!db) {
        std::fprintf(stderr, "orva passes: %s\n", db.error().message.c_str());
        return 1;
    }
    if (days == 0)
        days = long(settings::read_helmo(*store).schedule_days);
    station::PassListing listing = station::list_passes(*store, *db, from, days);
    for (const std::string& w : listing.warnings)
        std::fprintf(stderr, "orva passes: %s\n", w.c_str());
    std::string out = json ? station::passes_json(listing.passes) : station::passes_text(listing.passes);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

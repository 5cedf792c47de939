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
#include "platform/options/program_options.h"
#include "station/core/pass_listing.h"

using namespace orva;

int main(int argc, char** argv)
{
    bool json = false;
    long days = 0;
    std::string from_text;
    platform::ProgramOptions cli("orva passes", "The station's upcoming passes and whether each will be run.");
    cli.option("--days", days, "Days ahead (default: Helmo's \"Schedule Days\")", "N", 1, 30)
        .option("--from", from_text, "Start at this UTC time instead of now", "TIME")
        .flag("--json", json, "Print the passes as JSON");
    if (auto code = cli.parse(argc, argv))
        return *code;
    std::int64_t from = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch()).count();
    if (!from_text.empty()) {
        auto t = parse_iso8601(from_text);
        if (!t) {
            return cli.usage_error("\"" + from_text + "\" is not a UTC time like 2026-12-09T01:30:00Z");
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

// orva housekeeping: the file housekeeping of the stored rules, for one satellite or all, now.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/options/program_options.h"
#include "station/housekeeping/housekeeping.h"

using namespace orva;

int main(int argc, char** argv)
{
    std::optional<std::string> satellite;
    std::string name;
    bool dry_run = false;
    platform::ProgramOptions cli("orva housekeeping",
                                 "Deletes the old files of one satellite or of all, by the rules of Helmo's "
                                 "\"File Housekeeping\".");
    cli.positional("SATELLITE", name, "Only this satellite (its \"Name\"; letter case counts)", false)
        .flag("--dry-run", dry_run, "List the files and delete nothing");
    if (auto code = cli.parse(argc, argv))
        return *code;
    if (cli.given("SATELLITE"))
        satellite = name;
    auto store = platform::Store::open_default(platform::Access::ReadOnly);
    if (!store) {
        std::fprintf(stderr, "orva housekeeping: %s\n", store.error().message.c_str());
        return 1;
    }
    std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    station::HousekeepingRun run = station::run_housekeeping(*store, satellite, now, dry_run);
    for (const auto& p : run.deleted)
        std::printf("%s%s\n", dry_run ? "would delete " : "deleted ", p.string().c_str());
    for (const auto& f : run.failures)
        std::fprintf(stderr, "orva housekeeping: not deleted: %s\n", f.c_str());
    std::printf("%u files %s\n", run.count(), dry_run ? "would be deleted" : "deleted");
    return run.failures.empty() ? 0 : 1;
}

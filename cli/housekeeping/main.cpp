// orva housekeeping: the file housekeeping of the stored rules, for one satellite or all, now.
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "station/housekeeping/housekeeping.h"

using namespace orva;

int main(int argc, char** argv)
{
    std::optional<std::string> satellite;
    bool dry_run = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--dry-run") {
            dry_run = true;
        } else if (a == "--help" || a == "-h" || a.rfind("-", 0) == 0 || satellite) {
            std::fprintf(a == "--help" || a == "-h" ? stdout : stderr,
                         "usage: orva housekeeping [SATELLITE] [--dry-run]\n"
                         "  deletes the old files of one satellite (its \"Name\", letter case counts) or of all,\n"
                         "  by the rules of Helmo's \"File Housekeeping\"; --dry-run lists them and deletes nothing\n");
            return a == "--help" || a == "-h" ? 0 : 2;
        } else {
            satellite = a;
        }
    }
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

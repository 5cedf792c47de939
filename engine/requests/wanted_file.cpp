#include "engine/requests/wanted_file.h"

#include "engine/directory/status_codes.h"

#include <algorithm>

namespace orva::engine {

std::optional<WantedFile> pick_wanted_file(const StatusTable& table, std::span<const std::uint32_t> recently_heard,
                                           std::uint32_t requested, bool prefer_heard, std::uint32_t skip)
{
    std::optional<WantedFile> best;
    std::uint32_t best_created = 0;
    for (std::size_t i = 0; i < kStatusRecords; ++i) {
        const StatusRecord r = table.record(i);
        const int code = r.status & kCodeMask;
        if (r.file_number == 0 || r.file_number == skip || code <= kCodeGrab || code > kCodeMine)
            continue;
        bool take = false;
        if (!best || code > best->code) {
            take = true;
        } else if (code == best->code && r.created < best_created) {
            if (!prefer_heard)
                take = true;
            else
                take = r.file_number != requested &&
                       std::find(recently_heard.begin(), recently_heard.end(), r.file_number) != recently_heard.end();
        }
        if (take) {
            best = WantedFile{r.file_number, code};
            best_created = r.created;
        }
    }
    return best;
}

} // namespace orva::engine

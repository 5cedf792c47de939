#include "engine/frames/kepset_update.h"

#include "common/elements/kep_database.h"
#include "common/element_import/element_import.h"

namespace orva::engine {

KepsetUpdater::KepsetUpdater(std::filesystem::path kep_file, StatusSink& status, std::function<void()> notify_station)
    : kep_file_(std::move(kep_file)), status_(status), notify_station_(std::move(notify_station)) {}

void KepsetUpdater::on_element_set(std::string_view text) {
    const auto parsed = station::parse_nasa(text);
    if (parsed.sets.empty() || !parsed.sets.front().rejected.empty()) return;
    const elements::KepRecord candidate = parsed.sets.front().record;
    if (candidate.catalogue == 0) return;

    auto changed = elements::update_database(kep_file_, [&](elements::KepDatabase& db) {
        const int slot = db.find_by_catalogue(candidate.catalogue);
        if (slot < 0 || !elements::is_newer(db.slot(slot), candidate)) return false;
        auto& record = db.slot(slot);
        elements::replace_keeping_station_fields(record, candidate);
        record.name = candidate.name; // the broadcast's name line wins
        return true;
    });
    if (!changed) {
        status_.post(changed.error().message, LineColour::Red);
        return;
    }
    if (!*changed) return;
    updated_ = true;
    if (notify_station_) notify_station_();
    status_.post("Keps updated for this satellite.", LineColour::Blue);
}

} // namespace orva::engine

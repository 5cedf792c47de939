#include <cstdio>
#include <string>

#include "common/file_names.h"
#include "common/element_import/element_import.h"

namespace orva::station {

namespace {
std::string trimmed(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// A set whose catalogue number lost its upper bits matches only a slot of the same name too,
// so it can never take over the slot of the satellite that really has the truncated number.
int find_slot(const elements::KepDatabase& db, const ParsedSet& set)
{
    if (!set.catalogue_truncated())
        return db.find_by_catalogue(set.record.catalogue);
    for (int i = 0; i < elements::kKepSlots; ++i) {
        const auto& slot = db.slot(i);
        if (!slot.is_free() && slot.catalogue == set.record.catalogue &&
            equal_ignoring_case(trimmed(slot.name), trimmed(set.record.name)))
            return i;
    }
    return -1;
}
} // namespace

ImportResult merge_sets(elements::KepDatabase& db, const ParsedText& parsed, const MergeRules& rules)
{
    ImportResult result;
    for (const auto& set : parsed.sets) {
        const std::string& name = set.record.name;
        MergeLine line{name, MergeOutcome::Rejected, {}};
        std::string why = set.rejected;
        if (why.empty() && trimmed(name).empty())
            why = "no satellite name"; // an empty name would mark its slot free
        if (!why.empty()) {
            line.text = name + ": " + why + " - Not Updated";
            ++result.rejected;
            result.lines.push_back(std::move(line));
            continue;
        }
        int slot = find_slot(db, set);
        if (slot >= 0) {
            if (elements::is_newer(db.slot(slot), set.record)) {
                elements::replace_keeping_station_fields(db.slot(slot), set.record);
                line.outcome = MergeOutcome::Updated;
                line.text = name + ": Keps Updated";
                ++result.updated;
            } else {
                line.outcome = MergeOutcome::Old;
                line.text = name + ": Old Keps - Not Updated";
                ++result.old;
            }
        } else if (!rules.append_new) {
            line.outcome = MergeOutcome::NotAppended;
            line.text = name + ": Not in database - Not Added";
            ++result.not_appended;
        } else if (db.add_record(set.record) >= 0) {
            line.outcome = MergeOutcome::Added;
            line.text = name + ": Added to database";
            ++result.added;
        } else {
            line.outcome = MergeOutcome::Full;
            line.text = name + ": Database full - Not Added";
            ++result.full;
        }
        if (set.catalogue_truncated()) {
            char note[96];
            std::snprintf(note, sizeof note, " (catalogue number %u truncated to %u)", set.full_catalogue,
                          unsigned(set.record.catalogue));
            line.text += note;
            ++result.truncated;
        }
        result.lines.push_back(std::move(line));
    }
    return result;
}

std::vector<std::string> result_lines(const ImportResult& result)
{
    if (result.lines.empty())
        return {"No Satellites Found!"};
    std::vector<std::string> out;
    for (const auto& l : result.lines)
        out.push_back(l.text);
    return out;
}

} // namespace orva::station

// Element-set text import: the NASA two-line and AMSAT verbose formats, and the merge of the
// parsed sets into the element database. Shared by the station's menu command and Elemix.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/elements/kep_database.h"
#include "common/elements/kep_record.h"

namespace orva::station {

enum class ElementFormat { Nasa, Amsat };

struct ParsedSet {
    elements::KepRecord record;
    std::uint32_t full_catalogue = 0; // as written; record.catalogue keeps its low 16 bits
    std::string rejected;             // why the set was refused; empty for a good set
    bool catalogue_truncated() const { return full_catalogue > 0xffff; }
};

struct ParsedText {
    std::vector<ParsedSet> sets; // in file order, refused ones included
    int good() const;
};

ParsedText parse_nasa(std::string_view text);
ParsedText parse_amsat(std::string_view text);
ParsedText parse_elements(std::string_view text, ElementFormat format);

enum class MergeOutcome { Added, Updated, Old, Full, NotAppended, Rejected };

struct MergeLine {
    std::string name;
    MergeOutcome outcome;
    std::string text; // the line for the result list
};

struct ImportResult {
    std::vector<MergeLine> lines;
    int added = 0, updated = 0, old = 0, full = 0, not_appended = 0, rejected = 0, truncated = 0;
    bool changed() const { return added + updated > 0; }
};

struct MergeRules {
    bool append_new = true; // the station always adds; Elemix only with "Keps Append"
};

// Merges every set in file order: by catalogue number (and, for a number that did not fit in
// 16 bits, by name as well), replacing only with a strictly newer epoch.
ImportResult merge_sets(elements::KepDatabase& db, const ParsedText& parsed, const MergeRules& rules);

// "No Satellites Found!" when nothing was parsed, else one line per set.
std::vector<std::string> result_lines(const ImportResult& result);

} // namespace orva::station

#include "common/element_import/import_file.h"

#include <fstream>
#include <sstream>

#include "common/elements/kep_database.h"

namespace orva::station {

Result<ImportResult> import_elements_file(const std::filesystem::path& database,
                                          const std::filesystem::path& text_file, ElementFormat format,
                                          const MergeRules& rules)
{
    std::ifstream in(text_file, std::ios::binary);
    if (!in)
        return make_error(kKepsFileUnopened);
    std::stringstream ss;
    ss << in.rdbuf();
    ParsedText parsed = parse_elements(ss.str(), format);
    ImportResult result;
    auto done = elements::update_database(database, [&](elements::KepDatabase& db) {
        result = merge_sets(db, parsed, rules);
        return result.changed();
    });
    if (!done)
        return done.error();
    return result;
}

} // namespace orva::station

// Where `orva elements update` fetches element sets: a list of named sources kept in the store,
// one subkey per source under "SOFTWARE\Orva\Linux\Element Sources" with the values "URL",
// "Format" ("NASA" or "AMSAT") and the validators of the last good fetch, "ETag" and
// "Last Modified". While the key does not exist the two default sources apply; the first
// change writes them out, so adding a source keeps them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/element_import/element_import.h"
#include "platform/result.h"
#include "platform/store/store.h"

namespace orva::elemupd {

inline constexpr const char* kElementSourcesKey = "SOFTWARE\\Orva\\Linux\\Element Sources";

struct ElementSource {
    std::string name;
    std::string url;
    station::ElementFormat format = station::ElementFormat::Nasa;
    std::string etag;          // from the last response that was merged
    std::string last_modified; // likewise
};

std::vector<ElementSource> default_element_sources();

std::vector<ElementSource> read_element_sources(const platform::Store& store);

// The name is 1 to 40 characters without a backslash; the URL is http:// or https://.
Status check_element_source(const ElementSource& source);
Status add_element_source(platform::Store& store, const ElementSource& source);
Status remove_element_source(platform::Store& store, std::string_view name);
// Stores the source's ETag and Last-Modified for the next conditional request.
Status write_validators(platform::Store& store, const ElementSource& source);

std::string format_name(station::ElementFormat format); // "NASA" or "AMSAT"

} // namespace orva::elemupd

// Element sets from the network: every source of the list is fetched (conditionally, with the
// validators of its last good fetch), its text is checked, and a good text is merged into the
// element database by Elemix's rules ("Keps Append" decides whether unknown satellites are
// added). A failed source changes nothing and the others still run; the station program is told
// once when the database changed. The fetch itself is passed in, so this holds no sockets.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/element_import/element_import.h"
#include "elemupd/network/element_sources.h"
#include "elemupd/reload_notice.h"
#include "platform/http/http_get.h"
#include "platform/result.h"
#include "platform/store/store.h"

namespace orva::elemupd {

using Fetch = std::function<Result<platform::HttpResponse>(const platform::HttpRequest&)>;

struct NetworkUpdateOptions {
    std::chrono::milliseconds connect_timeout{10000};
    std::chrono::milliseconds total_timeout{60000};
    bool force = false;             // fetch whole files, ignoring the stored validators
    std::vector<std::string> only;  // source names; empty: every source
    // (source name, bytes received, bytes expected or 0); false abandons the fetch.
    std::function<bool(const std::string&, std::uint64_t, std::uint64_t)> progress;
};

enum class SourceState { Merged, Unchanged, Failed };

struct SourceOutcome {
    std::string name;
    std::string url;
    SourceState state = SourceState::Failed;
    std::string line;                   // the source's one result line
    std::vector<std::string> set_lines; // the sets that were updated or added (Merged only)
};

struct NetworkUpdate {
    std::vector<SourceOutcome> sources;
    std::string error; // set when nothing could be tried (no element database configured)
    bool changed = false;
    bool notified = false;
    bool failed() const;
    // The source lines, each followed by its set lines when `with_sets`.
    std::vector<std::string> lines(bool with_sets) const;
};

// Why a fetched text is not an element file (an HTML page, damaged or cut-off sets, no sets at
// all), or its parsed sets.
Result<station::ParsedText> check_element_text(std::string_view body, std::string_view content_type,
                                               station::ElementFormat format);

// The GET for a source: its validators unless forced, the timeouts, the user agent.
platform::HttpRequest source_request(const ElementSource& source, const NetworkUpdateOptions& options);

// "NAME: URL: 20 sets: 2 updated, 1 added, 17 not newer"
std::string merged_line(const ElementSource& source, const station::ImportResult& result);

NetworkUpdate update_from_network(platform::Store& store, const Fetch& fetch, const NetworkUpdateOptions& options,
                                  ReloadNotice& notice);

} // namespace orva::elemupd

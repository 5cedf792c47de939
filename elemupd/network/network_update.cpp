#include "elemupd/network/network_update.h"

#include <algorithm>
#include <cctype>

#include "common/elements/kep_database.h"
#include "common/file_names.h"
#include "common/settings/keys.h"
#include "common/settings/suite_settings.h"
#include "platform/version.h"

namespace orva::elemupd {

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string_view last_line(std::string_view text)
{
    std::size_t end = text.find_last_not_of(" \t\r\n");
    if (end == std::string_view::npos)
        return {};
    std::size_t start = text.find_last_of('\n', end);
    start = start == std::string_view::npos ? 0 : start + 1;
    return text.substr(start, end + 1 - start);
}

std::string source_prefix(const ElementSource& s) { return s.name + ": " + s.url + ": "; }

SourceOutcome failed(const ElementSource& s, const std::string& why)
{
    return {s.name, s.url, SourceState::Failed, source_prefix(s) + why + "; nothing changed", {}};
}

} // namespace

bool NetworkUpdate::failed() const
{
    if (!error.empty())
        return true;
    return std::any_of(sources.begin(), sources.end(), [](const SourceOutcome& o) { return o.state == SourceState::Failed; });
}

std::vector<std::string> NetworkUpdate::lines(bool with_sets) const
{
    std::vector<std::string> out;
    if (!error.empty())
        out.push_back(error);
    for (const auto& s : sources) {
        out.push_back(s.line);
        if (with_sets)
            for (const auto& l : s.set_lines)
                out.push_back("  " + l);
    }
    return out;
}

Result<station::ParsedText> check_element_text(std::string_view body, std::string_view content_type,
                                               station::ElementFormat format)
{
    std::string type = lower(content_type);
    std::size_t first = body.find_first_not_of(" \t\r\n");
    if (type.rfind("text/html", 0) == 0 || type.rfind("application/xhtml", 0) == 0 ||
        (first != std::string_view::npos && body[first] == '<'))
        return make_error("an HTML page, not element sets");
    if (first == std::string_view::npos)
        return make_error("an empty file");
    if (body.find('\0') != std::string_view::npos)
        return make_error("not text: the file holds NUL bytes");
    station::ParsedText parsed = station::parse_elements(body, format);
    std::size_t refused = parsed.sets.size() - std::size_t(parsed.good());
    if (refused > 0) {
        const auto& bad = *std::find_if(parsed.sets.begin(), parsed.sets.end(),
                                        [](const station::ParsedSet& s) { return !s.rejected.empty(); });
        return make_error("damaged: " + std::to_string(refused) + " of " + std::to_string(parsed.sets.size()) +
                          " sets refused (first: \"" + bad.record.name + "\": " + bad.rejected + ")");
    }
    if (parsed.good() == 0)
        return make_error("no element sets in it");
    // A two-line text cut after a name line or a line 1 loses that set without a refusal.
    if (format == station::ElementFormat::Nasa) {
        std::string_view tail = last_line(body);
        if (tail.empty() || tail[0] != '2')
            return make_error("cut off: the text ends in the middle of a set");
    }
    return parsed;
}

platform::HttpRequest source_request(const ElementSource& source, const NetworkUpdateOptions& options)
{
    platform::HttpRequest r;
    r.url = source.url;
    if (!options.force) {
        r.if_none_match = source.etag;
        r.if_modified_since = source.last_modified;
    }
    r.connect_timeout = options.connect_timeout;
    r.total_timeout = options.total_timeout;
    r.user_agent = "orva-elements/" + suite_version_text();
    if (options.progress) {
        std::string name = source.name;
        auto progress = options.progress;
        r.progress = [name, progress](std::uint64_t now, std::uint64_t total) { return progress(name, now, total); };
    }
    return r;
}

std::string merged_line(const ElementSource& source, const station::ImportResult& r)
{
    int sets = int(r.lines.size());
    std::string text = source_prefix(source) + std::to_string(sets) + (sets == 1 ? " set: " : " sets: ") +
                       std::to_string(r.updated) + " updated, " + std::to_string(r.added) + " added";
    if (r.old)
        text += ", " + std::to_string(r.old) + " not newer";
    if (r.not_appended)
        text += ", " + std::to_string(r.not_appended) + " not in the database";
    if (r.full)
        text += ", " + std::to_string(r.full) + " not added (database full)";
    return text;
}

NetworkUpdate update_from_network(platform::Store& store, const Fetch& fetch, const NetworkUpdateOptions& options,
                                  ReloadNotice& notice)
{
    NetworkUpdate run;
    settings::GeneralSettings general = settings::read_general(store, settings::Program::Elemix);
    if (general.orva_directory.empty()) {
        run.error = "\"Orva Directory\" is not set in the store, so there is no element database to update; "
                    "run orva setup first";
        return run;
    }
    const bool append = settings::read_dispo(store).keps_append == 1;
    const std::filesystem::path db_path = resolve_file_nocase(general.orva_directory, "ORVA.KEP");

    std::vector<ElementSource> sources = read_element_sources(store);
    for (const auto& wanted : options.only) {
        bool known = std::any_of(sources.begin(), sources.end(),
                                 [&](const ElementSource& s) { return equal_ignoring_case(s.name, wanted); });
        if (!known)
            run.sources.push_back({wanted, "", SourceState::Failed, wanted + ": no such source; nothing changed", {}});
    }
    for (ElementSource& source : sources) {
        if (!options.only.empty() &&
            std::none_of(options.only.begin(), options.only.end(),
                         [&](const std::string& n) { return equal_ignoring_case(n, source.name); }))
            continue;
        if (Status ok = check_element_source(source); !ok) {
            run.sources.push_back(failed(source, ok.error().message));
            continue;
        }
        auto response = fetch(source_request(source, options));
        if (!response) {
            run.sources.push_back(failed(source, response.error().message));
            continue;
        }
        if (response->status == 304) {
            run.sources.push_back({source.name, source.url, SourceState::Unchanged,
                                   source_prefix(source) + "not modified since the last update (HTTP 304)", {}});
            continue;
        }
        if (response->status != 200) {
            run.sources.push_back(failed(source, "HTTP " + std::to_string(response->status)));
            continue;
        }
        auto parsed = check_element_text(response->body, response->content_type, source.format);
        if (!parsed) {
            run.sources.push_back(failed(source, parsed.error().message));
            continue;
        }
        station::ImportResult result;
        auto updated = elements::update_database(db_path, [&](elements::KepDatabase& db) {
            result = station::merge_sets(db, *parsed, station::MergeRules{append});
            return result.changed();
        });
        if (!updated) {
            run.sources.push_back(failed(source, "the element database: " + updated.error().message));
            continue;
        }
        run.changed = run.changed || *updated;
        SourceOutcome outcome{source.name, source.url, SourceState::Merged, merged_line(source, result), {}};
        for (const auto& l : result.lines)
            if (l.outcome == station::MergeOutcome::Updated || l.outcome == station::MergeOutcome::Added ||
                l.outcome == station::MergeOutcome::Full)
                outcome.set_lines.push_back(l.text);
        // Remembered only once merged: a text that failed is fetched whole next time.
        source.etag = response->etag;
        source.last_modified = response->last_modified;
        if (Status st = write_validators(store, source); !st)
            outcome.line += " (validators not kept: " + st.error().message + ")";
        run.sources.push_back(std::move(outcome));
    }
    if (run.changed)
        run.notified = notice.post_reload().ok();
    return run;
}

} // namespace orva::elemupd

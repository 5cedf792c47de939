#include "elemupd/elemix.h"

#include <climits>
#include <fstream>
#include <sstream>

#include "common/elements/kep_database.h"
#include "common/file_names.h"
#include "common/settings/keys.h"
#include "common/settings/suite_settings.h"
#include "common/tilde_args.h"

namespace orva::elemupd {

namespace {
// Longer than any path the system can open: refused outright rather than cut.
constexpr std::size_t kMaxPath = PATH_MAX - 1;

std::string file_part(const std::string& path)
{
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> read_text(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return ss.str();
}

ElemixRun failure(std::string text)
{
    ElemixRun run;
    run.exit_code = 1;
    run.message = ElemixMessage{std::move(text), true};
    return run;
}
} // namespace

std::optional<ElemixOptions> parse_elemix_arguments(std::span<const std::string> args)
{
    TildeArgs parsed = TildeArgs::parse(args);
    auto file = parsed.get('F');
    auto format = parsed.get('K');
    if (!file || file->empty() || !format || format->empty())
        return std::nullopt;
    ElemixOptions o;
    char letter = (*format)[0];
    if (letter == 'N' || letter == 'n')
        o.format = station::ElementFormat::Nasa;
    else if (letter == 'A' || letter == 'a')
        o.format = station::ElementFormat::Amsat;
    else
        return std::nullopt;
    o.file = *file;
    return o;
}

ElemixRun run_elemix(const platform::Store& store, std::span<const std::string> args, ReloadNotice& notice)
{
    ElemixRun run;
    if (!store.key_exists(settings::keys::general) || !store.key_exists(settings::keys::dispo))
        return run;
    for (const auto& a : args)
        if (a.size() > kMaxPath + 2)
            return failure("Elemix: the file argument is longer than " + std::to_string(kMaxPath) + " characters");
    auto options = parse_elemix_arguments(args);
    if (!options)
        return run;
    settings::GeneralSettings general = settings::read_general(store, settings::Program::Elemix);
    bool append = settings::read_dispo(store).keps_append == 1;
    if (general.orva_directory.empty())
        return failure("Elemix: \"Orva Directory\" is not set; the element database cannot be found");

    std::string path = options->file.string();
    auto text = read_text(options->file);
    if (!text) {
        run.message = ElemixMessage{"Keps file \"" + path + "\"unable to be opened", true};
        return run;
    }
    station::ParsedText parsed = station::parse_elements(*text, options->format);

    // The lock makes a second Elemix (or the station, or the engine) wait its turn instead of
    // one of them losing its update.
    std::filesystem::path db_path = resolve_file_nocase(general.orva_directory, "ORVA.KEP");
    station::ImportResult result;
    auto updated = elements::update_database(db_path, [&](elements::KepDatabase& db) {
        result = station::merge_sets(db, parsed, station::MergeRules{append});
        return result.changed();
    });
    if (!updated)
        return failure("Elemix: " + updated.error().message);
    run.lines = station::result_lines(result);
    run.changed = *updated;
    if (run.changed) {
        run.notified = notice.post_reload().ok();
        run.message = ElemixMessage{"Your keps file has been updated from the file " + file_part(path) + ".", false};
    }
    return run;
}

} // namespace orva::elemupd

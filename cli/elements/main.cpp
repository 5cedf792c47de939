// orva elements: element sets from the network.
//   orva elements update [--source NAME]... [--force] [--connect-timeout S] [--timeout S] [--verbose]
//   orva elements sources list | add NAME URL [--format NASA|AMSAT] | remove NAME
#include <QCoreApplication>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/sat/tell_station.h"
#include "elemupd/network/element_sources.h"
#include "elemupd/network/network_update.h"
#include "platform/http/http_get.h"
#include "platform/options/program_options.h"
#include "platform/store/store.h"

using namespace orva;

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "orva elements: %s\n", message.c_str());
    return 1;
}

// Helmo learns of a changed database through message 2037; not running is not an error.
class TellStation final : public elemupd::ReloadNotice {
public:
    Status post_reload() override
    {
        said = tools::tell_station_to_reload();
        return {};
    }
    std::string said;
};

// A fetch that takes more than a second shows its bytes on the terminal, one line rewritten.
class TerminalProgress {
public:
    explicit TerminalProgress(bool on) : on_(on) {}
    bool operator()(const std::string& source, std::uint64_t now, std::uint64_t total)
    {
        if (!on_)
            return true;
        auto t = std::chrono::steady_clock::now();
        if (source != source_) {
            source_ = source;
            started_ = t;
        }
        if (t - started_ < std::chrono::seconds(1) || t - shown_ < std::chrono::milliseconds(200))
            return true;
        shown_ = t;
        if (total > 0)
            std::fprintf(stderr, "\r%s: %llu of %llu kB\033[K", source.c_str(), (unsigned long long)(now / 1024),
                         (unsigned long long)(total / 1024));
        else
            std::fprintf(stderr, "\r%s: %llu kB\033[K", source.c_str(), (unsigned long long)(now / 1024));
        drawn_ = true;
        return true;
    }
    void clear()
    {
        if (drawn_)
            std::fprintf(stderr, "\r\033[K");
        drawn_ = false;
        source_.clear();
    }

private:
    bool on_;
    bool drawn_ = false;
    std::string source_;
    std::chrono::steady_clock::time_point started_{}, shown_{};
};

int run_update(int argc, char** argv, const elemupd::NetworkUpdateOptions& options, bool verbose)
{
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store)
        return fail("cannot open the store: " + store.error().message);
    QCoreApplication app(argc, argv);
    TellStation notice;
    TerminalProgress progress(::isatty(STDERR_FILENO) == 1);
    elemupd::NetworkUpdateOptions o = options;
    o.progress = [&](const std::string& s, std::uint64_t now, std::uint64_t total) { return progress(s, now, total); };
    elemupd::Fetch fetch = [&](const platform::HttpRequest& r) {
        auto got = platform::http_get(r);
        progress.clear();
        return got;
    };
    elemupd::NetworkUpdate run = elemupd::update_from_network(*store, fetch, o, notice);
    if (!run.error.empty())
        return fail(run.error);
    if (run.sources.empty())
        std::fprintf(stderr, "orva elements: the source list is empty; see orva elements sources add\n");
    for (const auto& s : run.sources) {
        std::FILE* to = s.state == elemupd::SourceState::Failed ? stderr : stdout;
        std::fprintf(to, "%s\n", s.line.c_str());
        if (verbose)
            for (const auto& l : s.set_lines)
                std::fprintf(to, "  %s\n", l.c_str());
        std::fflush(to);
    }
    if (run.changed)
        std::printf("%s\n", notice.said.c_str());
    return run.failed() ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    platform::ProgramOptions cli("orva elements", "Element sets from the network into the element database.");
    cli.require_subcommand();
    cli.footer("Sources are kept in the store under SOFTWARE\\Orva\\Linux\\Element Sources; without that key the\n"
               "defaults are CelesTrak's amateur group and AMSAT's two-line bulletin. A daily update is an\n"
               "event of Helmo whose \"Program\" is \"orva elements update\" (see orva-elements(1)).");

    elemupd::NetworkUpdateOptions options;
    double connect_s = 10, total_s = 60;
    bool verbose = false;
    auto& update = cli.subcommand("update", "Fetch every source (or those named) and merge what changed.");
    update.option("--source", options.only, "Only this source (repeatable)", "NAME")
        .flag("--force", options.force, "Fetch whole files even when the server says they are unchanged")
        .option("--connect-timeout", connect_s, "Seconds allowed to connect to a server (default 10)", "S", 0.1, 600)
        .option("--timeout", total_s, "Seconds allowed for one whole fetch (default 60)", "S", 0.1, 3600)
        .flag("-v,--verbose", verbose, "Also list each satellite updated or added");

    auto& sources = cli.subcommand("sources", "List, add or remove sources.");
    sources.require_subcommand();
    sources.subcommand("list", "The sources, one per line: name, format, address.");
    std::string add_name, add_url, add_format = "NASA";
    auto& add = sources.subcommand("add", "Add a source.");
    add.positional("NAME", add_name, "A short name, 1 to 40 characters")
        .positional("URL", add_url, "An http:// or https:// address")
        .choice("--format", add_format, {"NASA", "AMSAT"}, "The text's format: two-line (NASA, the default) or verbose (AMSAT)");
    std::string remove_name;
    auto& remove = sources.subcommand("remove", "Remove a source.");
    remove.positional("NAME", remove_name, "The source's name");

    if (auto code = cli.parse(argc, argv))
        return *code;

    if (update.chosen()) {
        options.connect_timeout = std::chrono::milliseconds(long(connect_s * 1000));
        options.total_timeout = std::chrono::milliseconds(long(total_s * 1000));
        return run_update(argc, argv, options, verbose);
    }

    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store)
        return fail("cannot open the store: " + store.error().message);
    if (add.chosen()) {
        elemupd::ElementSource s{add_name, add_url,
                                 add_format == "AMSAT" ? station::ElementFormat::Amsat : station::ElementFormat::Nasa,
                                 {}, {}};
        if (Status st = elemupd::add_element_source(*store, s); !st)
            return fail(st.error().message);
        return 0;
    }
    if (remove.chosen()) {
        if (Status st = elemupd::remove_element_source(*store, remove_name); !st)
            return fail(st.error().message);
        return 0;
    }
    for (const auto& s : elemupd::read_element_sources(*store))
        std::printf("%s %s %s\n", s.name.c_str(), elemupd::format_name(s.format).c_str(), s.url.c_str());
    return 0;
}

// orva sat: the satellites of the store, set up from the command line with the same fields, limits
// and messages as Helmo's "Satellite Setup" pages.
#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/settings/keys.h"
#include "common/settings/setup_command.h"
#include "common/settings/suite_settings.h"
#include "station/setup/satellite_setup.h"
#include "cli/sat/tell_station.h"
#include "platform/options/program_options.h"

using namespace orva;
using namespace orva::station::setup;

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "orva sat: %s\n", message.c_str());
    return 1;
}

void print_record(const SatelliteEdit& e)
{
    for (const auto& page : satellite_pages()) {
        std::printf("# %s\n", page.c_str());
        for (const auto& f : satellite_form())
            if (page == f.page)
                std::printf("%s=%s\n", f.label, f.show(e.record()).c_str());
    }
}

const char* input_name(Input i)
{
    switch (i) {
    case Input::Text: return "characters";
    case Input::Digits: return "digits";
    case Input::Decimal: return "number, characters";
    case Input::Flag: return "1 or 0";
    case Input::Choice: return "one of";
    }
    return "";
}

int save(SatelliteEdit& e, platform::Store& store, const std::vector<std::string>& fields)
{
    Status error;
    if (auto problem = e.apply_pages(fields, error))
        return fail(problem->message);
    if (!error)
        return fail(error.error().message);
    auto report = e.save(store);
    if (!report)
        return fail(report.error().message);
    for (const auto& m : report->messages)
        std::fprintf(stderr, "orva sat: %s\n", m.c_str());
    std::printf("%s saved as %s\n", e.record().name.c_str(), e.key_path().c_str());
    std::printf("%s\n", tools::tell_station_to_reload().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string name;
    std::vector<std::string> fields;
    platform::ProgramOptions cli("orva sat", "The satellites of the store, set up with the fields, limits and messages of "
                                             "Helmo's \"Satellite Setup\" pages.");
    cli.require_subcommand().footer(
        "FIELD is a label of the setup pages (\"Retry time\") or the value it stores (\"Retry Time\").\n"
        "The store is $ORVA_STORE, else ~/.config/orva/store.db.");
    auto& list = cli.subcommand("list", "The satellites' names, in the store's order.");
    auto& show = cli.subcommand("show", "Every field of a satellite, page by page, as FIELD=VALUE.");
    show.positional("NAME", name, "The satellite's name");
    auto& fields_cmd = cli.subcommand("fields", "The fields that add and edit take, with their pages and limits.");
    auto& add = cli.subcommand("add", "A new satellite (\"Satellite Type=PacSat\" is required).");
    add.positional("NAME", name, "The satellite's name").positionals("FIELD=VALUE", fields, "Fields to set");
    auto& edit = cli.subcommand("edit", "Change fields of a satellite.");
    edit.positional("NAME", name, "The satellite's name").positionals("FIELD=VALUE", fields, "Fields to set", true);
    auto& del = cli.subcommand("delete", "Remove a satellite from the store.");
    del.positional("NAME", name, "The satellite's name");
    if (auto code = cli.parse(argc, argv))
        return *code;

    if (fields_cmd.chosen()) {
        for (const auto& f : satellite_form()) {
            std::string kind = input_name(f.input);
            if (f.input == Input::Choice) {
                for (std::size_t i = 0; i < f.choices.size(); ++i)
                    kind += (i ? ", \"" : " \"") + f.choices[i] + "\"";
            } else if (f.limit > 0) {
                kind = std::to_string(f.limit) + " " + kind;
            }
            std::printf("%-14s %-32s (%s) %s\n", f.page, f.label, f.value, kind.c_str());
        }
        return 0;
    }
    auto store = platform::Store::open_default(list.chosen() || show.chosen() ? platform::Access::ReadOnly
                                                                              : platform::Access::ReadWrite);
    if (!store)
        return fail(store.error().message);
    if (list.chosen()) {
        for (const auto& n : settings::list_satellites(*store))
            std::printf("%s\n", n.c_str());
        return 0;
    }
    if (show.chosen()) {
        auto e = SatelliteEdit::open(*store, name);
        if (!e)
            return fail(e.error().message);
        print_record(*e);
        return 0;
    }
    if (del.chosen()) {
        if (Status s = settings::delete_satellite(*store, name); !s)
            return fail(s.error().message);
        QCoreApplication app(argc, argv);
        std::printf("%s deleted\n%s\n", name.c_str(), tools::tell_station_to_reload().c_str());
        return 0;
    }
    QCoreApplication app(argc, argv);
    if (add.chosen()) {
        if (!store->key_exists(settings::keys::general))
            return fail(std::string("this station is not set up yet: run ") + settings::setup_command + " first");
        auto e = SatelliteEdit::create(settings::read_general(*store, settings::Program::Helmo).orva_directory);
        fields.insert(fields.begin(), "Name=" + name);
        return save(e, *store, fields);
    }
    auto e = SatelliteEdit::open(*store, name);
    if (!e)
        return fail(e.error().message);
    return save(*e, *store, fields);
}

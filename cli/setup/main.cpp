// orva setup: sets up the operator's own station, as Helmo's first start does, or the demo station.
//   orva setup [--store FILE] --callsign CALL (--locator LOC | --lat DEG --lon DEG) [--dir DIR]
//   orva setup [--store FILE] --demo DIR
// On a terminal it asks for whatever the options leave out.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "platform/store/store.h"
#include "cli/setup/demo_station.h"
#include "platform/options/program_options.h"
#include "station/setup/first_setup.h"

using namespace orva;
using namespace orva::station::setup;

namespace {

// One answer from the terminal; none at the end of input.
std::optional<std::string> ask(const std::string& question)
{
    std::fprintf(stderr, "%s", question.c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    return line;
}

// Asks until `check` takes the answer; none at the end of input.
template <class T, class Check>
std::optional<T> ask_until(const std::string& question, Check check)
{
    for (;;) {
        auto answer = ask(question);
        if (!answer)
            return std::nullopt;
        auto checked = check(*answer);
        if (checked)
            return *checked;
        std::fprintf(stderr, "orva setup: %s\n", checked.error().message.c_str());
    }
}

std::optional<GeoPosition> ask_position()
{
    for (;;) {
        auto locator = ask("Maidenhead locator (4 or 6 characters, or Enter to give latitude and longitude): ");
        if (!locator)
            return std::nullopt;
        if (locator->empty())
            break;
        if (auto p = locator_position(*locator))
            return *p;
        else
            std::fprintf(stderr, "orva setup: %s\n", p.error().message.c_str());
    }
    auto lat = ask_until<double>("Latitude (52.2 or 52.2N; 33.9S or -33.9 for south): ",
                                 [](const std::string& t) { return parse_coordinate(t, Axis::Latitude); });
    if (!lat)
        return std::nullopt;
    auto lon = ask_until<double>("Longitude (1.5E or 1.5; 1.5W or -1.5 for west): ",
                                 [](const std::string& t) { return parse_coordinate(t, Axis::Longitude); });
    if (!lon)
        return std::nullopt;
    return GeoPosition{*lat, *lon};
}

int cancelled()
{
    std::fprintf(stderr, "\norva setup: cancelled; nothing was written\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir, store_file, demo_dir, callsign, locator, lat_text, lon_text;
    platform::ProgramOptions cli("orva setup", "Sets up the operator's own station in the store, as Helmo's first "
                                               "start does, or the demo station.");
    cli.option("--callsign", callsign, "The station's callsign (up to 9 letters, digits, / and -)", "CALL")
        .option("--locator", locator, "The station's Maidenhead locator, 4 or 6 characters (IO91wm)", "LOC")
        .option("--lat", lat_text, "Latitude instead of a locator: 52.2 or 52.2N; 33.9S or -33.9 for south", "DEG")
        .option("--lon", lon_text, "Longitude instead of a locator: 1.5E or 1.5; 1.5W or -1.5 for west", "DEG")
        .option("--dir", dir, "The Orva folder (default $XDG_DATA_HOME/orva, else ~/.local/share/orva)", "DIR")
        .option("--demo", demo_dir, "Write a complete demo station with its suite folder in DIR instead", "DIR")
        .option("--store", store_file, "The store to write instead of $ORVA_STORE", "FILE")
        .footer("Without the callsign or the position, on a terminal, it asks for them and for the folder.");
    if (auto code = cli.parse(argc, argv))
        return *code;
    const bool have_dir = cli.given("--dir");
    const bool station_options = cli.given("--callsign") || cli.given("--locator") || cli.given("--lat") ||
                                 cli.given("--lon") || have_dir;
    if (cli.given("--demo") && station_options)
        return cli.usage_error("--demo takes no station option");
    if (cli.given("--demo") && demo_dir.empty())
        return cli.usage_error("--demo needs a folder");
    if (cli.given("--locator") && (cli.given("--lat") || cli.given("--lon")))
        return cli.usage_error("give the position by --locator or by --lat and --lon, not both");

    auto store = store_file.empty() ? platform::Store::open_default(platform::Access::ReadWrite)
                                    : platform::Store::open(store_file, platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "orva setup: %s\n", store.error().message.c_str());
        return 1;
    }

    if (cli.given("--demo")) {
        auto result = tools::create_demo_station(*store, demo_dir);
        if (!result) {
            std::fprintf(stderr, "orva setup: %s\n", result.error().message.c_str());
            return 1;
        }
        for (const auto& m : *result)
            std::fprintf(stderr, "orva setup: %s\n", m.c_str());
        std::printf("Demo station written to %s, suite directory %s\n", store->file().c_str(), demo_dir.c_str());
        return result->empty() ? 0 : 1;
    }

    // What the options give, checked; on a terminal the rest is asked for.
    const bool terminal = ::isatty(STDIN_FILENO);
    FirstSetup setup;
    std::optional<GeoPosition> position;
    if (!callsign.empty()) {
        auto call = check_callsign(callsign);
        if (!call)
            return cli.usage_error(call.error().message);
        setup.callsign = *call;
    }
    if (!locator.empty()) {
        auto p = locator_position(locator);
        if (!p)
            return cli.usage_error(p.error().message);
        position = *p;
    } else if (!lat_text.empty() || !lon_text.empty()) {
        if (lat_text.empty() || lon_text.empty())
            return cli.usage_error("give both --lat and --lon");
        auto lat = parse_coordinate(lat_text, Axis::Latitude);
        auto lon = parse_coordinate(lon_text, Axis::Longitude);
        if (!lat || !lon)
            return cli.usage_error((!lat ? lat : lon).error().message);
        position = GeoPosition{*lat, *lon};
    }
    if ((setup.callsign.empty() || !position) && !terminal)
        return cli.usage_error("give the station's callsign and position: orva setup --callsign CALL --locator LOC "
                               "(or --lat DEG --lon DEG)");
    const bool asking = setup.callsign.empty() || !position;
    if (asking)
        std::fprintf(stderr, "Setting up the station in %s\n", store->file().c_str());
    if (setup.callsign.empty()) {
        auto call = ask_until<std::string>("Callsign: ", [](const std::string& t) { return check_callsign(t); });
        if (!call)
            return cancelled();
        setup.callsign = *call;
    }
    if (!position && !(position = ask_position()))
        return cancelled();
    setup.position = *position;
    setup.orva_directory = have_dir ? dir : default_orva_directory();
    if (asking && !have_dir) {
        auto answer = ask("Orva folder [" + setup.orva_directory + "]: ");
        if (!answer)
            return cancelled();
        if (!answer->empty())
            setup.orva_directory = *answer;
    }

    FirstSetupResult done = write_first_setup(*store, setup);
    // A folder that cannot be used is asked for again on a terminal.
    while (!done.ok() && done.problem->field == SetupField::Folder && asking) {
        std::fprintf(stderr, "orva setup: %s\n", done.problem->message.c_str());
        auto answer = ask("Orva folder: ");
        if (!answer)
            return cancelled();
        setup.orva_directory = *answer;
        done = write_first_setup(*store, setup);
    }
    if (!done.ok() && done.problem->field != SetupField::Store)
        return cli.usage_error(done.problem->message);
    if (!done.ok()) {
        std::fprintf(stderr, "orva setup: %s\n", done.problem->message.c_str());
        return 1;
    }
    std::printf("Station %s at %f %c, %f %c written to %s\nOrva folder %s\n", setup.callsign.c_str(),
                std::fabs(done.latitude), done.latitude < 0 ? 'S' : 'N', std::fabs(done.longitude_west),
                done.longitude_west > 0 ? 'W' : 'E', store->file().c_str(), done.orva_directory.c_str());
    std::printf("Next: orva elements update, then orva sat add NAME \"Satellite Type=PacSat\", then orva passes\n");
    return 0;
}

// The station's commands as an operator runs them: orva passes and helmo --headless, as real
// processes over a demo station in a temporary folder.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <regex>

#include "common/atomic_file.h"
#include "common/elements/kep_database.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "station/core/pass_listing.h"
#include "station/schedule/schedule_file.h"
#include "cli/demo/child.h"
#include "cli/demo/demo_pass.h"
#include "cli/setup/demo_station.h"
#include "cli/tests/demo_station_fixture.h"

namespace orva::tools {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::int64_t kFrom = 1796947200; // 2026-12-11T00:00:00Z, five days after the elements' epoch

class StationCommands : public DemoStationTest {
protected:
    void SetUp() override
    {
        auto listed_uo22 = [](platform::Store& store) {
            // UO-22 listed only: its passes are never scheduled.
            auto key = settings::find_satellite_key(store, "UO-22", settings::CaseRule::IgnoreCase);
            ASSERT_TRUE(key);
            settings::SatelliteRecord uo = settings::read_satellite_key(store, *key);
            uo.state = 1;
            ASSERT_TRUE(settings::write_satellite(store, *key, uo).ok());
            settings::HelmoSettings h = settings::read_helmo(store);
            h.tracking = "AO-16~UO-22~";
            ASSERT_TRUE(settings::write_helmo(store, h).ok());
        };
        ASSERT_NO_FATAL_FAILURE(write_station("orva-station-cmd-", listed_uo22, {demo_orbit_ao16(), demo_orbit_uo22()}));
    }
};

std::size_t count_of(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::vector<std::string> objects_of(const std::string& json)
{
    std::vector<std::string> out;
    for (std::size_t at = json.find('{'); at != std::string::npos; at = json.find('{', at + 1))
        out.push_back(json.substr(at, json.find('}', at) - at + 1));
    return out;
}

std::string field(const std::string& object, const std::string& name)
{
    std::smatch m;
    std::regex re("\"" + name + "\": (\"[^\"]*\"|[-0-9.]+|true|false)");
    return std::regex_search(object, m, re) ? m[1].str() : std::string();
}

TEST_F(StationCommands, PassesJsonHasEveryFieldWithinTheSpan)
{
    auto [code, out] = run({ORVA_PASSES, "--json", "--days", "1", "--from", "2026-12-11T00:00:00Z"});
    ASSERT_EQ(code, 0) << out;
    std::vector<std::string> passes = objects_of(out);
    ASSERT_GE(passes.size(), 6u) << out; // two low polar orbits at 52 N: several passes each a day
    const std::regex iso("\"\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z\"");
    int scheduled = 0;
    std::int64_t previous_aos = 0;
    for (const std::string& p : passes) {
        for (const char* f : {"satellite", "aos", "tca", "los", "max_elevation_deg", "aos_azimuth_deg",
                              "los_azimuth_deg", "duration_s", "scheduled", "priority", "dont_run", "listen_only",
                              "elevation_ok", "flip"})
            ASSERT_FALSE(field(p, f).empty()) << f << " missing in " << p;
        for (const char* f : {"aos", "tca", "los"})
            EXPECT_TRUE(std::regex_match(field(p, f), iso)) << p;
        auto unquote = [](std::string s) { return s.substr(1, s.size() - 2); };
        std::int64_t aos = parse_iso8601(unquote(field(p, "aos")))->time_since_epoch().count();
        std::int64_t tca = parse_iso8601(unquote(field(p, "tca")))->time_since_epoch().count();
        std::int64_t los = parse_iso8601(unquote(field(p, "los")))->time_since_epoch().count();
        EXPECT_GE(aos, kFrom - 1200) << p;
        EXPECT_LT(aos, kFrom + 86400) << p;
        EXPECT_GE(aos, previous_aos);
        previous_aos = aos;
        EXPECT_LE(aos, tca);
        EXPECT_LE(tca, los);
        EXPECT_EQ(std::stoll(field(p, "duration_s")), los - aos);
        double el = std::stod(field(p, "max_elevation_deg"));
        EXPECT_GT(el, 0);
        EXPECT_LE(el, 90);
        if (field(p, "satellite") == "\"UO-22\"") {
            EXPECT_EQ(field(p, "scheduled"), "false") << "a listed-only satellite never runs";
            EXPECT_EQ(field(p, "dont_run"), "true");
        }
        scheduled += field(p, "scheduled") == "true";
    }
    EXPECT_GT(scheduled, 0);
    EXPECT_GT(count_of(out, "\"AO-16\""), 0u);
    EXPECT_GT(count_of(out, "\"UO-22\""), 0u);
}

// The command prints what the station's own search and dispatcher give, and --days widens the
// span without changing the passes already in it.
TEST_F(StationCommands, PassesMatchTheStationSearchAndDaysWiden)
{
    auto [code1, one] = run({ORVA_PASSES, "--json", "--days", "1", "--from", "2026-12-11T00:00:00Z"});
    auto [code2, two] = run({ORVA_PASSES, "--json", "--days", "2", "--from", "2026-12-11T00:00:00Z"});
    ASSERT_EQ(code1, 0);
    ASSERT_EQ(code2, 0);
    std::vector<std::string> a = objects_of(one), b = objects_of(two);
    ASSERT_GT(b.size(), a.size() + 3);
    for (std::size_t i = 0; i < a.size(); ++i)
        for (const char* f : {"satellite", "aos", "los", "max_elevation_deg"})
            EXPECT_EQ(field(a[i], f), field(b[i], f)) << i;

    auto store = platform::Store::open(dir / "store.db", platform::Access::ReadOnly);
    ASSERT_TRUE(store.ok());
    auto db = elements::KepDatabase::load(elements::kep_database_path(dir / "station"));
    ASSERT_TRUE(db.ok());
    EXPECT_EQ(one, station::passes_json(station::list_passes(*store, *db, kFrom, 1).passes));

    // Another start time moves the span.
    auto [code3, later] = run({ORVA_PASSES, "--json", "--days", "1", "--from", "2026-12-12T00:00:00Z"});
    ASSERT_EQ(code3, 0);
    std::vector<std::string> c = objects_of(later);
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(field(c.front(), "aos"), field(b[a.size()], "aos"));
}

// A new user's first steps: the demo station as `orva setup --demo` leaves it lists passes of
// both its satellites.
TEST_F(StationCommands, TheDemoStationAsSetUpListsPassesOfBothSatellites)
{
    fs::path fresh = dir / "fresh";
    env = {"ORVA_STORE=" + (fresh / "store.db").string()};
    auto [setup_rc, setup_out] = run({ORVA_SETUP, "--demo", (fresh / "station").string()});
    ASSERT_EQ(setup_rc, 0) << setup_out;
    auto [rc, out] = run({ORVA_PASSES, "--days", "2", "--json", "--from", "2026-12-09T00:00:00Z"});
    ASSERT_EQ(rc, 0) << out;
    std::vector<std::string> passes = objects_of(out);
    std::map<std::string, int> per_satellite;
    for (const std::string& p : passes)
        ++per_satellite[field(p, "satellite")];
    EXPECT_GE(per_satellite["\"AO-16\""], 2) << out;
    EXPECT_GE(per_satellite["\"UO-22\""], 2) << out;
}

TEST_F(StationCommands, PassesRefusesBadArgumentsWithTheirReason)
{
    auto [c1, o1] = run({ORVA_PASSES, "--from", "yesterday"});
    EXPECT_EQ(c1, 2);
    EXPECT_NE(o1.find("is not a UTC time"), std::string::npos) << o1;
    auto [c2, o2] = run({ORVA_PASSES, "--days", "0"});
    EXPECT_EQ(c2, 2);
    EXPECT_NE(o2.find("--days: 0 is not from 1 to 30"), std::string::npos) << o2;
    auto [c3, o3] = run({ORVA_PASSES, "--days", "40"});
    EXPECT_EQ(c3, 2);
    auto [c4, o4] = run({ORVA_PASSES});
    EXPECT_EQ(c4, 0) << o4;
    EXPECT_NE(o4.find("Satellite     P El AOS"), std::string::npos) << o4;
}

// helmo --headless prints the live table with both satellites and the schedule, and on SIGTERM
// stops in order and saves its schedule, which loads back whole.
TEST_F(StationCommands, HelmoPrintsTheLiveTableAndSavesItsStateOnSigterm)
{
    auto c = Child::start({ORVA_HELMO, "--headless"}, env);
    ASSERT_TRUE(c.ok());
    std::string out;
    auto limit = std::chrono::steady_clock::now() + 60s;
    auto has_table = [&] {
        std::size_t at = out.find("Satellite    Azm  El  Range  Doplr   MA  CountDwn  Mode");
        return at != std::string::npos && out.find("Satellite     P El Start Time         Finish Time", at) != std::string::npos &&
               count_of(out.substr(at), "AO-16") >= 2; // a table row and a schedule row
    };
    while (!has_table() && std::chrono::steady_clock::now() < limit && !(*c)->poll_exit()) {
        pollfd p{(*c)->output_fd(), POLLIN, 0};
        ::poll(&p, 1, 200);
        for (const std::string& l : (*c)->read_lines())
            out += l + "\n";
    }
    ASSERT_TRUE(has_table()) << out;
    EXPECT_NE(out.find("Helmo started: station N0CALL"), std::string::npos) << out;
    std::size_t at = out.find("Satellite    Azm");
    EXPECT_NE(out.find("UO-22", at), std::string::npos) << out;
    // A live row: name, azimuth, elevation, range and the countdown "hh:mm:ss".
    EXPECT_TRUE(std::regex_search(out.substr(at), std::regex("AO-16 +[0-9]+ +-?[0-9]+ +[0-9]+ .* [0-9]{2}:[0-9]{2}:[0-9]{2}")))
        << out;

    ::kill((*c)->pid(), SIGTERM);
    std::optional<int> code = (*c)->wait_for(20s);
    for (const std::string& l : (*c)->read_lines())
        out += l + "\n";
    ASSERT_TRUE(code) << out;
    EXPECT_EQ(*code, 0) << out;
    EXPECT_NE(out.find("signal SIGTERM: shutting down"), std::string::npos) << out;
    EXPECT_NE(out.find("schedule saved to"), std::string::npos) << out;
    fs::path saved = dir / "station" / station::kScheduleFileName;
    auto bytes = read_file(saved);
    ASSERT_TRUE(bytes.ok());
    auto entries = station::decode_schedule(*bytes);
    ASSERT_TRUE(entries.ok()) << entries.error().message;
    EXPECT_FALSE(entries->empty());
    for (const station::PassEntry& e : *entries)
        EXPECT_TRUE(e.name == "AO-16" || e.name == "UO-22") << e.name;
}

} // namespace
} // namespace orva::tools

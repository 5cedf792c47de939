// The station's first setup over a real store and folder: every fixed key with the installer's
// defaults, the position as the Station sheet stores it, values already there kept, General last,
// and a refusal that writes nothing.
#include "station/setup/first_setup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "common/elements/kep_database.h"
#include "common/elements/observer_file.h"
#include "common/settings/field_table.h"
#include "common/settings/keys.h"
#include "platform/store/store_text.h"
#include "station/setup/form.h"
#include "station/setup/station_setup.h"
#include "station/tests/setup_temp.h"

using namespace orva;
using namespace orva::station::setup;
namespace keys = orva::settings::keys;
namespace fs = std::filesystem;

namespace {

double stored_double(const platform::Store& store, const char* key, const char* name)
{
    auto b = store.read_binary(key, name, 8);
    EXPECT_TRUE(b.ok()) << name;
    return b ? settings::detail::decode_double_le(*b) : NAN;
}

FirstSetup g4xyz(const fs::path& dir)
{
    return FirstSetup{"g4xyz", *locator_position("IO91wm"), dir.string()};
}

} // namespace

TEST(FirstSetup, WritesEveryFixedKeyWithTheInstallersDefaults)
{
    test_support::SetupScratch t;
    auto store = t.open();
    FirstSetupResult r = write_first_setup(store, g4xyz(t.dir / "orva"));
    ASSERT_TRUE(r.ok()) << r.problem->message;

    for (const char* key : {keys::general, keys::station, keys::helmo, keys::helmo_programs, keys::helmo_events,
                            keys::satellites, keys::rotator, keys::transverters, keys::quillet, keys::dispo, keys::tessel,
                            keys::brek})
        EXPECT_TRUE(store.key_exists(key)) << key;
    EXPECT_FALSE(store.key_exists(keys::pixora)) << "Pixora makes its own key";

    // The callsign in upper case without its NUL, the position of the page's typed magnitudes.
    auto call = store.read_value(keys::station, "Callsign");
    ASSERT_TRUE(call.ok());
    EXPECT_EQ(std::string(call->data.begin(), call->data.end()), "G4XYZ");
    EXPECT_EQ(stored_double(store, keys::station, "Latitude"), 51.520833);
    EXPECT_EQ(stored_double(store, keys::station, "Longitude"), 0.125) << "west is positive in the store";
    EXPECT_EQ(r.latitude, 51.520833);
    EXPECT_EQ(r.longitude_west, 0.125);
    EXPECT_EQ(store.read_string(keys::general, "Orva Directory", 260).value_or(""), (t.dir / "orva").string());

    // Option pages' defaults where a page edits the value, the readers' elsewhere.
    auto number = [&](const char* key, const char* name) { return store.read_integer(key, name).value_or(12345); };
    EXPECT_EQ(number(keys::general, "PrePass Sound"), 1u);
    EXPECT_EQ(number(keys::general, "New Mail Sound"), 1u);
    EXPECT_EQ(number(keys::general, "Error Sound"), 0u);
    EXPECT_EQ(number(keys::general, "Sound Type"), 1u);
    EXPECT_EQ(number(keys::dispo, "View Mine"), 1u);
    EXPECT_EQ(number(keys::dispo, "Update Keps"), 1u);
    EXPECT_EQ(number(keys::dispo, "Process Logs"), 0u);
    EXPECT_EQ(number(keys::tessel, "Maximum PFH Files"), 3u);
    EXPECT_EQ(number(keys::tessel, "Maximum Messages"), 450u);
    EXPECT_EQ(number(keys::tessel, "cyHeight"), 288u);
    EXPECT_EQ(number(keys::helmo, "Pop Up Time"), 180u);
    EXPECT_EQ(number(keys::helmo, "Schedule Days"), 1u);
    EXPECT_EQ(number(keys::helmo, "xLeft"), 0x80000000u);
    EXPECT_EQ(number(keys::rotator, "Park Delay"), 60u);
    EXPECT_EQ(number(keys::rotator, "Stop Position"), 1u);
    EXPECT_EQ(number(keys::brek, "Switching"), 1u);
    EXPECT_EQ(number(keys::brek, "Maximise Upload"), 1u);
    EXPECT_EQ(store.read_string(keys::quillet, "Greeting", 30).value_or(""), "Hello");
    EXPECT_EQ(store.read_binary(keys::station, "Horizon", 48).value_or({}).size(), 48u);
    EXPECT_FALSE(store.read_value(keys::station, "Control Name").ok()) << "the engine's remote store stays unnamed";

    // General is made last, so a store that has it is set up whole.
    auto children = store.subkeys("SOFTWARE\\Orva");
    ASSERT_FALSE(children.empty());
    EXPECT_EQ(children.back(), "General");

    // The folder's files: an empty element database and the station among the places.
    auto db = elements::KepDatabase::load(t.dir / "orva" / "Orva.KEP");
    ASSERT_TRUE(db.ok());
    EXPECT_EQ(db->free_slots(), elements::kKepSlots);
    EXPECT_EQ(fs::file_size(t.dir / "orva" / "Orva.KEP"), elements::kKepFileSize);
    auto places = elements::ObserverFile(t.dir / "orva" / "ORVA.OBS").read_all();
    ASSERT_TRUE(places.ok());
    ASSERT_EQ(places->size(), 1u);
    EXPECT_EQ((*places)[0].name, "G4XYZ");
    EXPECT_EQ((*places)[0].latitude, 51.520833);
    EXPECT_EQ((*places)[0].longitude, -0.125) << "the observer file keeps east positive";
}

// The Station sheet opened on the new station and closed with OK stores the very same bytes.
TEST(FirstSetup, StationSheetOkChangesNothing)
{
    test_support::SetupScratch t;
    auto store = t.open();
    for (const char* where : {"FN31pr", "QF56od", "JO01"}) {
        FirstSetup s{"W1AW", *locator_position(where), (t.dir / "orva").string()};
        ASSERT_TRUE(write_first_setup(store, s).ok()) << where;
        std::string before = platform::export_store_text(store);
        StationForm form = read_station_form(store);
        for (const auto& f : station_form())
            ASSERT_TRUE(apply_text(f, form, f.show(form)).ok()) << f.label;
        ASSERT_TRUE(write_station_form(store, form).ok());
        EXPECT_EQ(platform::export_store_text(store), before) << where;
    }
    // East of Greenwich is stored negative, south negative.
    EXPECT_EQ(stored_double(store, keys::station, "Longitude"), -1.0);
    FirstSetup sydney{"VK2ABC", *locator_position("QF56od"), (t.dir / "orva").string()};
    ASSERT_TRUE(write_first_setup(store, sydney).ok());
    EXPECT_EQ(stored_double(store, keys::station, "Latitude"), -33.854167);
    EXPECT_EQ(stored_double(store, keys::station, "Longitude"), -151.208333);
    // On the prime meridian: a plain zero, not a negative one.
    FirstSetup greenwich{"G1ABC", {51.4769, 0.0}, (t.dir / "orva").string()};
    ASSERT_TRUE(write_first_setup(store, greenwich).ok());
    auto lon = store.read_binary(keys::station, "Longitude", 8);
    ASSERT_TRUE(lon.ok());
    EXPECT_EQ(*lon, std::vector<std::uint8_t>(8, 0));
}

TEST(FirstSetup, KeepsWhatIsStoredAndTheElementSets)
{
    test_support::SetupScratch t;
    auto store = t.open();
    ASSERT_TRUE(store.write_integer(keys::tessel, "Maximum Messages", 999).ok());
    ASSERT_TRUE(store.write_string(keys::helmo, "Tracking", "AO-16~").ok());
    ASSERT_TRUE(store.write_integer(keys::rotator, "Rotator Type", 2).ok());
    std::uint8_t altitude[8];
    settings::detail::encode_double_le(120.0, altitude);
    ASSERT_TRUE(store.write_binary(keys::station, "Altitude", altitude).ok());
    fs::create_directories(t.dir / "orva");
    elements::KepDatabase db;
    elements::KepRecord ao;
    ao.name = "AO-16";
    ao.catalogue = 20439;
    db.add_record(ao);
    ASSERT_TRUE(db.save(t.dir / "orva" / "ORVA.KEP").ok());

    ASSERT_TRUE(write_first_setup(store, g4xyz(t.dir / "orva/")).ok());
    EXPECT_EQ(store.read_integer(keys::tessel, "Maximum Messages").value_or(0), 999u);
    EXPECT_EQ(store.read_string(keys::helmo, "Tracking", 4096).value_or(""), "AO-16~");
    EXPECT_EQ(store.read_integer(keys::rotator, "Rotator Type").value_or(0), 2u);
    EXPECT_EQ(stored_double(store, keys::station, "Altitude"), 120.0);
    EXPECT_EQ(store.read_string(keys::general, "Orva Directory", 260).value_or(""), (t.dir / "orva").string())
        << "stored without its trailing slash";
    auto kept = elements::KepDatabase::load(elements::kep_database_path(t.dir / "orva"));
    ASSERT_TRUE(kept.ok());
    EXPECT_GE(kept->find_by_name("AO-16"), 0) << "the element database was replaced";
    int databases = 0;
    for (const auto& e : fs::directory_iterator(t.dir / "orva"))
        databases += station::setup::same_text_ignoring_case(e.path().filename().string(), "Orva.KEP");
    EXPECT_EQ(databases, 1) << "a second database beside the first";

    // A second run with another callsign and place replaces those and nothing else.
    std::string before = platform::export_store_text(store);
    FirstSetup again{"M0ABC", *locator_position("JO01"), (t.dir / "orva").string()};
    ASSERT_TRUE(write_first_setup(store, again).ok());
    EXPECT_EQ(store.read_string(keys::station, "Callsign", 12).value_or(""), "M0ABC");
    EXPECT_EQ(stored_double(store, keys::station, "Longitude"), -1.0);
    ASSERT_TRUE(write_first_setup(store, g4xyz(t.dir / "orva")).ok());
    EXPECT_EQ(platform::export_store_text(store), before);
}

TEST(FirstSetup, RefusalsWriteNothing)
{
    test_support::SetupScratch t;
    auto store = t.open();
    std::ofstream(t.dir / "plain-file") << "x";
    struct Case {
        FirstSetup setup;
        SetupField field;
        const char* why;
    };
    const Case cases[] = {
        {{"", {52, 0}, (t.dir / "a").string()}, SetupField::Callsign, "give the station's callsign"},
        {{"G4XYZ/PORT1", {52, 0}, (t.dir / "a").string()}, SetupField::Callsign, "more than 9 characters"},
        {{"G4 XYZ", {52, 0}, (t.dir / "a").string()}, SetupField::Callsign, "only letters, digits"},
        {{"GXYZ", {52, 0}, (t.dir / "a").string()}, SetupField::Callsign, "letters and a digit"},
        {{"G4XYZ", {91, 0}, (t.dir / "a").string()}, SetupField::Position, "latitude"},
        {{"G4XYZ", {52, -180.5}, (t.dir / "a").string()}, SetupField::Position, "longitude"},
        {{"G4XYZ", {NAN, 0}, (t.dir / "a").string()}, SetupField::Position, "latitude"},
        {{"G4XYZ", {52, 0}, ""}, SetupField::Folder, "give the Orva folder"},
        {{"G4XYZ", {52, 0}, (t.dir / "plain-file").string()}, SetupField::Folder, "is a file, not a folder"},
        {{"G4XYZ", {52, 0}, (t.dir / "plain-file" / "orva").string()}, SetupField::Folder, "Unable to create directory"},
        {{"G4XYZ", {52, 0}, "/" + std::string(300, 'x')}, SetupField::Folder, "longer than 259 characters"},
    };
    for (const Case& c : cases) {
        FirstSetupResult r = write_first_setup(store, c.setup);
        ASSERT_FALSE(r.ok()) << c.why;
        EXPECT_EQ(r.problem->field, c.field) << r.problem->message;
        EXPECT_NE(r.problem->message.find(c.why), std::string::npos) << r.problem->message;
    }
    EXPECT_EQ(platform::export_store_text(store), "Orva Store 1\n");
    EXPECT_FALSE(fs::exists(t.dir / "a"));

    // A folder the station may not write in is refused before it is used.
    if (::geteuid() != 0) {
        fs::create_directories(t.dir / "locked");
        ::chmod((t.dir / "locked").c_str(), 0555);
        FirstSetupResult r = write_first_setup(store, g4xyz(t.dir / "locked"));
        ::chmod((t.dir / "locked").c_str(), 0755);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.problem->field, SetupField::Folder);
        EXPECT_EQ(platform::export_store_text(store), "Orva Store 1\n");
    }
}

TEST(FirstSetup, CallsignsAndTheDefaultFolder)
{
    EXPECT_EQ(*check_callsign(" g4xyz/p "), "G4XYZ/P");
    EXPECT_EQ(*check_callsign("n0call-1"), "N0CALL-1");
    struct Restore {
        const char* name;
        std::optional<std::string> value;
        explicit Restore(const char* n) : name(n)
        {
            if (const char* v = std::getenv(n))
                value = v;
        }
        ~Restore() { value ? (void)::setenv(name, value->c_str(), 1) : (void)::unsetenv(name); }
    } data("XDG_DATA_HOME"), home("HOME");
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(default_orva_directory(), "/srv/data/orva");
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    ::setenv("HOME", "/home/op", 1);
    EXPECT_EQ(default_orva_directory(), "/home/op/.local/share/orva") << "a relative XDG_DATA_HOME is ignored";
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(default_orva_directory(), "/home/op/.local/share/orva");
}

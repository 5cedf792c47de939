#include "station/setup/satellite_setup.h"

#include <gtest/gtest.h>

#include "common/settings/keys.h"
#include "station/setup/station_setup.h"
#include "station/tests/setup_temp.h"

using namespace orva;
using namespace orva::station::setup;
namespace fs = std::filesystem;

namespace {

Status set(SatelliteEdit& e, const char* field, const char* text)
{
    const auto* f = find_form_field(satellite_form(), field);
    if (!f)
        return make_error(std::string("no field ") + field);
    return apply_text(*f, e.record(), text);
}

std::string shown(const SatelliteEdit& e, const char* field) { return find_form_field(satellite_form(), field)->show(e.record()); }

} // namespace

TEST(SatelliteSetup, NewPacSatTakesItsPathsFromTheNameEachTimeGeneralIsLeft)
{
    auto e = SatelliteEdit::create("/srv/orva/");
    ASSERT_TRUE(set(e, "Name", "UO-22"));
    ASSERT_TRUE(set(e, "Satellite Type", "PacSat"));
    EXPECT_FALSE(e.leave_page(kPageGeneral));
    EXPECT_EQ(shown(e, "Satellite"), "/srv/orva/UO-22");
    EXPECT_EQ(shown(e, "Message"), "/srv/orva/UO-22/Msgs");
    EXPECT_EQ(shown(e, "My Messages"), "/srv/orva/UO-22/MyMsgs");
    EXPECT_EQ(shown(e, "Log File"), "/srv/orva/UO-22/Logs");
    EXPECT_EQ(shown(e, "BBS"), "/srv/orva/UO-22/BBS");
    EXPECT_EQ(shown(e, "Program"), "/srv/orva/BREK.EXE %S");
    // Typed on the Directories page, then back to General with a new name: all recomputed.
    ASSERT_TRUE(set(e, "DLX", "/elsewhere"));
    ASSERT_TRUE(set(e, "Name", "AO-51"));
    EXPECT_FALSE(e.leave_page(kPageGeneral));
    EXPECT_EQ(shown(e, "DLX"), "/srv/orva/AO-51/DLX");
    EXPECT_EQ(shown(e, "Binary"), "/srv/orva/AO-51/Binary");
    EXPECT_EQ(e.record().program, "/srv/orva/BREK.EXE %S");
}

TEST(SatelliteSetup, GeneralPageRefusesAnEmptyName)
{
    auto e = SatelliteEdit::create("/srv/orva");
    auto p = e.leave_page(kPageGeneral);
    ASSERT_TRUE(p);
    ASSERT_TRUE(set(e, "Name", "X"));
    auto no_type = e.leave_page(kPageGeneral);
    ASSERT_TRUE(no_type);
    EXPECT_EQ(no_type->message, "You must select a satellite type.");
    ASSERT_TRUE(set(e, "Name", ""));
    p = e.leave_page(kPageGeneral);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->message, "You must enter a satellite name.  The name must be the same as that used in the keplerian elements.");
    EXPECT_EQ(p->caption, "Satellite Setup");
    EXPECT_EQ(p->field, "Name");
    EXPECT_FALSE(set(e, "Name", "ABCDEFGHIJKL")) << "12 characters accepted into an 11-character field";
}

TEST(SatelliteSetup, FinishPageDependsOnTypeAndSatGate)
{
    auto e = SatelliteEdit::create("/srv/orva");
    ASSERT_TRUE(set(e, "Name", "X"));
    ASSERT_TRUE(set(e, "Satellite Type", "PacSat"));
    EXPECT_EQ(e.finish_page(), kPageBrek);
    ASSERT_TRUE(set(e, "Enable SatGate operation", "1"));
    EXPECT_EQ(e.finish_page(), kPageSatGate);
    ASSERT_TRUE(set(e, "Satellite Type", "Analogue"));
    EXPECT_EQ(e.finish_page(), kPageFrequencies);
    EXPECT_FALSE(e.leave_page(kPageGeneral));
    EXPECT_EQ(e.record().enable_satgate, 0u) << "SatGate only applies to a PacSat";
    EXPECT_EQ(e.record().program, "") << "only a PacSat gets the engine as its program";
    ASSERT_TRUE(set(e, "Satellite Type", "Mailbox"));
    EXPECT_EQ(e.finish_page(), kPageTnc);
}

TEST(SatelliteSetup, TncPageClampsAndConvertsAsStored)
{
    auto e = SatelliteEdit::create("/srv/orva");
    ASSERT_TRUE(set(e, "Retry time", "99"));
    EXPECT_EQ(e.record().retry_time, 6000u);
    ASSERT_TRUE(set(e, "Retry time", "60"));
    EXPECT_EQ(e.record().retry_time, 60000u);
    EXPECT_EQ(shown(e, "Retry time"), "60");
    ASSERT_TRUE(set(e, "TX Delay", "3000"));
    EXPECT_EQ(e.record().tx_delay, 330u);
    ASSERT_TRUE(set(e, "TX Tail", "2500"));
    EXPECT_EQ(e.record().tx_tail, 2500u);
    ASSERT_TRUE(set(e, "Packet Length", "10"));
    EXPECT_EQ(e.record().pac_length, 245u);
    ASSERT_TRUE(set(e, "Packet Length", "20"));
    EXPECT_EQ(e.record().pac_length, 20u);
    ASSERT_TRUE(set(e, "TX Buffer Size", "100"));
    EXPECT_EQ(e.record().tx_buffer, 2047u);
    ASSERT_TRUE(set(e, "RX Buffer Size", "40000"));
    EXPECT_EQ(e.record().rx_buffer, 8192u);
    ASSERT_TRUE(set(e, "RX Buffer Size", "256"));
    EXPECT_EQ(e.record().rx_buffer, 256u);
    ASSERT_TRUE(set(e, "TNC Type", "KPC-9612"));
    EXPECT_EQ(e.record().tnc_type, 6u);
    ASSERT_TRUE(set(e, "Port", "COM12"));
    EXPECT_EQ(e.record().port, 12u);
    EXPECT_FALSE(set(e, "Speed", "300"));
    EXPECT_FALSE(set(e, "Retries", "100"));
    EXPECT_FALSE(set(e, "Retries", "1x"));
    ASSERT_TRUE(set(e, "Retries", ""));
    EXPECT_EQ(e.record().retries, 0u) << "an empty number is 0";
}

TEST(SatelliteSetup, ListsStoreTheirOwnNumbering)
{
    auto e = SatelliteEdit::create("/srv/orva");
    ASSERT_TRUE(set(e, "Directory Priority", "Priority"));
    EXPECT_EQ(e.record().dir_priority, 9u);
    ASSERT_TRUE(set(e, "Directory Priority", "Grab"));
    EXPECT_EQ(e.record().dir_priority, 4u);
    ASSERT_TRUE(set(e, "Mail priority", "Mine"));
    EXPECT_EQ(e.record().satgate_priority, 10u);
    ASSERT_TRUE(set(e, "Mail priority", "Auto3"));
    EXPECT_EQ(e.record().satgate_priority, 5u);
    ASSERT_TRUE(set(e, "Customisation", "Interrupt when not in queue"));
    EXPECT_EQ(e.record().bdcst_custom, 4u);
    ASSERT_TRUE(set(e, "Action when at tail of queue", "Nothing"));
    EXPECT_EQ(e.record().tail_action, 3u);
    ASSERT_TRUE(set(e, "SatGate Callsign", "ABCDEFGHIJ"));
    EXPECT_EQ(e.record().satgate_callsign, "ABCDEFGHI");
    ASSERT_TRUE(set(e, "Uplink 2", "145.9"));
    EXPECT_EQ(shown(e, "Uplink 2"), "145.900000");
    EXPECT_FALSE(set(e, "Uplink 2", "1234567890123"));
}

TEST(SatelliteSetup, PriorityZeroRefusedOnlyWhenRunningPasses)
{
    auto e = SatelliteEdit::create("/srv/orva");
    ASSERT_TRUE(set(e, "Priority", "0"));
    ASSERT_TRUE(set(e, "State", "Display"));
    EXPECT_FALSE(e.leave_page(kPageScheduling));
    ASSERT_TRUE(set(e, "State", "Track and Display"));
    auto p = e.leave_page(kPageScheduling);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->message, "You can't leave the PRIORITY set to 0 if you have this satellite set to automatically run passes.");
    EXPECT_EQ(p->field, "Priority");
    ASSERT_TRUE(set(e, "Priority", "5"));
    EXPECT_FALSE(e.leave_page(kPageScheduling));
}

TEST(SatelliteSetup, SaveRefusesASecondSatelliteOfTheSameNameAnyCase)
{
    test_support::SetupScratch t;
    auto store = t.open();
    auto a = SatelliteEdit::create(t.dir.string());
    ASSERT_TRUE(set(a, "Name", "AO-16"));
    ASSERT_TRUE(set(a, "Satellite Type", "PacSat"));
    ASSERT_TRUE(set(a, "Priority", "10"));
    ASSERT_FALSE(a.leave_all());
    ASSERT_TRUE(a.save(store));
    auto b = SatelliteEdit::create(t.dir.string());
    ASSERT_TRUE(set(b, "Name", "ao-16"));
    ASSERT_TRUE(set(b, "Satellite Type", "PacSat"));
    ASSERT_TRUE(set(b, "Priority", "10"));
    ASSERT_FALSE(b.leave_all());
    auto refused = b.save(store);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message, kNameExists);
    EXPECT_EQ(settings::list_satellites(store), std::vector<std::string>{"AO-16"});
    ASSERT_TRUE(set(b, "Name", "AO-16B"));
    ASSERT_FALSE(b.leave_all());
    ASSERT_TRUE(b.save(store));
    EXPECT_EQ(settings::list_satellites(store), (std::vector<std::string>{"AO-16", "AO-16B"}));
}

TEST(SatelliteSetup, PacSatDirectoriesAreCreatedAnalogueOnlyStored)
{
    test_support::SetupScratch t;
    auto store = t.open();
    auto pac = SatelliteEdit::create(t.dir.string());
    ASSERT_TRUE(set(pac, "Name", "UO-22"));
    ASSERT_TRUE(set(pac, "Satellite Type", "PacSat"));
    ASSERT_TRUE(set(pac, "Priority", "10"));
    ASSERT_FALSE(pac.leave_all());
    ASSERT_TRUE(set(pac, "Keps", (t.dir / "UO-22" / "K2/").string().c_str()));
    auto r = pac.save(store);
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_TRUE(r->messages.empty());
    EXPECT_TRUE(fs::is_directory(t.dir / "UO-22" / "Msgs"));
    EXPECT_TRUE(fs::is_directory(t.dir / "UO-22" / "K2"));
    EXPECT_EQ(store.read_string(pac.key_path(), "Keps Directory", 260).value_or("?"), (t.dir / "UO-22" / "K2").string());

    auto ana = SatelliteEdit::create(t.dir.string());
    ASSERT_TRUE(set(ana, "Name", "FO-29"));
    ASSERT_TRUE(set(ana, "Satellite Type", "Analogue"));
    ASSERT_TRUE(set(ana, "State", "Display"));
    ASSERT_FALSE(ana.leave_all());
    ASSERT_TRUE(ana.save(store));
    EXPECT_FALSE(fs::exists(t.dir / "FO-29"));
    EXPECT_EQ(store.read_string(ana.key_path(), "Satellite Directory", 260).value_or("?"), (t.dir / "FO-29").string());
    EXPECT_EQ(store.read_string(ana.key_path(), "Program", 260).value_or("?"), "");
}

TEST(SatelliteSetup, EditShowsMissingValuesAsZeroAndKeepsHandValues)
{
    test_support::SetupScratch t;
    auto store = t.open();
    std::string key = std::string(settings::keys::satellites) + "\\OLD";
    ASSERT_TRUE(store.write_string(key, "Name", "OLD"));
    ASSERT_TRUE(store.write_integer(key, "Max Holes", 25));
    auto e = SatelliteEdit::open(store, "old");
    ASSERT_TRUE(e) << e.error().message;
    EXPECT_EQ(e->record().priority, 0u);
    EXPECT_EQ(e->record().state, 0u);
    EXPECT_EQ(e->record().retries, 0u);
    ASSERT_TRUE(set(*e, "Priority", "50"));
    ASSERT_FALSE(e->leave_all());
    ASSERT_TRUE(e->save(store));
    EXPECT_EQ(store.read_integer(key, "Priority").value_or(0), 50u);
    EXPECT_EQ(store.read_integer(key, "Max Holes").value_or(0), 25u) << "a value only added by hand was lost";
    EXPECT_EQ(store.read_integer(key, "Retries").value_or(99), 0u);
}

TEST(StationSetup, PositionSignsHoursMessageAndRotator)
{
    test_support::SetupScratch t;
    auto store = t.open();
    auto f = read_station_form(store);
    auto set_station = [&](const char* name, const char* text) {
        return apply_text(*find_form_field(station_form(), name), f, text);
    };
    ASSERT_TRUE(set_station("Callsign", "g0abc"));
    ASSERT_TRUE(set_station("Latitude", "51.5"));
    ASSERT_TRUE(set_station("North/South", "South"));
    ASSERT_TRUE(set_station("Longitude", "0.25"));
    ASSERT_TRUE(set_station("East/West", "East"));
    ASSERT_TRUE(set_station("Pacing Delay", "900"));
    ASSERT_TRUE(set_station("Rotator Type", "Level1"));
    ASSERT_TRUE(set_station("Display actual position", "1"));
    ASSERT_TRUE(set_station("90", "15"));
    auto saved = write_station_form(store, f);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->messages.empty());
    auto cs = store.read_value(settings::keys::station, "Callsign");
    ASSERT_TRUE(cs);
    EXPECT_EQ(std::string(cs->data.begin(), cs->data.end()), "G0ABC") << "stored upper case without its NUL";
    auto back = read_station_form(store);
    EXPECT_EQ(back.south, 1u);
    EXPECT_EQ(back.east, 1u);
    EXPECT_EQ(store.read_integer(settings::keys::rotator, "Pacing Delay").value_or(0), 500u);
    EXPECT_EQ(store.read_integer(settings::keys::helmo, "Rotor Display").value_or(9), 0u);
    auto hz = store.read_binary(settings::keys::station, "Horizon", 48);
    ASSERT_TRUE(hz);
    EXPECT_EQ((*hz)[12], 15);
    ASSERT_TRUE(set_station("Limit Hours", "1"));
    saved = write_station_form(store, f);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->messages, std::vector<std::string>{kHoursChanged});
}

TEST(SatelliteSetup, NewSatelliteNeedsTheSuiteDirectory)
{
    auto e = SatelliteEdit::create("");
    ASSERT_TRUE(set(e, "Name", "AO-16"));
    ASSERT_TRUE(set(e, "Satellite Type", "PacSat"));
    auto p = e.leave_page(kPageGeneral);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->message, kNoSuiteDirectory);
}

#include "common/settings/engine_stores.h"
#include "common/settings/event_sound.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/subkey_records.h"
#include "common/settings/suite_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace orva;
using namespace orva::settings;
using orva::platform::Access;
using orva::platform::Store;

namespace {

struct TempStore {
    TempStore()
    {
        std::string tmpl = (fs::temp_directory_path() / "orva-settings-XXXXXX").string();
        dir = mkdtemp(tmpl.data());
        store.emplace(std::move(Store::open(dir / "store.db", Access::ReadWrite).value()));
    }
    ~TempStore() { fs::remove_all(dir); }
    fs::path dir;
    std::optional<Store> store;
};

} // namespace

TEST(Settings, MissingValuesTakeTheReadersDefaults)
{
    TempStore t;
    Store& s = *t.store;
    EXPECT_EQ(read_general(s, Program::Brek).orva_directory, "/");
    EXPECT_EQ(read_general(s, Program::Dispo).orva_directory, "");
    EXPECT_EQ(read_general(s, Program::Helmo).sound_type, 1u);
    HelmoSettings h = read_helmo(s);
    EXPECT_EQ(h.x_left, 0x80000000u);
    EXPECT_EQ(h.cx_width, 580u);
    EXPECT_EQ(h.cy_height, 270u);
    EXPECT_EQ(h.font_name, "Terminal");
    EXPECT_EQ(h.pop_up_time, 180u);
    EXPECT_EQ(read_tessel(s).maximum_messages, 999u);
    EXPECT_EQ(tessel_page_defaults().maximum_messages, 450u);
    EXPECT_EQ(read_dispo(s).view_mine, 0u);
    EXPECT_EQ(dispo_page_defaults().view_mine, 1u);
    EXPECT_EQ(read_quillet(s).editor, "NOTEPAD.EXE");
    EXPECT_EQ(read_brek(s).y_top, 57u);
    EXPECT_EQ(read_rotator(s).park_delay, 60u);
    EXPECT_FALSE(read_station(s, Program::Brek).control_name);

    // A bare satellite key reads as the engine and the station assume.
    ASSERT_TRUE(s.write_string(std::string(keys::satellites) + "\\X", "Name", "X-1"));
    SatelliteRecord r = read_satellite(s, "x-1", Program::Brek).value();
    EXPECT_EQ(r.state, 3u);
    EXPECT_EQ(r.priority, 100u);
    EXPECT_EQ(r.rx_buffer, 32768u);
    EXPECT_EQ(r.tx_delay, 200u);
    EXPECT_EQ(r.pac_length, 244u);
    EXPECT_EQ(r.bdcst_frame, 244u);
    EXPECT_EQ(r.crc_close, 999999u);
    EXPECT_EQ(r.max_holes, 10u);
    EXPECT_EQ(r.uplinks, 2u);
}

TEST(Settings, ClampsOfTheReaders)
{
    TempStore t;
    Store& s = *t.store;
    for (std::uint32_t speed : {0u, 20000u, 0xFFFFFFFFu}) {
        ASSERT_TRUE(s.write_integer(keys::helmo, "Map Speed", speed));
        EXPECT_EQ(read_helmo(s).map_speed, 100u) << speed;
    }
    ASSERT_TRUE(s.write_integer(keys::helmo, "Map Speed", 10000));
    EXPECT_EQ(read_helmo(s).map_speed, 10000u);
    ASSERT_TRUE(s.write_integer(keys::helmo, "Map Origin", 5));
    EXPECT_EQ(read_helmo(s).map_origin, 0u);
    ASSERT_TRUE(s.write_integer(keys::helmo, "Map Origin", 2));
    EXPECT_EQ(read_helmo(s).map_origin, 2u);
    ASSERT_TRUE(s.write_integer(keys::rotator, "Pacing Delay", 80));
    EXPECT_EQ(read_rotator(s).pacing_delay, 50u);

    ASSERT_TRUE(s.write_integer(keys::helmo, "Rotor Display", 0));
    ASSERT_TRUE(s.write_integer(keys::rotator, "Rotator Type", 7));
    EXPECT_EQ(read_helmo(s).rotor_display, 1u) << "only a Level1 rotator may show its own position";
    ASSERT_TRUE(s.write_integer(keys::rotator, "Rotator Type", 2));
    EXPECT_EQ(read_helmo(s).rotor_display, 0u);

    ASSERT_TRUE(s.write_integer(keys::quillet, "Compression Type", 1));
    EXPECT_EQ(read_quillet(s).compression_type, 0u);

    const std::string key = std::string(keys::satellites) + "\\AO-16";
    ASSERT_TRUE(s.write_string(key, "Name", "AO-16"));
    for (std::uint32_t p : {0u, 101u}) {
        ASSERT_TRUE(s.write_integer(key, "Priority", p));
        EXPECT_EQ(read_satellite(s, "AO-16", Program::Helmo)->priority, 10u);
    }
    EXPECT_EQ(retry_time_from_page(90), 6000u);
    EXPECT_EQ(retry_time_from_page(3), 3000u);

    // Each program reads the callsign through its own buffer.
    ASSERT_TRUE(s.write_string_bytes(keys::station, "Callsign", "VE3ABCDEF"));
    EXPECT_EQ(read_station(s, Program::Helmo).callsign, "VE3ABCDEF");
    EXPECT_EQ(read_station(s, Program::Tessel).callsign, "") << "Tessel's 8-byte buffer cannot hold 9 letters";
}

TEST(Settings, SatelliteLookupFollowsEachProgramsCaseRule)
{
    TempStore t;
    Store& s = *t.store;
    SatelliteRecord r = new_satellite("AO-16", SatelliteType::PacSat, (t.dir / "orva").string());
    auto key = create_satellite_key(s, r.name);
    ASSERT_TRUE(key.ok());
    ASSERT_TRUE(write_satellite(s, *key, r).ok());

    EXPECT_TRUE(find_satellite_key(s, "ao-16", case_rule_of(Program::Tessel)));
    EXPECT_TRUE(find_satellite_key(s, "ao-16", case_rule_of(Program::Helmo)));
    EXPECT_FALSE(find_satellite_key(s, "ao-16", case_rule_of(Program::Dispo)));
    EXPECT_TRUE(find_satellite_key(s, "AO-16", case_rule_of(Program::Dispo)));
    EXPECT_FALSE(read_satellite(s, "ao-16", Program::Dispo).ok());

    // The key's own name means nothing: only "Name" identifies.
    ASSERT_TRUE(s.write_string(std::string(keys::satellites) + "\\LO-19", "Name", "UO-22"));
    EXPECT_EQ(find_satellite_key(s, "UO-22", CaseRule::Exact), std::string(keys::satellites) + "\\LO-19");
    EXPECT_FALSE(find_satellite_key(s, "LO-19", CaseRule::IgnoreCase));
    EXPECT_EQ(list_satellites(s), (std::vector<std::string>{"AO-16", "UO-22"}));
}

TEST(Settings, LeftOverKeysGetNumberedSuffixes)
{
    TempStore t;
    Store& s = *t.store;
    ASSERT_TRUE(s.create_key(std::string(keys::satellites) + "\\KO-25").ok()); // left over, no "Name"
    EXPECT_EQ(create_satellite_key(s, "KO-25").value(), std::string(keys::satellites) + "\\KO-25 [0]");
    EXPECT_EQ(create_satellite_key(s, "KO-25").value(), std::string(keys::satellites) + "\\KO-25 [1]");
    EXPECT_FALSE(create_satellite_key(s, "A\\B").ok());
}

TEST(Settings, NewSatellitesGetTheSetupsDirectoriesAndProgram)
{
    TempStore t;
    Store& s = *t.store;
    const fs::path orva = t.dir / "ORVA";
    SatelliteRecord r = new_satellite("UO-22", SatelliteType::PacSat, orva.string() + "/");
    EXPECT_EQ(r.satellite_directory, (orva / "UO-22").string());
    EXPECT_EQ(r.message_directory, (orva / "UO-22" / "Msgs").string());
    EXPECT_EQ(r.log_directory, (orva / "UO-22" / "Logs").string());
    EXPECT_EQ(r.program, (orva / "BREK.EXE").string() + " %S");
    EXPECT_EQ(r.priority, 0u);
    EXPECT_EQ(r.tx_delay, 150u);
    SatelliteRecord a = new_satellite("AO-27", SatelliteType::Analogue, orva.string());
    EXPECT_EQ(a.program, "");
    EXPECT_EQ(a.message_directory, (orva / "AO-27" / "Msgs").string());

    r.dsp_mode = "PSK1";
    r.uplink[2] = 145.85;
    r.downlink[0] = 437.025;
    r.message_directory += "/";
    auto key = create_satellite_key(s, r.name).value();
    auto report = write_satellite(s, key, r);
    ASSERT_TRUE(report.ok()) << report.error().message;
    EXPECT_TRUE(report->messages.empty());
    EXPECT_TRUE(fs::is_directory(orva / "UO-22" / "Binary")) << "a PacSat's directories are created";

    SatelliteRecord back = read_satellite(s, "UO-22", Program::Brek).value();
    EXPECT_EQ(back.message_directory, (orva / "UO-22" / "Msgs").string()) << "trailing slash kept";
    EXPECT_EQ(back.uplink[2], 145.85);
    EXPECT_EQ(back.downlink[0], 437.025);
    EXPECT_EQ(back.dsp_mode, "PSK1");
    EXPECT_EQ(s.read_value(key, "DSP Mode")->data.size(), 4u);
    EXPECT_EQ(back.tx_delay, 150u);
    EXPECT_EQ(s.read_value(key, "Uplink 3")->data.size(), 8u);
    EXPECT_FALSE(s.read_value(key, "Max Holes").ok()) << "a value no dialog writes was written";

    r.dsp_mode = "TOOLONG";
    EXPECT_FALSE(write_satellite(s, key, r).ok());

    // A directory that cannot be made is reported and still written.
    SatelliteRecord bad = new_satellite("RS-12", SatelliteType::PacSat, "/proc/orva-no");
    auto bad_key = create_satellite_key(s, bad.name).value();
    auto bad_report = write_satellite(s, bad_key, bad);
    ASSERT_TRUE(bad_report.ok());
    ASSERT_FALSE(bad_report->messages.empty());
    EXPECT_EQ(bad_report->messages[0], "Unable to create directory \"/proc/orva-no/RS-12\"");
    EXPECT_EQ(read_satellite(s, "RS-12", Program::Helmo)->satellite_directory, "/proc/orva-no/RS-12");

    ASSERT_TRUE(delete_satellite(s, "rs-12"));
    EXPECT_FALSE(find_satellite_key(s, "RS-12", CaseRule::IgnoreCase));
}

TEST(Settings, DirectoryNormalisation)
{
    EXPECT_EQ(normalise_directory("/data/"), "/data");
    EXPECT_EQ(normalise_directory("/data//"), "/data");
    EXPECT_EQ(normalise_directory("/"), "/");
    EXPECT_EQ(normalise_directory("/home/op/orva"), "/home/op/orva");
    EXPECT_EQ(normalise_directory(""), "");
}

TEST(Settings, StationRecordRoundTripsByteExact)
{
    TempStore t;
    Store& s = *t.store;
    StationSettings st;
    st.callsign = "G4XYZ";
    st.longitude = -1.5; // east
    st.latitude = 52.25;
    st.altitude = 95;
    st.horizon = {0, 5, -3, 10, 0, 0, 0, 0, 0, 0, 0, 90};
    ASSERT_TRUE(write_station(s, st));
    auto call = s.read_value(keys::station, "Callsign");
    EXPECT_EQ(call->data, (std::vector<std::uint8_t>{'G', '4', 'X', 'Y', 'Z'})) << "stored without its NUL";
    auto lon = s.read_value(keys::station, "Longitude");
    EXPECT_EQ(lon->data, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0xF8, 0xBF})) << "-1.5 as IEEE-754 LE";
    auto hz = s.read_value(keys::station, "Horizon");
    ASSERT_EQ(hz->data.size(), 48u);
    EXPECT_EQ(hz->data[8], 0xFD);
    EXPECT_EQ(hz->data[11], 0xFF);
    StationSettings back = read_station(s, Program::Helmo);
    EXPECT_EQ(back.horizon, st.horizon);
    EXPECT_EQ(back.latitude, 52.25);
    EXPECT_EQ(back.callsign, "G4XYZ");
}

// The engine reads satellites, the suite directory and the callsign from the store that
// "Control Name" names, and the position and its own key from the local one.
TEST(Settings, EngineReadsAnotherStationsStoreButKeepsItsPosition)
{
    TempStore local_t, remote_t;
    Store& remote = *remote_t.store;
    GeneralSettings g;
    g.orva_directory = "/srv/orva";
    ASSERT_TRUE(write_general(remote, g));
    StationSettings rs;
    rs.callsign = "W1REM";
    rs.latitude = 10;
    ASSERT_TRUE(write_station(remote, rs));
    SatelliteRecord r = new_satellite("AO-16", SatelliteType::Analogue, "/srv/orva");
    ASSERT_TRUE(write_satellite(remote, create_satellite_key(remote, "AO-16").value(), r).ok());

    Store& local = *local_t.store;
    StationSettings ls;
    ls.callsign = "G0LOC";
    ls.latitude = 51.5;
    ls.control_name = (remote_t.dir / "store.db").string();
    ASSERT_TRUE(write_station(local, ls));
    ASSERT_TRUE(local.write_integer(keys::brek, "cxWidth", 700));

    auto stores = EngineStores::open(std::move(*local_t.store));
    ASSERT_TRUE(stores.ok()) << stores.error().message;
    EXPECT_TRUE(stores->is_remote());
    EXPECT_EQ(read_general(stores->control(), Program::Brek).orva_directory, "/srv/orva");
    EXPECT_EQ(read_station(stores->control(), Program::Brek).callsign, "W1REM");
    EXPECT_EQ(read_station(stores->local(), Program::Brek).latitude, 51.5);
    EXPECT_EQ(read_brek(stores->local()).cx_width, 700u);
    EXPECT_TRUE(read_satellite(stores->control(), "AO-16", Program::Brek).ok());
    EXPECT_FALSE(read_satellite(stores->local(), "AO-16", Program::Brek).ok());

    // A control store that is not there is a failed connection.
    Store lonely = std::move(Store::open(remote_t.dir / "lonely.db", Access::ReadWrite).value());
    ASSERT_TRUE(lonely.write_string(keys::station, "Control Name", (remote_t.dir / "nowhere.db").string()));
    EXPECT_FALSE(EngineStores::open(std::move(lonely)).ok());
}

TEST(Settings, SubkeyRecordsKeepTheirLayoutAndOrder)
{
    TempStore t;
    Store& s = *t.store;
    TransverterRecord tv;
    tv.name = "2m-10m";
    tv.start_freq = 144.0;
    tv.rx_if = 28.0;
    tv.rx = 1;
    ASSERT_TRUE(write_transverter(s, tv));
    auto rx = s.read_value(std::string(keys::transverters) + "\\2m-10m", "RX");
    EXPECT_EQ(rx->type, platform::ValueType::Binary);
    EXPECT_EQ(rx->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    auto tvs = read_transverters(s);
    ASSERT_EQ(tvs.size(), 1u);
    EXPECT_EQ(tvs[0].second.rx_if, 28.0);

    auto first = create_toolbar_program_key(s).value();
    EXPECT_EQ(first, std::string(keys::helmo_programs) + "\\Program 1");
    ASSERT_TRUE(s.delete_key(first));
    auto second = create_toolbar_program_key(s).value();
    EXPECT_EQ(second, std::string(keys::helmo_programs) + "\\Program 2") << "numbers are never reused";
    ToolbarProgram p;
    p.name = "Editor";
    ASSERT_TRUE(write_toolbar_program(s, second, p));
    EXPECT_EQ(read_toolbar_programs(s).at(0).second.run, 2u);

    EventRecord e;
    e.name = "Backup";
    const std::string ev = std::string(keys::helmo_events) + "\\Backup";
    ASSERT_TRUE(write_event(s, ev, e));
    ASSERT_TRUE(write_event_result(s, ev, 100, 90, 3));
    auto events = read_events(s);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].second.last_return, 3u);
    EXPECT_EQ(events[0].second.last_success_time, 90u);
}

TEST(EventSound, SwitchTypeAndFileChooseWhatIsPlayed)
{
    using K = SoundChoice::Kind;
    GeneralSettings g;
    g.orva_directory = "/srv/orva";
    g.error_wav = "/w/err.wav";
    g.new_dl_wav = "/w/dl.wav";
    g.prepass_wav = "/w/pre.wav";
    // Switches off: silence whatever the type.
    g.sound_type = 3;
    EXPECT_EQ(choose_sound(g, SoundEvent::Error).kind, K::None);
    g.error_sound = g.new_dl_sound = g.prepass_sound = g.track_aos_sound = g.new_mail_sound = 1;
    // "No sounds".
    g.sound_type = 1;
    EXPECT_EQ(choose_sound(g, SoundEvent::Error).kind, K::None);
    // "Beeps only": errors exclaim, pre-pass and AOS ask, the rest stay silent.
    g.sound_type = 2;
    EXPECT_EQ(choose_sound(g, SoundEvent::Error).kind, K::ExclamationBeep);
    EXPECT_EQ(choose_sound(g, SoundEvent::PrePass).kind, K::QuestionBeep);
    EXPECT_EQ(choose_sound(g, SoundEvent::TrackAos).kind, K::QuestionBeep);
    EXPECT_EQ(choose_sound(g, SoundEvent::NewDownload).kind, K::None);
    EXPECT_EQ(choose_sound(g, SoundEvent::NewMail).kind, K::None);
    // "WAV sounds": the event's file; none named is silence, not an error.
    g.sound_type = 3;
    EXPECT_EQ(choose_sound(g, SoundEvent::NewDownload), (SoundChoice{K::Wave, "/w/dl.wav"}));
    EXPECT_EQ(choose_sound(g, SoundEvent::TrackAos).kind, K::None);
    EXPECT_EQ(choose_sound(g, SoundEvent::PrePass, "AO-16"), (SoundChoice{K::Wave, "/w/pre.wav"}));
    g.prepass_sat_wav = 1;
    EXPECT_EQ(choose_sound(g, SoundEvent::PrePass, "AO-16"), (SoundChoice{K::Wave, "/srv/orva/AO-16.WAV"}));
    EXPECT_EQ(choose_sound(g, SoundEvent::Error, "AO-16"), (SoundChoice{K::Wave, "/w/err.wav"}));
}

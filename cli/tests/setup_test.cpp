#include "cli/setup/demo_station.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>

#include "common/elements/kep_database.h"
#include "common/elements/observer_file.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"

namespace fs = std::filesystem;
using namespace orva;
using namespace orva::settings;

namespace {

struct TempDir {
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "orva-setup-XXXXXX").string();
        path = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

// Runs one of our programs with the store in the environment, returning exit status and output.
std::pair<int, std::string> run(const std::string& command, const fs::path& store)
{
    std::string line = "ORVA_STORE='" + store.string() + "' " + ORVA_BIN_DIR + "/" + command + " 2>&1";
    FILE* p = popen(line.c_str(), "r");
    std::string out;
    std::array<char, 4096> buf;
    while (std::size_t n = fread(buf.data(), 1, buf.size(), p))
        out.append(buf.data(), n);
    int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

} // namespace

TEST(DemoStation, IsCompleteAndRepeatable)
{
    TempDir t;
    auto store = platform::Store::open(t.path / "store.db", platform::Access::ReadWrite);
    ASSERT_TRUE(store.ok());
    for (int round = 0; round < 2; ++round) {
        auto r = tools::create_demo_station(*store, t.path / "suite");
        ASSERT_TRUE(r.ok()) << r.error().message;
        EXPECT_TRUE(r->empty());
    }
    EXPECT_EQ(read_general(*store, Program::Helmo).orva_directory, (t.path / "suite").string());
    EXPECT_EQ(read_station(*store, Program::Brek).callsign, "N0CALL");
    EXPECT_EQ(list_satellites(*store), (std::vector<std::string>{"AO-16", "UO-22"})) << "second run duplicated";
    auto ao = read_satellite(*store, "AO-16", Program::Brek);
    ASSERT_TRUE(ao.ok());
    EXPECT_EQ(ao->bbs_callsign, "PACSAT-12");
    EXPECT_EQ(ao->program, (t.path / "suite" / "BREK.EXE").string() + " %S");
    EXPECT_TRUE(fs::is_directory(t.path / "suite" / "UO-22" / "MyMsgs"));

    // The published amateur frequencies, as the Frequencies page stores them: 8-byte doubles in MHz.
    auto mhz = [&](const char* sat, const char* value) {
        auto key = find_satellite_key(*store, sat, CaseRule::IgnoreCase);
        auto b = key ? store->read_binary(*key, value, 8) : Result<std::vector<std::uint8_t>>(make_error("no key"));
        EXPECT_TRUE(b.ok()) << sat << " " << value;
        return b ? detail::decode_double_le(*b) : 0.0;
    };
    EXPECT_EQ(mhz("AO-16", "Uplink 1"), 145.920);
    EXPECT_EQ(mhz("AO-16", "Downlink 1"), 437.025);
    EXPECT_EQ(mhz("UO-22", "Uplink 1"), 145.900);
    EXPECT_EQ(mhz("UO-22", "Downlink 1"), 435.120);
    EXPECT_EQ(ao->default_uplink, 1u);
    EXPECT_EQ(ao->default_downlink, 1u);
    EXPECT_EQ(ao->uplink_mode, 0u) << "FM";
    EXPECT_EQ(ao->downlink_mode, 3u) << "USB for the PSK downlink";
    auto uo = read_satellite(*store, "UO-22", Program::Brek);
    ASSERT_TRUE(uo.ok());
    EXPECT_EQ(uo->downlink_mode, 0u) << "FM";

    // The bundled element sets and the places, once each after two runs.
    auto db = elements::KepDatabase::load(elements::kep_database_path(t.path / "suite"));
    ASSERT_TRUE(db.ok()) << db.error().message;
    for (const auto& [name, catalogue] : {std::pair{"AO-16", 20439}, std::pair{"UO-22", 21575}}) {
        int slot = db->find_by_name(name);
        ASSERT_GE(slot, 0) << name;
        EXPECT_EQ(db->slot(slot).catalogue, catalogue);
        EXPECT_EQ(db->slot(slot).epoch_year, 26);
        EXPECT_DOUBLE_EQ(db->slot(slot).epoch_day, 342.5);
    }
    auto places = elements::ObserverFile(elements::observer_file_path(t.path / "suite")).read_all();
    ASSERT_TRUE(places.ok());
    ASSERT_EQ(places->size(), std::size(tools::demo_places));
    EXPECT_EQ((*places)[0].name, "N0CALL");
    EXPECT_DOUBLE_EQ((*places)[0].latitude, 52.2);
}

// The operator's commands, run as an operator would.
TEST(OrvaReg, CommandsWorkAndFailuresExitNonZero)
{
    TempDir t;
    fs::path store = t.path / "cfg" / "store.db";
    EXPECT_EQ(run("orva setup --demo " + (t.path / "suite").string(), store).first, 0);
    auto [rc, out] = run("orva reg get 'SOFTWARE\\Orva\\Station' Callsign", store);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "N0CALL\n");
    EXPECT_EQ(run("orva reg set 'SOFTWARE\\Orva\\Rotator' Speed --dword 4800", store).first, 0);
    EXPECT_EQ(run("orva reg get 'software\\orva\\rotator' speed", store).second, "4800\n");
    EXPECT_EQ(run("orva reg set 'SOFTWARE\\Orva\\Station' Latitude --binary 00,00,00,00,00,00,4a,40", store).first, 0);
    EXPECT_EQ(run("orva reg get 'SOFTWARE\\Orva\\Station' Latitude", store).second, "00,00,00,00,00,00,4a,40\n");

    auto exported = run("orva reg export", store);
    ASSERT_EQ(exported.first, 0);
    EXPECT_EQ(exported.second.rfind("Orva Store 1\n", 0), 0u);
    std::ofstream(t.path / "dump.txt") << exported.second;
    fs::path copy = t.path / "copy.db";
    EXPECT_EQ(run("orva reg import " + (t.path / "dump.txt").string(), copy).first, 0);
    EXPECT_EQ(run("orva reg export", copy).second, exported.second);

    EXPECT_NE(run("orva reg get 'SOFTWARE\\Orva\\Station' Nothing", store).first, 0);
    EXPECT_NE(run("orva reg set K N --dword -1", store).first, 0);
    EXPECT_NE(run("orva reg set K N --dword 4294967296", store).first, 0);
    EXPECT_NE(run("orva reg set K N --binary 0g", store).first, 0);
    EXPECT_NE(run("orva reg delete 'SOFTWARE\\Orva\\Nothing'", store).first, 0);
    EXPECT_NE(run("orva reg list 'SOFTWARE\\Orva\\Nothing'", store).first, 0);
    std::ofstream(t.path / "bad.txt") << "Orva Store 1\n[K]\n\"A\"=dword:1\n\"B\"=junk\n";
    auto bad = run("orva reg import " + (t.path / "bad.txt").string(), store);
    EXPECT_NE(bad.first, 0);
    EXPECT_NE(bad.second.find("line 4"), std::string::npos) << bad.second;
    EXPECT_NE(run("orva reg get K A", store).first, 0) << "a failed import applied its first lines";
    EXPECT_EQ(run("orva reg delete 'SOFTWARE\\Orva\\Rotator' Speed", store).first, 0);

    std::ofstream(t.path / "garbage.db") << std::string(5000, 'x');
    auto corrupt = run("orva reg list", t.path / "garbage.db");
    EXPECT_NE(corrupt.first, 0);
    EXPECT_NE(corrupt.second.find("not an Orva configuration store"), std::string::npos);
}

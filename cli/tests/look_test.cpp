#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/elements/kep_database.h"
#include "common/settings/suite_settings.h"
#include "cli/look/look_report.h"

using namespace orva;
namespace fs = std::filesystem;

namespace {
elements::KepRecord iss()
{
    elements::KepRecord r;
    r.name = "ISS";
    r.catalogue = 25544;
    r.epoch_year = 25;
    r.epoch_day = 179.15776912;
    r.inclination = 51.6349;
    r.raan = 252.7052;
    r.eccentricity = 0.0002263;
    r.arg_perigee = 302.4301;
    r.mean_anomaly = 57.6469;
    r.mean_motion = 15.50279857;
    r.epoch_rev = 51686;
    r.beacon_mhz = 145.8;
    return r;
}

// The demo station, west-positive longitude as stored.
elements::ObserverSite demo() { return elements::ObserverSite::from_station("N0CALL", 52.2, 0.12, 20); }

std::string run(const std::string& command, int& status)
{
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    status = p ? WEXITSTATUS(::pclose(p)) : -1;
    return out;
}
} // namespace

TEST(Look, AgreesWithTheSkyfieldReferenceRow)
{
    // Find an ISS row of the committed skyfield reference and compare the whole report.
    std::ifstream in(std::string(ORVA_SOURCE_DIR) + "/station/tests/data/look_reference.csv");
    std::string line;
    std::getline(in, line);
    int checked = 0;
    while (std::getline(in, line)) {
        std::vector<double> v;
        std::stringstream ss(line);
        for (std::string c; std::getline(ss, c, ',');)
            v.push_back(std::atof(c.c_str()));
        if (int(v[0]) != 25544)
            continue;
        auto r = tools::look_at(iss(), demo(), station::StationSeconds(v[1]));
        ASSERT_TRUE(r.ok());
        EXPECT_NEAR(r->azimuth_deg, v[2], 0.02);
        EXPECT_NEAR(r->elevation_deg, v[3], 0.02);
        EXPECT_NEAR(r->range_km, v[4], 0.1);
        EXPECT_NEAR(r->range_rate_km_s, v[5], 0.001);
        EXPECT_NEAR(r->longitude_east_deg, v[7], 0.01);
        ASSERT_TRUE(r->doppler_hz);
        EXPECT_NEAR(*r->doppler_hz, -r->range_rate_km_s / 299792.0 * 145.8e6, 1e-6);
        ++checked;
    }
    EXPECT_GT(checked, 3);
}

TEST(Look, JsonCarriesEveryFieldAndNullWithoutABeacon)
{
    auto rec = iss();
    rec.beacon_mhz = 0;
    auto r = tools::look_at(rec, demo(), 1751100000);
    ASSERT_TRUE(r.ok());
    std::string j = tools::format_json(*r);
    for (const char* key : {"satellite", "time", "azimuth_deg", "elevation_deg", "range_km", "range_rate_km_s",
                            "latitude_deg", "longitude_east_deg", "height_km", "doppler_hz", "sun_azimuth_deg",
                            "sun_elevation_deg"})
        EXPECT_NE(j.find(std::string("\"") + key + "\": "), std::string::npos) << key;
    EXPECT_NE(j.find("\"time\": \"2025-06-28T08:40:00Z\""), std::string::npos) << j;
    EXPECT_NE(j.find("\"doppler_hz\": null"), std::string::npos);
    rec.mean_motion = 0;
    EXPECT_FALSE(tools::look_at(rec, demo(), 0).ok());
}

TEST(Look, TheCommandReadsTheStoreAndTheDatabase)
{
    char tmpl[] = "/tmp/orva-look-XXXXXX";
    fs::path dir = ::mkdtemp(tmpl);
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        settings::GeneralSettings g;
        g.orva_directory = dir.string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        settings::StationSettings s;
        s.callsign = "N0CALL";
        s.latitude = 52.2;
        s.longitude = 0.12;
        s.altitude = 20;
        ASSERT_TRUE(settings::write_station(*store, s).ok());
        elements::KepDatabase db;
        db.add_record(iss());
        ASSERT_TRUE(db.save(dir / "Orva.KEP").ok());
    }
    std::string prefix = "ORVA_STORE='" + (dir / "store.db").string() + "' '" + ORVA_BIN_DIR + "/orva-look' ";
    int status = 0;
    std::string out = run(prefix + "iss --at 2025-06-28T08:40:00Z --json", status);
    EXPECT_EQ(status, 0) << out;
    auto direct = tools::look_at(iss(), demo(), 1751100000);
    EXPECT_EQ(out, tools::format_json(*direct));

    out = run(prefix + "ISS --at 2025-06-28T08:40:00Z 2>&1", status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("ISS at 2025-06-28T08:40:00Z"), std::string::npos) << out;

    out = run(prefix + "AO-99 2>&1", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("satellite AO-99 is not in the element database"), std::string::npos) << out;
    out = run(prefix + "ISS --at yesterday 2>&1", status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("is not a UTC time"), std::string::npos) << out;
    fs::remove_all(dir);
}

// Image geolocation: the compact model against the station's SGP4, the element and place files,
// and the information box text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

#include "ccdview/geolocate.h"
#include "common/elements/kep_record.h"
#include "common/elements/observer_file.h"
#include "station/orbit/earth_frames.h"
#include "station/orbit/sgp4.h"

namespace fs = std::filesystem;
using namespace orva::ccdview;
using orva::elements::KepRecord;
using orva::elements::ObserverRecord;

namespace {

constexpr double kPi = 3.14159265358979323846;

KepRecord sample_elements(std::string name = "UO-22")
{
    KepRecord k;
    k.name = std::move(name);
    k.epoch_year = 24;
    k.epoch_day = 100.25;
    k.inclination = 98.43;
    k.raan = 157.2;
    k.eccentricity = 0.0008;
    k.arg_perigee = 75.4;
    k.mean_anomaly = 284.8;
    k.mean_motion = 14.37;
    k.epoch_rev = 1234;
    return k;
}

// 2024-01-01 00:00 UTC plus the epoch day.
double epoch_unix(const KepRecord& k) { return 1704067200.0 + (k.epoch_day - 1) * 86400.0; }

double great_circle_km(GroundPoint a, GroundPoint b)
{
    const double d2r = kPi / 180;
    double c = std::sin(a.latitude_deg * d2r) * std::sin(b.latitude_deg * d2r) +
               std::cos(a.latitude_deg * d2r) * std::cos(b.latitude_deg * d2r) *
                   std::cos((a.longitude_deg - b.longitude_deg) * d2r);
    return std::acos(std::clamp(c, -1.0, 1.0)) * 6371.0;
}

// The station's model, geocentric sub-satellite point.
GroundPoint sgp4_point(const KepRecord& k, double unix_time)
{
    const double d2r = kPi / 180;
    orva::station::Sgp4Elements e;
    e.mean_motion_rad_min = k.mean_motion * 2 * kPi / 1440;
    e.eccentricity = k.eccentricity;
    e.inclination = k.inclination * d2r;
    e.raan = k.raan * d2r;
    e.arg_perigee = k.arg_perigee * d2r;
    e.mean_anomaly = k.mean_anomaly * d2r;
    e.bstar = 0;
    orva::station::Sgp4 model(e);
    auto r = model.propagate((unix_time - epoch_unix(k)) / 60.0);
    EXPECT_EQ(r.error, orva::station::Sgp4Error::None);
    double g = orva::station::gmst_rad(unix_time);
    double x = r.position_km.x * std::cos(g) + r.position_km.y * std::sin(g);
    double y = -r.position_km.x * std::sin(g) + r.position_km.y * std::cos(g);
    double z = r.position_km.z;
    return {std::asin(z / std::sqrt(x * x + y * y + z * z)) / d2r, std::atan2(y, x) / d2r};
}

struct TempDir {
    fs::path path;
    TempDir()
    {
        path = fs::temp_directory_path() / ("ccdgeo-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(std::random_device{}()));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

void write_keps(const fs::path& p, const std::vector<KepRecord>& records)
{
    std::ofstream out(p, std::ios::binary);
    for (const auto& r : records) {
        auto b = orva::elements::encode_kep_record(r);
        out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
}

void write_places(const fs::path& p, const std::vector<ObserverRecord>& records)
{
    std::ofstream out(p, std::ios::binary);
    for (const auto& r : records) {
        auto b = orva::elements::encode_observer_record(r);
        out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
}

std::array<std::uint8_t, 256> header_at(std::uint32_t t)
{
    std::array<std::uint8_t, 256> h{};
    h[4] = std::uint8_t(t);
    h[5] = std::uint8_t(t >> 8);
    h[6] = std::uint8_t(t >> 16);
    h[7] = std::uint8_t(t >> 24);
    return h;
}

} // namespace

TEST(Geolocate, CompactModelFollowsTheStationSgp4WithinADay)
{
    for (double inclination : {98.43, 65.0, 28.5}) {
        KepRecord k = sample_elements();
        k.inclination = inclination;
        double worst = 0;
        for (double hours = -24; hours <= 24; hours += 0.75) {
            auto t = std::uint32_t(std::llround(epoch_unix(k) + hours * 3600));
            GroundPoint ours = sub_satellite_point(k, t);
            GroundPoint ref = sgp4_point(k, double(t));
            worst = std::max(worst, great_circle_km(ours, ref));
            ASSERT_LT(great_circle_km(ours, ref), 25.0) << "inclination " << inclination << " hours " << hours
                                                        << " ours " << ours.latitude_deg << "," << ours.longitude_deg
                                                        << " sgp4 " << ref.latitude_deg << "," << ref.longitude_deg;
        }
        RecordProperty("worst_km_" + std::to_string(int(inclination)), std::to_string(worst));
    }
}

TEST(Geolocate, EpochCenturyAndDayNumbers)
{
    EXPECT_EQ(day_number(2024, 3, 1) - day_number(2024, 2, 28), 2); // leap year
    EXPECT_EQ(day_number(2023, 3, 1) - day_number(2023, 2, 28), 1);
    EXPECT_EQ(day_number(2000, 1, 1) - day_number(1999, 12, 31), 1);
    KepRecord k = sample_elements();
    EXPECT_EQ(epoch_day_number(k), day_number(2024, 4, 9)); // day 100 of 2024
    k.epoch_year = 93;
    k.epoch_day = 32.9;
    EXPECT_EQ(epoch_day_number(k), day_number(1993, 2, 1));
}

TEST(Geolocate, HeaderTimeAndSpacecraftFromName)
{
    auto h = header_at(0x2C3B4A59);
    EXPECT_EQ(capture_time(h), 0x2C3B4A59u);
    EXPECT_EQ(spacecraft_for_name("U5123456.CCD"), "UO-22");
    EXPECT_EQ(spacecraft_for_name("ka000001.ccd"), "KO-23");
    EXPECT_EQ(spacecraft_for_name("KBIW0001.CCD"), "KO-25");
    EXPECT_EQ(spacecraft_for_name("KAKB.CCD"), "KO-25"); // later tests win
    EXPECT_EQ(spacecraft_for_name("OTHER.CCD"), "");
}

TEST(Geolocate, ElementSetSearchReachesTheLastRecord)
{
    std::vector<std::uint8_t> file;
    for (const char* name : {"AO-16", "UO-22", "KO-23", "FO-20", "KO-25"}) {
        auto b = orva::elements::encode_kep_record(sample_elements(name));
        file.insert(file.end(), b.begin(), b.end());
    }
    auto last = find_element_set(file, "KO-25");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->name, "KO-25");
    EXPECT_EQ(find_element_set(file, "UO-22")->name, "UO-22");
    EXPECT_EQ(find_element_set(file, "")->name, "AO-16"); // no spacecraft name: the first record
    EXPECT_FALSE(find_element_set(file, "RS-12"));
    // A record cut short at the end is not read.
    file.resize(file.size() - 1);
    EXPECT_FALSE(find_element_set(file, "KO-25"));
}

TEST(Geolocate, PlaceAtTheSubSatellitePointIsAtDistanceZero)
{
    KepRecord k = sample_elements();
    auto t = std::uint32_t(epoch_unix(k) + 5000);
    GroundPoint p = sub_satellite_point(k, t);
    std::vector<ObserverRecord> places = {{"Far", -p.latitude_deg, p.longitude_deg + 120, 0},
                                          {"Here", p.latitude_deg, p.longitude_deg, 0},
                                          {"Here too", p.latitude_deg, p.longitude_deg, 0}};
    NearestPlace n = nearest_place(p, places);
    EXPECT_EQ(n.index, 1u); // a tie keeps the first
    EXPECT_NEAR(n.distance_km, 0, 1e-6);
    EXPECT_FALSE(std::isnan(n.bearing_deg));
    std::string text = info_box_text("UO-22", t, p, n, "Here", false);
    EXPECT_NE(text.find("     0 Deg North and 0 kilometres\n        from Here"), std::string::npos) << text;
}

TEST(Geolocate, BearingAndCompassWords)
{
    std::vector<ObserverRecord> home = {{"Home", 50, 10, 0}};
    struct Case { GroundPoint p; const char* word; } cases[] = {
        {{55, 10}, "North"},     {{53, 14}, "NorthEast"}, {{50.5, 16}, "East"}, {{46, 14}, "SouthEast"},
        {{45, 10}, "South"},     {{53, 6}, "NorthWest"},  {{50.5, 4}, "West"},  {{46, 6}, "SouthWest"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nearest_place(c.p, home).compass, c.word) << c.p.latitude_deg << "," << c.p.longitude_deg;
    // Across the date line a point just east of a place at 179 E is east of it.
    std::vector<ObserverRecord> fiji = {{"Fiji", 0, 179, 0}};
    EXPECT_EQ(nearest_place({0, -179}, fiji).compass, "East");
    // One degree of arc is 20016 / 180 km.
    EXPECT_NEAR(nearest_place({51, 10}, home).distance_km, 20016.0 / 180, 0.01);
}

TEST(Geolocate, BoxTextByteForByte)
{
    NearestPlace place{0, 1234.4, 44.6, "NorthEast"};
    std::string text = info_box_text("UO-22", 1000000000, {51.53, -0.12}, place, "London", false);
    EXPECT_EQ(text,
              "                       UO-22 Image\n"
              "Recorded on Sun Sep  9 01:46:40 2001\n"
              "           51.5 Degrees North Latitude\n"
              "           0.1 Degrees West Longitude\n"
              "    45 Deg NorthEast and 1234 kilometres\n"
              "        from London");
    std::string stale = info_box_text("KO-23", 1000000000, {-5, 170}, place, "Suva", true);
    EXPECT_EQ(stale.substr(stale.size() - 123),
              "\n WARNING !!! This image was captured\n"
              "90 days prior to existing kep element set.\n"
              "Position info may not be totally accurate.");
    EXPECT_NE(stale.find("5.0 Degrees South Latitude\n         170.0 Degrees East Longitude\n"), std::string::npos);
}

TEST(Geolocate, CaptureTimeIsUtcWhateverTheLocalZoneAndTheZoneIsLeftAlone)
{
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    ::setenv("TZ", "NZST-12", 1);
    ::tzset();
    NearestPlace place{0, 10, 10, "North"};
    std::string text = info_box_text("UO-22", 1000000000, {1, 1}, place, "X", false);
    EXPECT_NE(text.find("Recorded on Sun Sep  9 01:46:40 2001\n"), std::string::npos) << text;
    KepRecord k = sample_elements();
    GroundPoint at_zone = sub_satellite_point(k, 1712664000);
    EXPECT_STREQ(std::getenv("TZ"), "NZST-12");
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    GroundPoint at_utc = sub_satellite_point(k, 1712664000);
    EXPECT_EQ(at_zone.latitude_deg, at_utc.latitude_deg);
    EXPECT_EQ(at_zone.longitude_deg, at_utc.longitude_deg);
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(Geolocate, WholeCommandWithFilesAndTheNinetyDayWarning)
{
    TempDir dir;
    KepRecord k = sample_elements("UO-22");
    k.epoch_day = 100.5; // 9 April 2024, noon
    write_keps(dir.path / "Orva.Kep", {sample_elements("AO-16"), k});
    write_places(dir.path / "Orva.Obs", {{"Ottawa", 45.4, -75.7, 70}, {"Sydney", -33.9, 151.2, 20}});
    const fs::path keps = dir.path / "Orva.Kep", obs = dir.path / "Orva.Obs";

    // Captured at noon 91 days before the epoch day: warned. 90 days: not.
    std::uint32_t day = 86400, epoch_noon = std::uint32_t(1704067200 + 99 * 86400 + 43200);
    auto old = locate_image("U5000001.CCD", header_at(epoch_noon - 91 * day), keps, obs);
    ASSERT_TRUE(old.ok()) << old.error().message;
    ASSERT_TRUE(old->has_value());
    EXPECT_NE((*old)->find("WARNING !!!"), std::string::npos);
    auto recent = locate_image("U5000001.CCD", header_at(epoch_noon - 90 * day), keps, obs);
    ASSERT_TRUE(recent.ok() && recent->has_value());
    EXPECT_EQ((*recent)->find("WARNING"), std::string::npos);
    EXPECT_EQ((*recent)->substr(0, 35), "                       UO-22 Image\n");
    EXPECT_NE((*recent)->find("Recorded on Wed Jan 10 12:00:00 2024\n"), std::string::npos) << **recent;

    // No capture time: nothing to show.
    auto none = locate_image("U5000001.CCD", header_at(0), keps, obs);
    ASSERT_TRUE(none.ok());
    EXPECT_FALSE(none->has_value());

    auto no_set = locate_image("KB000001.CCD", header_at(epoch_noon), keps, obs);
    ASSERT_FALSE(no_set.ok());
    EXPECT_EQ(no_set.error().message, "Cannot find the Element Set for KO-25");
    auto no_keps = locate_image("U5000001.CCD", header_at(epoch_noon), dir.path / "missing.kep", obs);
    ASSERT_FALSE(no_keps.ok());
    EXPECT_EQ(no_keps.error().message, "Cannot open file " + (dir.path / "missing.kep").string());
    auto no_obs = locate_image("U5000001.CCD", header_at(epoch_noon), keps, dir.path / "missing.obs");
    ASSERT_FALSE(no_obs.ok());
    EXPECT_EQ(no_obs.error().message, "Cannot open file " + (dir.path / "missing.obs").string());
}

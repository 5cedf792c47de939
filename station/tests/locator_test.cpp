// Maidenhead locators and typed coordinates. The expected centres are worked out by hand from
// the grid's definition (fields of 20 x 10 degrees from 180 W 90 S, squares of 2 x 1 degrees,
// subsquares of 5 x 2.5 minutes) and each square is checked to hold the well-known place in it.
#include "station/setup/locator.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace orva::station::setup;

namespace {

constexpr double kTight = 1e-9;

struct Known {
    const char* locator;
    double latitude, longitude;     // the centre, by hand
    double half_height, half_width; // of the square
    const char* place;
    double place_latitude, place_longitude;
};

} // namespace

TEST(Locator, KnownSquaresHaveTheirCentresAndHoldTheirPlaces)
{
    const Known known[] = {
        // I = 8 -> 20 W, O = 14 -> 50 N; 9, 1 -> 2 W, 51 N; w = 22, m = 12 subsquares; plus half of one.
        {"IO91wm", 51.5 + 1.0 / 48, -2.0 + 22.0 / 12 + 1.0 / 24, 1.0 / 48, 1.0 / 24, "London, Charing Cross", 51.5074, -0.1278},
        // J = 9 -> 0, O -> 50 N; 0, 1 -> 0 E, 51 N; the centre of a 2 x 1 degree square.
        {"JO01", 51.5, 1.0, 0.5, 1.0, "Southend-on-Sea", 51.5459, 0.7077},
        // F = 5 -> 80 W, N = 13 -> 40 N; 3, 1 -> 74 W, 41 N; p = 15, r = 17.
        {"FN31pr", 41.0 + 17.0 / 24 + 1.0 / 48, -74.0 + 15.0 / 12 + 1.0 / 24, 1.0 / 48, 1.0 / 24, "W1AW, Newington", 41.7147,
         -72.7272},
        // Q = 16 -> 140 E, F = 5 -> 40 S; 5, 6 -> 150 E, 34 S; o = 14, d = 3: south and east of Greenwich.
        {"QF56od", -34.0 + 3.0 / 24 + 1.0 / 48, 150.0 + 14.0 / 12 + 1.0 / 24, 1.0 / 48, 1.0 / 24, "Sydney", -33.8688, 151.2093},
    };
    for (const Known& k : known) {
        auto p = locator_position(k.locator);
        ASSERT_TRUE(p.ok()) << k.locator << ": " << p.error().message;
        EXPECT_NEAR(p->latitude, k.latitude, kTight) << k.locator;
        EXPECT_NEAR(p->longitude, k.longitude, kTight) << k.locator;
        EXPECT_LE(std::fabs(k.place_latitude - p->latitude), k.half_height) << k.place << " is not in " << k.locator;
        EXPECT_LE(std::fabs(k.place_longitude - p->longitude), k.half_width) << k.place << " is not in " << k.locator;
    }
    // The figures by hand once more, as decimals.
    EXPECT_NEAR(locator_position("IO91wm")->latitude, 51.520833, 1e-6);
    EXPECT_NEAR(locator_position("IO91wm")->longitude, -0.125, kTight);
    EXPECT_NEAR(locator_position("FN31pr")->latitude, 41.729167, 1e-6);
    EXPECT_NEAR(locator_position("FN31pr")->longitude, -72.708333, 1e-6);

    // Letter case does not matter; the grid's corners.
    auto lower = locator_position("io91WM");
    ASSERT_TRUE(lower.ok());
    EXPECT_EQ(lower->latitude, locator_position("IO91wm")->latitude);
    EXPECT_EQ(lower->longitude, locator_position("IO91wm")->longitude);
    EXPECT_NEAR(locator_position("AA00aa")->latitude, -90.0 + 1.0 / 48, kTight);
    EXPECT_NEAR(locator_position("AA00aa")->longitude, -180.0 + 1.0 / 24, kTight);
    EXPECT_NEAR(locator_position("RR99xx")->latitude, 90.0 - 1.0 / 48, kTight);
    EXPECT_NEAR(locator_position("RR99xx")->longitude, 180.0 - 1.0 / 24, kTight);
}

TEST(Locator, MalformedLocatorsAreRefusedWithTheReason)
{
    const std::pair<const char*, const char*> bad[] = {
        {"", "4 or 6 characters"},       {"IO9", "4 or 6 characters"},      {"IO91w", "4 or 6 characters"},
        {"IO91wm12", "4 or 6 characters"}, {"SO91", "two letters from A to R"}, {"IZ91wm", "two letters from A to R"},
        {"I091", "two letters from A to R"}, {"1O91", "two letters from A to R"}, {"IO9A", "two digits"},
        {"IOA1wm", "two digits"},        {"IO91ym", "two letters from A to X"}, {"IO91wz", "two letters from A to X"},
        {"IO9112", "two letters from A to X"}, {"IO 91", "4 or 6 characters"}, {"IO-1", "two digits"},
    };
    for (const auto& [text, why] : bad) {
        auto p = locator_position(text);
        ASSERT_FALSE(p.ok()) << "\"" << text << "\" was taken";
        EXPECT_NE(p.error().message.find(why), std::string::npos) << text << ": " << p.error().message;
        EXPECT_NE(p.error().message.find(std::string("\"") + text + "\""), std::string::npos) << p.error().message;
    }
}

TEST(Locator, CoordinatesTakeASignOrAHemisphereLetter)
{
    EXPECT_EQ(*parse_coordinate("52.2", Axis::Latitude), 52.2);
    EXPECT_EQ(*parse_coordinate("52.2N", Axis::Latitude), 52.2);
    EXPECT_EQ(*parse_coordinate(" 52.2 n ", Axis::Latitude), 52.2);
    EXPECT_EQ(*parse_coordinate("+52.2", Axis::Latitude), 52.2);
    EXPECT_EQ(*parse_coordinate("33.9S", Axis::Latitude), -33.9);
    EXPECT_EQ(*parse_coordinate("-33.9", Axis::Latitude), -33.9);
    EXPECT_EQ(*parse_coordinate("-1.5", Axis::Longitude), -1.5);
    EXPECT_EQ(*parse_coordinate("1.5W", Axis::Longitude), -1.5);
    EXPECT_EQ(*parse_coordinate("151.2e", Axis::Longitude), 151.2);
    EXPECT_EQ(*parse_coordinate("180", Axis::Longitude), 180.0);
    EXPECT_EQ(*parse_coordinate("90S", Axis::Latitude), -90.0);
    auto zero = parse_coordinate("-0", Axis::Longitude);
    ASSERT_TRUE(zero.ok());
    EXPECT_FALSE(std::signbit(*zero)) << "a negative zero would be stored as another eight bytes";

    for (const char* text : {"", "N", "abc", "1,5", "1e1", "52.2.1", "90.5", "-91", "52.2E", "-52.2N", "+52.2S", "nan", "inf"})
        EXPECT_FALSE(parse_coordinate(text, Axis::Latitude).ok()) << "latitude \"" << text << "\" was taken";
    for (const char* text : {"180.01", "-181", "1.5N", "-1.5W", "0x10"})
        EXPECT_FALSE(parse_coordinate(text, Axis::Longitude).ok()) << "longitude \"" << text << "\" was taken";
    EXPECT_NE(parse_coordinate("91", Axis::Latitude).error().message.find("more than 90 degrees"), std::string::npos);
}

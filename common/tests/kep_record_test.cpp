#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "common/elements/kep_record.h"

using namespace orva::elements;

namespace {
KepRecord sample()
{
    KepRecord r;
    r.name = "AO-16";
    r.catalogue = 20439;
    r.element_set = 0x01020304;
    r.epoch_rev = -2;
    r.epoch_day = 123.5;
    r.decay = 1e-6;
    r.inclination = 98.5;
    r.raan = 10.25;
    r.eccentricity = 0.0012;
    r.arg_perigee = 270.0;
    r.mean_anomaly = 90.0;
    r.mean_motion = 14.3;
    r.beacon_mhz = 437.025;
    r.epoch_year = 26;
    r.blon = -5;
    r.blat = 9999;
    r.mode_schedule = "000B  064JL128S";
    return r;
}

double f64_at(const KepBytes& b, std::size_t at)
{
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | b[at + std::size_t(i)];
    return std::bit_cast<double>(v);
}
} // namespace

TEST(KepRecord, LayoutIsPackedLittleEndianAtFixedOffsets)
{
    KepBytes b = encode_kep_record(sample());
    ASSERT_EQ(b.size(), 166u);
    EXPECT_EQ(std::memcmp(b.data(), "AO-16\0\0\0\0\0\0\0\0", 13), 0);
    EXPECT_EQ(b[13], 20439 & 0xff);
    EXPECT_EQ(b[14], 20439 >> 8);
    EXPECT_EQ(b[15], 0x04);
    EXPECT_EQ(b[18], 0x01);
    EXPECT_EQ(b[19], 0xfe); // -2
    EXPECT_EQ(b[22], 0xff);
    EXPECT_EQ(f64_at(b, 23), 123.5);
    EXPECT_EQ(f64_at(b, 31), 1e-6);
    EXPECT_EQ(f64_at(b, 39), 98.5);
    EXPECT_EQ(f64_at(b, 47), 10.25);
    EXPECT_EQ(f64_at(b, 55), 0.0012);
    EXPECT_EQ(f64_at(b, 63), 270.0);
    EXPECT_EQ(f64_at(b, 71), 90.0);
    EXPECT_EQ(f64_at(b, 79), 14.3);
    EXPECT_EQ(f64_at(b, 87), 437.025);
    EXPECT_EQ(b[95], 26);
    EXPECT_EQ(b[96], 0);
    EXPECT_EQ(b[97], 0xfb); // -5
    EXPECT_EQ(b[98], 0xff);
    EXPECT_EQ(b[99], 9999 & 0xff);
    EXPECT_EQ(b[100], 9999 >> 8);
    EXPECT_EQ(std::memcmp(b.data() + 101, "000B  064JL128S", 15), 0);
    for (std::size_t i = 116; i < 166; ++i)
        EXPECT_EQ(b[i], 0) << i;
}

TEST(KepRecord, RoundTripsAndTheEmptySlotHasOnlyTheAttitudeMarkers)
{
    KepRecord r = sample();
    EXPECT_EQ(decode_kep_record(encode_kep_record(r)), r);

    KepBytes empty = encode_kep_record(KepRecord{});
    for (std::size_t i = 0; i < 166; ++i) {
        if (i < 97 || i > 100) {
            EXPECT_EQ(empty[i], 0) << i;
        }
    }
    EXPECT_EQ(empty[97] | (empty[98] << 8), 9999);
    EXPECT_EQ(empty[99] | (empty[100] << 8), 9999);
    EXPECT_TRUE(decode_kep_record(empty).is_free());
}

TEST(KepRecord, OverlongTextIsCutSoTheFieldKeepsItsTerminator)
{
    KepRecord r;
    r.name = "ABCDEFGHIJKLMNOP";
    r.mode_schedule = std::string(80, 'x');
    KepBytes b = encode_kep_record(r);
    EXPECT_EQ(b[12], 0);
    EXPECT_EQ(b[165], 0);
    KepRecord back = decode_kep_record(b);
    EXPECT_EQ(back.name, "ABCDEFGHIJKL");
    EXPECT_EQ(back.mode_schedule, std::string(64, 'x'));

    // A name field without any NUL (written by another program) still reads as 12 characters.
    std::memset(b.data(), 'Z', 13);
    EXPECT_EQ(decode_kep_record(b).name, "ZZZZZZZZZZZZ");
}

TEST(KepRecord, NewerComparesYearsAcrossTheCenturyPivot)
{
    KepRecord old_set, candidate;
    old_set.epoch_year = 99;
    old_set.epoch_day = 300;
    candidate.epoch_year = 1;
    candidate.epoch_day = 10;
    EXPECT_TRUE(is_newer(old_set, candidate));  // 2001 after 1999
    EXPECT_FALSE(is_newer(candidate, old_set));
    candidate.epoch_year = 26;
    EXPECT_TRUE(is_newer(old_set, candidate));
    candidate.epoch_year = 49;
    old_set.epoch_year = 50;
    EXPECT_TRUE(is_newer(old_set, candidate));  // 2049 after 1950
    candidate = old_set;
    EXPECT_FALSE(is_newer(old_set, candidate)); // equal epoch is not newer
    candidate.epoch_day += 1e-8;
    EXPECT_TRUE(is_newer(old_set, candidate));
    EXPECT_EQ(full_epoch_year(49), 2049);
    EXPECT_EQ(full_epoch_year(50), 1950);
}

TEST(KepRecord, ReplaceKeepsTheStationsOwnFields)
{
    KepRecord slot = sample();
    KepRecord cand;
    cand.name = "OTHER NAME";
    cand.catalogue = 20439;
    cand.epoch_year = 26;
    cand.epoch_day = 200;
    cand.mean_motion = 14.5;
    cand.beacon_mhz = 1.0;
    cand.mode_schedule = "000X";
    replace_keeping_station_fields(slot, cand);
    EXPECT_EQ(slot.name, "AO-16");
    EXPECT_EQ(slot.beacon_mhz, 437.025);
    EXPECT_EQ(slot.blon, -5);
    EXPECT_EQ(slot.blat, 9999);
    EXPECT_EQ(slot.mode_schedule, "000B  064JL128S");
    EXPECT_EQ(slot.epoch_day, 200);
    EXPECT_EQ(slot.mean_motion, 14.5);
}

TEST(KepRecord, AnEmbeddedNulEndsTheTextSoTheRecordReadsBackAsWritten)
{
    KepRecord r;
    r.name = std::string("AO\0XYZ", 6);
    KepBytes b = encode_kep_record(r);
    EXPECT_EQ(b[2], 0);
    EXPECT_EQ(b[3], 0);
    EXPECT_EQ(decode_kep_record(b).name, "AO");
    EXPECT_EQ(encode_kep_record(decode_kep_record(b)), b);
}

#include <gtest/gtest.h>

#include "common/elements/kep_edit_fields.h"

using namespace orva::elements;

TEST(KepEditFields, DisplayFormatsAndBlankAttitude)
{
    KepRecord r;
    r.name = "AO-16";
    r.catalogue = 20439;
    r.element_set = 12;
    r.epoch_year = 5;
    r.epoch_day = 123.5;
    r.mean_motion = 14.3;
    r.epoch_rev = 4321;
    r.beacon_mhz = 437.025;
    KepEditFields f = edit_fields_from_record(r);
    EXPECT_EQ(f.catalogue, "20439");
    EXPECT_EQ(f.epoch, "05 123.50000000");
    EXPECT_EQ(f.mean_motion, "14.300000");
    EXPECT_EQ(f.orbit_number, "4321");
    EXPECT_EQ(f.beacon, " 437.025000");
    EXPECT_EQ(f.blon, "");
    EXPECT_EQ(f.blat, "");
    KepRecord back;
    store_edit_fields(f, back);
    EXPECT_EQ(back.epoch_year, 5);
    EXPECT_DOUBLE_EQ(back.epoch_day, 123.5);
    EXPECT_EQ(back.blon, 9999);
}

TEST(KepEditFields, StoreRulesOfTheDialog)
{
    KepEditFields f;
    f.name = "NEW";
    f.epoch = "5 123.5"; // one-digit year: the day is read from the fourth character on
    f.catalogue = "87111";
    f.blon = "10";        // Blat blank: both become 9999
    f.mean_motion = "abc"; // unparsable: 0
    KepRecord r;
    store_edit_fields(f, r);
    EXPECT_EQ(r.epoch_year, 5);
    EXPECT_DOUBLE_EQ(r.epoch_day, 23.5);
    EXPECT_EQ(r.catalogue, 21575); // truncated to 16 bits
    EXPECT_EQ(r.blon, 9999);
    EXPECT_EQ(r.blat, 9999);
    EXPECT_EQ(r.mean_motion, 0);
    f.blat = "-20";
    store_edit_fields(f, r);
    EXPECT_EQ(r.blon, 10);
    EXPECT_EQ(r.blat, -20);
}

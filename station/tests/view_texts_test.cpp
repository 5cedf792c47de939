// The main window's texts without a window: countdowns, the clock, the schedule rows and their
// colours, the stored placement, the caption, and the Schedule Events rules.
#include <gtest/gtest.h>

#include "station/app/window/event_form.h"
#include "station/app/window/view_texts.h"
#include "station/core/tracking_list.h"

namespace orva::station {
namespace {

constexpr std::int64_t kNoon = 1751112000; // 2025-06-28 12:00:00 UTC

TEST(ViewTexts, CountdownsClockAndDate)
{
    EXPECT_EQ(countdown_text(86400 + 2 * 3600 + 3 * 60 + 4), "26:03:04");
    EXPECT_EQ(countdown_text(5 * 86400 + 3600), "01:00:00");
    EXPECT_EQ(clock_text(kNoon, false, -3600), "13:00:00 LOC");
    EXPECT_EQ(clock_text(kNoon, true, -3600), "12:00:00 UTC");
    EXPECT_EQ(date_text(kNoon, true, 0), "28 Jun 2025");
    // Local midnight east of Greenwich is already the next day.
    EXPECT_EQ(date_text(kNoon + 11 * 3600 + 1800, false, -3600), "29 Jun 2025");
}

TEST(ViewTexts, ScheduleRowsColoursAndLocalTime)
{
    PassEntry e;
    e.name = "AO-16";
    e.aos = kNoon + 600;
    e.los = kNoon + 1200;
    e.priority = 3;
    e.max_elevation = 42;
    e.elevation_ok = 1;
    PassEntry grey = e;
    grey.name = "UO-22";
    grey.elevation_ok = 0;
    PassEntry gone = e;
    gone.name = "GONE";
    gone.los = kNoon - 1;
    PassEntry manual = e;
    manual.name = "LO-19";
    manual.priority = 0;
    PassEntry off = e;
    off.name = "KO-23";
    off.dont_run = 1;

    auto rows = schedule_rows({e, grey, gone, manual, off}, kNoon, true, 0);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].text, "AO-16         3 42 28/06/25 12:10:00  28/06/25 12:20:00");
    EXPECT_EQ(rows[0].colour, RowColour::Black);
    EXPECT_EQ(rows[1].colour, RowColour::Grey);
    EXPECT_EQ(rows[2].text.substr(0, 16), "LO-19         M ");
    EXPECT_EQ(rows[3].text.substr(0, 16), "KO-23           ");
    EXPECT_EQ(rows[3].colour, RowColour::Grey);

    // From the AOS on: red, and dark red in the grey case.
    rows = schedule_rows({e, grey}, kNoon + 600, true, 0);
    EXPECT_EQ(rows[0].colour, RowColour::Red);
    EXPECT_EQ(rows[1].colour, RowColour::DarkRed);
    PassEntry regardless = grey;
    regardless.run_regardless = 1;
    EXPECT_EQ(schedule_rows({regardless}, kNoon + 600, true, 0)[0].colour, RowColour::Red);

    // Local time one hour east of UTC.
    rows = schedule_rows({e}, kNoon, false, -3600);
    EXPECT_EQ(rows[0].text, "AO-16         3 42 28/06/25 13:10:00  28/06/25 13:20:00");
}

TEST(ViewTexts, StoredPlacementIsCheckedAgainstTheScreen)
{
    EXPECT_TRUE(checked_placement(10, 20, 600, 300, 1024, 768).has_value());
    EXPECT_FALSE(checked_placement(10, 20, 40, 300, 1024, 768).has_value()); // width 40
    EXPECT_FALSE(checked_placement(10, 20, 600, 49, 1024, 768).has_value());
    EXPECT_FALSE(checked_placement(-1, 20, 600, 300, 1024, 768).has_value());
    EXPECT_FALSE(checked_placement(10, -5, 600, 300, 1024, 768).has_value());
    EXPECT_TRUE(checked_placement(434, 20, 600, 300, 1024, 768).has_value());  // 10 px over the edge
    EXPECT_FALSE(checked_placement(435, 20, 600, 300, 1024, 768).has_value()); // 11 px over
    EXPECT_FALSE(checked_placement(0, 0, 1025, 300, 1024, 768).has_value());   // wider than the screen
    // The "system chooses" marker as stored by a fresh store is negative read as signed.
    EXPECT_FALSE(checked_placement(std::int32_t(0x80000000u), 0, 600, 300, 1024, 768).has_value());
}

TEST(ViewTexts, CaptionCountsDownOnlyWhileMinimisedWithScheduling)
{
    EXPECT_EQ(window_title(true, true, 3725), "Helmo 01:02:05");
    EXPECT_EQ(window_title(false, true, 3725), "Helmo");
    EXPECT_EQ(window_title(true, false, 3725), "Helmo");
    EXPECT_EQ(window_title(true, true, std::nullopt), "Helmo");
}

TEST(EventForm, RefusalsStoreNothingAndTheLongLeadIsOnlyANote)
{
    EventForm f;
    f.name = "Beacon";
    f.program = "/bin/true";
    f.time_text = "2";
    f.minutes = true;
    f.associate = kSingleSatellite;
    f.run = kBeforePass;
    EventFormOutcome out = check_event_form(f);
    EXPECT_FALSE(out.record);
    EXPECT_EQ(out.error, kNoSatelliteChosen);
    f.satellite = "[None]";
    EXPECT_EQ(check_event_form(f).error, kNoSatelliteChosen);

    f.satellite = "AO-16";
    out = check_event_form(f);
    ASSERT_TRUE(out.record);
    EXPECT_EQ(out.record->time, 120u);
    EXPECT_EQ(out.note, kLongLead);
    f.minutes = false;
    f.time_text = "45";
    out = check_event_form(f);
    EXPECT_EQ(out.record->time, 45u);
    EXPECT_TRUE(out.note.empty());
    f.time_text = "46";
    f.active = false; // an inactive event holds nothing up
    EXPECT_TRUE(check_event_form(f).note.empty());

    f.associate = kAllSatellites;
    for (std::uint32_t run : {std::uint32_t(kDaily), std::uint32_t(kRegularly)}) {
        f.run = run;
        EXPECT_EQ(check_event_form(f).error, kSatelliteWithRegular);
    }
    f.associate = kHousekeeping;
    for (std::uint32_t run : {std::uint32_t(kBeforePass), std::uint32_t(kAfterPass)}) {
        f.run = run;
        EXPECT_EQ(check_event_form(f).error, kNonSatelliteAtPass);
    }
    f.associate = kNoSatellite;
    f.run = kDaily;
    f.time_text = "0630";
    out = check_event_form(f);
    ASSERT_TRUE(out.record);
    EXPECT_EQ(out.record->time, 6u * 3600 + 30 * 60);
    EXPECT_EQ(out.record->satellite, "[None]");
}

TEST(EventForm, StoredTimesAndHistoryAsShown)
{
    bool minutes = true;
    EXPECT_EQ(event_time_text(kDaily, 6 * 3600 + 30 * 60, minutes), "0630");
    EXPECT_FALSE(minutes);
    EXPECT_EQ(event_time_text(kRegularly, 600, minutes), "10");
    EXPECT_TRUE(minutes);
    EXPECT_EQ(event_time_text(kBeforePass, 90, minutes), "90");
    EXPECT_FALSE(minutes);
    EXPECT_EQ(event_history_text(0), "n/a");
    EXPECT_EQ(event_history_text(std::uint32_t(kNoon + 65)), "12:01 28/06/25");
}

} // namespace
} // namespace orva::station

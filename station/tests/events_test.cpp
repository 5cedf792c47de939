#include <gtest/gtest.h>

#include "common/station_time.h"
#include "station/core/events.h"

namespace orva::station {
namespace {

std::int64_t at(const char* iso) { return std::int64_t(to_disk32(*parse_iso8601(iso))); }

EventEntry timed(EventTiming t, std::int64_t time)
{
    EventEntry e;
    e.name = "E";
    e.timing = t;
    e.time = time;
    return e;
}

TEST(EventTimes, DailyAtSixToday_OrTomorrowFromSixOn)
{
    EventEntry e = timed(EventTiming::Daily, 6 * 3600);
    EXPECT_EQ(next_run_time(e, at("2026-12-08T05:59:57Z")), at("2026-12-08T06:00:00Z"));
    EXPECT_EQ(next_run_time(e, at("2026-12-08T05:59:59Z")), at("2026-12-09T06:00:00Z")); // not 2 s ahead
    EXPECT_EQ(next_run_time(e, at("2026-12-08T06:00:00Z")), at("2026-12-09T06:00:00Z"));
}

TEST(EventTimes, WeekDaysSkipTheWeekendAndWeekendDaysWaitForSaturday)
{
    EventEntry w = timed(EventTiming::WeekDays, 12 * 3600);
    // 2026-12-12 is a Saturday, 2026-12-13 a Sunday, 2026-12-14 a Monday.
    EXPECT_EQ(next_run_time(w, at("2026-12-12T08:00:00Z")), at("2026-12-14T12:00:00Z"));
    EXPECT_EQ(next_run_time(w, at("2026-12-13T08:00:00Z")), at("2026-12-14T12:00:00Z"));
    EXPECT_EQ(next_run_time(w, at("2026-12-09T08:00:00Z")), at("2026-12-09T12:00:00Z"));
    EventEntry we = timed(EventTiming::WeekendDays, 12 * 3600);
    EXPECT_EQ(next_run_time(we, at("2026-12-09T08:00:00Z")), at("2026-12-12T12:00:00Z")); // Wednesday
    EXPECT_EQ(next_run_time(we, at("2026-12-13T08:00:00Z")), at("2026-12-13T12:00:00Z"));
}

TEST(EventTimes, RegularlyCountsFromTheRunPlusTwo)
{
    EXPECT_EQ(next_run_time(timed(EventTiming::Regularly, 600), 1000), 1602);
}

std::pair<std::string, settings::EventRecord> record(std::string name, EventTiming run, EventAssociate assoc,
                                                     std::uint32_t time, std::string sat = "[None]", bool active = true)
{
    settings::EventRecord r;
    r.name = name;
    r.program = "true";
    r.run = std::uint32_t(run);
    r.associate = std::uint32_t(assoc);
    r.time = time;
    r.satellite = sat;
    r.active = active ? 1 : 0;
    return {"SOFTWARE\\Orva\\Helmo\\Events\\" + name, r};
}

TEST(EventLists, ListsLeadsAndDueRuns)
{
    EventLists lists;
    lists.load({record("All120", EventTiming::BeforePass, EventAssociate::AllSatellites, 120),
                record("Ao30", EventTiming::BeforePass, EventAssociate::SingleSatellite, 30, "ao-16"),
                record("After300", EventTiming::AfterPass, EventAssociate::AllSatellites, 300),
                record("After5", EventTiming::AfterPass, EventAssociate::AllSatellites, 5),
                record("Tick", EventTiming::Regularly, EventAssociate::NoSatellite, 600),
                record("Off", EventTiming::Regularly, EventAssociate::NoSatellite, 60, "", false),
                record("Boot", EventTiming::Startup, EventAssociate::NoSatellite, 0),
                record("Idle", EventTiming::OnIdle, EventAssociate::NoSatellite, 0)},
               1000);
    EXPECT_EQ(lists.events().size(), 6u); // not the inactive or the start-up one
    EXPECT_EQ(lists.timed().size(), 1u);
    // A 120-s Before Pass event for all satellites starts every pass 120 s early; an After
    // Pass event's Time does not count.
    EXPECT_EQ(lists.before_pass_lead("AO-16"), 120);
    EXPECT_EQ(lists.before_pass_lead("UO-22"), 120);
    std::vector<EventEntry> before = lists.pass_events("AO-16", EventTiming::BeforePass);
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0].name, "All120");
    EXPECT_EQ(before[1].name, "Ao30");
    std::vector<EventEntry> after = lists.pass_events("UO-22", EventTiming::AfterPass);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].name, "After5");
    EXPECT_EQ(lists.run_due(1601), 1602);
    EXPECT_TRUE(lists.take_due().empty());
    EXPECT_EQ(lists.run_due(1602), 1602 + 602);
    std::vector<EventEntry> due = lists.take_due();
    ASSERT_EQ(due.size(), 1u);
    EXPECT_EQ(due[0].name, "Tick");
    EXPECT_EQ(lists.of_timing(EventTiming::OnIdle).size(), 1u);
}

} // namespace
} // namespace orva::station

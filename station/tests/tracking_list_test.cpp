#include <gtest/gtest.h>

#include <cstring>

#include "station/core/track_data.h"
#include "station/core/tracking_list.h"
#include "station/tests/schedule_fixture.h"

namespace orva::station {
namespace {

using namespace testing;

TEST(TrackingTexts, Countdowns)
{
    EXPECT_EQ(countdown_text(86400 + 2 * 3600 + 3 * 60 + 4), "26:03:04");
    EXPECT_EQ(countdown_text(5 * 86400 + 3600), "01:00:00");
    EXPECT_EQ(countdown_text(4 * 86400 - 1), "95:59:59");
    EXPECT_EQ(countdown_text(59), "00:00:59");
    EXPECT_EQ(countdown_text(-1), "");
}

TEST(TrackingTexts, ClockDateAndStatus)
{
    std::int64_t noon = 1751112000; // 2025-06-28 12:00:00 UTC
    EXPECT_EQ(clock_text(noon, true, 0), "12:00:00 UTC");
    EXPECT_EQ(clock_text(noon, false, -3600), "13:00:00 LOC");
    EXPECT_EQ(date_text(noon, true, 0), "28 Jun 2025");
    EXPECT_EQ(date_text(noon - 27 * 86400, true, 0), " 1 Jun 2025");
    EXPECT_EQ(status_text("AO-16", 754, false), "AO-16 00:12:34 AOS");
    EXPECT_EQ(status_text("AO-16", 5, true), "AO-16 00:00:05 LOS");
}

TEST(TrackingTexts, RowLayout)
{
    SatTrack t;
    t.name = "AO-16";
    t.azimuth = 123.4 / 57.29577951308232;
    t.elevation = -5.6 / 57.29577951308232;
    t.range_km = 2345.6;
    t.ma = 17.2;
    EXPECT_EQ(tracking_row(t, 100, 100 + 3723), "AO-16        123  -6   2346          17  01:02:03       ");
    t.beacon_hz = 437e6;
    t.doppler_hz = -1234.4;
    EXPECT_EQ(tracking_row(t, 100, 1), "AO-16        123  -6   2346  -1234   17                 ");
}

TEST(TrackingList, NextEventMatchesThePassSearch)
{
    ScheduleConfig cfg;
    Schedule sched(cfg, demo_site());
    sched.join_search_list(sched.add_satellite(scheduled(reference_records()[0], kReferenceStart)));
    sched.run_search(kReferenceStart);
    const PassEntry& first = sched.entries().front();
    SatTrack track = sched.satellites()[0]->track;
    NextEvent rise = find_next_event(track, sched.site(), kReferenceStart);
    EXPECT_TRUE(rise.is_aos);
    EXPECT_EQ(rise.time, first.aos + 1); // the first second above
    NextEvent set = find_next_event(track, sched.site(), rise.time);
    EXPECT_FALSE(set.is_aos);
    EXPECT_EQ(set.time, first.los + 1);
}

TEST(TrackingList, SortIsStableByEventTime)
{
    std::vector<TrackedSatellite> list(4);
    const char* names[] = {"A", "B", "C", "D"};
    std::int64_t times[] = {50, 10, 50, 10};
    for (int i = 0; i < 4; ++i) {
        list[std::size_t(i)].track.name = names[i];
        list[std::size_t(i)].next_event_time = times[i];
    }
    sort_tracking_list(list);
    std::string order;
    for (const auto& t : list)
        order += t.track.name;
    EXPECT_EQ(order, "BDAC");
}

TEST(TrackData, RecordLayoutIsByteExact)
{
    TrackReport r;
    r.name = "ABCDEFGHIJKLMNOP";
    r.azimuth_deg = 123.5;
    r.elevation_deg = 45.25;
    r.uplink_hz = 145.9e6;
    r.downlink_hz = 437.026e6;
    r.doppler_factor = 1.0000123;
    r.uplink_mode = 0;
    r.downlink_mode = 3;
    r.downlink_offset_hz = -150;
    r.mean_anomaly = 200;
    auto b = encode_track_data(r);
    ASSERT_EQ(b.size(), 69u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data()), 13), "ABCDEFGHIJKLM");
    auto dbl = [&](std::size_t at) {
        double d;
        std::memcpy(&d, b.data() + at, 8); // the test host is little-endian
        return d;
    };
    EXPECT_EQ(dbl(13), 123.5);
    EXPECT_EQ(dbl(21), 45.25);
    EXPECT_EQ(dbl(29), 145.9e6);
    EXPECT_EQ(dbl(37), 437.026e6);
    EXPECT_EQ(dbl(45), 1.0000123);
    EXPECT_EQ(b[53] | (b[54] << 8), 0);
    EXPECT_EQ(b[55] | (b[56] << 8), 3);
    EXPECT_EQ(dbl(57), -150.0);
    EXPECT_EQ(b[65] | (b[66] << 8), 0);
    EXPECT_EQ(b[67] | (b[68] << 8), 200);
    EXPECT_EQ(tracking_line(r), "SNABCDEFGHIJKLM AZ123.5 EL45.2 UP145900000 UMFM DN437026000 DMUSB MA200\n");
}

TEST(TrackData, ServerAnswersOnlyTheTrackingConversation)
{
    TrackingServer server;
    EXPECT_TRUE(server.connect(1, "Rotator"));
    EXPECT_FALSE(server.request(1, "General", DataFormat::Text));
    EXPECT_TRUE(server.connect(2, "Tracking"));
    auto text = server.request(2, "General", DataFormat::Text);
    ASSERT_TRUE(text);
    EXPECT_EQ(std::string(text->begin(), text->end()), std::string("** NO SATELLITE **\n") + '\0');
    EXPECT_EQ(server.request(2, "General", DataFormat::TrackData)->size(), 69u);
    EXPECT_FALSE(server.request(2, "General", DataFormat::Other));
    EXPECT_FALSE(server.request(2, "TrackInfo", DataFormat::Text));
    EXPECT_TRUE(server.poke(2, {1}));
    EXPECT_FALSE(server.poke(2, {0, 1}));
    TrackReport r;
    r.name = "AO-16";
    server.update(r);
    EXPECT_EQ(server.line().substr(0, 8), "SNAO-16 ");
    server.disconnect(2);
    EXPECT_FALSE(server.request(2, "General", DataFormat::Text));
}

} // namespace
} // namespace orva::station

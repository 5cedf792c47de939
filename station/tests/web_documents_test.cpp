// The documents the web view serves, and what it reads from and writes to a satellite's folders,
// over a real store and real files.
#include <gtest/gtest.h>

#include <fstream>

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "dirview/status_view.h"
#include "dirview/tests/directory_fixture.h"
#include "platform/clock.h"
#include "station/web/station_files.h"
#include "station/web/web_json.h"

namespace orva::station::web {
namespace {

namespace fs = std::filesystem;
using dirview::testing::TempDir;

TEST(WebDocuments, LiveDocumentCarriesTheTrackingRowsTheScheduleAndThePass)
{
    LiveSnapshot s;
    s.now = 1796947200;
    s.clock = "00:00:00 UTC";
    s.callsign = "N0CALL";
    TrackingValues t;
    t.name = "AO-16";
    t.azimuth_deg = 123.4;
    t.elevation_deg = 12.6;
    t.range_km = 1500.2;
    t.countdown = "00:05:00";
    t.next_event_time = s.now + 300;
    t.next_is_aos = false;
    s.tracking.push_back(t);
    PassEntry past, running, later;
    past.name = "UO-22";
    past.aos = s.now - 900;
    past.los = s.now - 10;
    running.name = "AO-16";
    running.aos = s.now - 100;
    running.los = s.now + 300;
    later.name = "UO-22";
    later.aos = s.now + 3600;
    later.los = s.now + 4200;
    later.dont_run = 1;
    s.schedule = {past, running, later};
    s.running.running = true;
    s.running.name = "AO-16";
    s.running.aos = running.aos;
    s.running.run_end = running.los;
    const std::string j = live_json(s);
    EXPECT_NE(j.find(R"("satellite":"AO-16","azimuth":123,"elevation":13,"range_km":1500,"doppler_hz":null)"), std::string::npos) << j;
    EXPECT_NE(j.find(R"("countdown":"00:05:00","next_event":"LOS")"), std::string::npos) << j;
    EXPECT_NE(j.find(R"("in_view":true)"), std::string::npos) << j;
    EXPECT_EQ(j.find(std::to_string(past.aos)), std::string::npos) << "a pass already over is left out";
    EXPECT_NE(j.find(R"("running":true)"), std::string::npos) << j;
    EXPECT_NE(j.find(R"("dont_run":true)"), std::string::npos) << j;
    EXPECT_NE(j.find(R"("pass":{"satellite":"AO-16")"), std::string::npos) << j;
    EXPECT_NE(j.find(R"("ends_in":300)"), std::string::npos) << j;
    s.running = {};
    EXPECT_NE(live_json(s).find(R"("pass":null)"), std::string::npos);
}

TEST(WebDocuments, MessageHeadersAsDispoWritesThem)
{
    MessageHeader h = parse_message_header("From:     G0ABC\r\nTo:       N0CALL\r\nSubject:  Hello there\r\n"
                                           "Keywords: TEST\r\n----------------------------------------\r\nFrom: not a header\r\n");
    EXPECT_EQ(h.from, "G0ABC");
    EXPECT_EQ(h.to, "N0CALL");
    EXPECT_EQ(h.subject, "Hello there");
    EXPECT_EQ(h.keywords, "TEST");
    EXPECT_EQ(parse_message_header("just a body").subject, "");
}

// A station with one PACSAT whose directory holds three files: one filed as a message, one filed
// elsewhere, one not yet down. A file outside the folders stands ready to be asked for.
class WebStationFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto s = platform::Store::open(root.path() / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok());
        store.emplace(std::move(*s));
        settings::GeneralSettings g;
        g.orva_directory = (root.path() / "suite").string();
        fs::create_directories(g.orva_directory);
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        settings::StationSettings st;
        st.callsign = "N0CALL";
        ASSERT_TRUE(settings::write_station(*store, st).ok());
        auto key = settings::create_satellite_key(*store, "AO-16");
        ASSERT_TRUE(key.ok());
        settings::SatelliteRecord rec = settings::new_satellite("AO-16", settings::SatelliteType::PacSat, g.orva_directory);
        ASSERT_TRUE(settings::write_satellite(*store, *key, rec).ok());
        sat = settings::read_satellite(*store, "AO-16", settings::Program::Tessel).value();
        std::vector<pfh::PfhHeader> headers;
        for (std::uint32_t n : {0x101u, 0x102u, 0x103u}) {
            pfh::PfhHeader h = dirview::testing::header(n, 1'700'000'000 + n);
            h.title = "Title " + std::to_string(n);
            h.file_type = n == 0x102 ? 14 : 0; // an image goes to the image folder under its name
            if (n == 0x102)
                h.file_ext = "JPG";
            headers.push_back(h);
        }
        dirview::testing::write_directory(sat.satellite_directory, headers);
        write(fs::path(sat.message_directory) / "101.DLM",
              "From:     G0ABC\r\nTo:       ALL\r\nSubject:  Title 257\r\nKeywords: TEST\r\n----\r\nBody caf\xe9\r\n");
        write(fs::path(sat.image_directory) / "FILE.JPG", "image bytes");
        write(root.path() / "secret.txt", "SENTINEL");
    }
    static void write(const fs::path& p, const std::string& text)
    {
        std::ofstream(p, std::ios::binary) << text;
    }

    TempDir root;
    std::optional<platform::Store> store;
    settings::SatelliteRecord sat;
    platform::ManualClock clock;
};

TEST_F(WebStationFiles, DirectoryListsEveryFileWithItsStatusAndWhetherItWasFiled)
{
    EXPECT_EQ(configured_satellite(*store, "ao-16"), "AO-16");
    EXPECT_FALSE(configured_satellite(*store, "AO-1"));
    auto d = directory_document(*store, "ao-16", clock);
    ASSERT_TRUE(d.ok()) << d.error().message;
    EXPECT_NE(d->find(R"("satellite":"AO-16","total":3)"), std::string::npos) << *d;
    EXPECT_NE(d->find(R"("file":"103","status":"g")"), std::string::npos) << *d;
    EXPECT_NE(d->find(R"("title":"Title 257")"), std::string::npos) << *d;
    EXPECT_NE(d->find(R"("message":true,"has_file":true)"), std::string::npos) << "101 was filed as a message: " << *d;
    auto missing = directory_document(*store, "NOPE", clock);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, 404);
    EXPECT_NE(satellites_json(*store).find(R"({"name":"AO-16")"), std::string::npos);
}

TEST_F(WebStationFiles, MessagesAndFilesByNumberOnly)
{
    auto list = messages_document(*store, "AO-16");
    ASSERT_TRUE(list.ok());
    EXPECT_NE(list->find(R"("file":"101","mine":false)"), std::string::npos) << *list;
    EXPECT_NE(list->find(R"("subject":"Title 257")"), std::string::npos) << *list;

    auto m = message_document(*store, "AO-16", 0x101);
    ASSERT_TRUE(m.ok());
    EXPECT_NE(m->find("Body caf\xc3\xa9"), std::string::npos) << "Latin-1 shown as UTF-8: " << *m;
    EXPECT_EQ(message_document(*store, "AO-16", 0x103).error().code, 404);

    auto image = filed_file(*store, "AO-16", 0x102, clock);
    ASSERT_TRUE(image.ok()) << image.error().message;
    EXPECT_EQ(image->bytes, "image bytes");
    EXPECT_EQ(image->content_type, "application/octet-stream");
    EXPECT_EQ(filed_file(*store, "AO-16", 0x103, clock).error().code, 404) << "not down yet";
    EXPECT_EQ(filed_file(*store, "AO-16", 0x999, clock).error().code, 404) << "not in the directory";

    // A link planted in the folder where the file would be filed is not followed.
    fs::remove(fs::path(sat.image_directory) / "FILE.JPG");
    fs::create_symlink(root.path() / "secret.txt", fs::path(sat.image_directory) / "FILE.JPG");
    auto planted = filed_file(*store, "AO-16", 0x102, clock);
    ASSERT_FALSE(planted.ok());
    EXPECT_EQ(planted.error().code, 404);
}

// Marking goes through the directory model into the status table Brek reads, and leaves the
// changed marks Tessel shows.
TEST_F(WebStationFiles, MarkingWritesTheSharedStatusTable)
{
    auto letter = mark_file(*store, "AO-16", 0x103, 10, clock);
    ASSERT_TRUE(letter.ok()) << letter.error().message;
    EXPECT_EQ(*letter, 'P');
    auto table = dirview::StatusView::open(sat.satellite_directory);
    ASSERT_TRUE(table.ok());
    EXPECT_EQ(table->status_of(0x103) & 0x0F, 10);
    EXPECT_NE(table->status_of(0x103) & dirview::kChangedBit, 0) << "the changed mark survives the reader";
    EXPECT_EQ(*mark_file(*store, "AO-16", 0x103, 1, clock), 'N');
    EXPECT_EQ(mark_file(*store, "AO-16", 0x103, 3, clock).error().code, 400) << "downloaded is not the operator's to set";
    EXPECT_EQ(mark_file(*store, "AO-16", 0x999, 10, clock).error().code, 404);
    EXPECT_EQ(mark_file(*store, "UO-22", 0x103, 10, clock).error().code, 404);
    auto d = directory_document(*store, "AO-16", clock);
    EXPECT_NE(d->find(R"("file":"103","status":"N")"), std::string::npos) << *d;
}

} // namespace
} // namespace orva::station::web

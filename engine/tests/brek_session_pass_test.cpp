// The session over a simulated pass on a manual clock: directory lines that carry their file,
// the boxes' To/From/Title, the TNC box reaching a running upload link, the 2036 budget and the
// capture toggles of the File menu.
#include "engine/frames/ax25_frame.h"
#include "engine/log/capture_file.h"
#include "engine/session/file_header_lookup.h"
#include "engine/session/session_export.h"
#include "engine/tests/session_sim_host.h"
#include "engine/tests/upload_message.h"
#include "engine/upload/ax25_control.h"

#include "common/json_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <fstream>
#include <iterator>
#include <set>

#include <fcntl.h>
#include <unistd.h>

namespace orva::engine {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

class SessionPassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sat_dir = root / "AO-16";
        auto r = test::sim_satellite(root.path(), sat_dir);
        r.retries = 12;
        r.max_frame = 2;
        r.retry_time = 2000;
        r.pac_length = 244;
        host.sats.push_back(r);
        config.station.callsign = "G0ABC";
        config.general.orva_directory = root.path().string();
        config.seed = 5;
    }
    void serve(int count, std::size_t size, const std::function<void(satsim::SatelliteConfig&)>& shape = {})
    {
        std::vector<satsim::ServedFile> files;
        const auto now_s = std::uint32_t(host.now / 1000);
        for (int i = 0; i < count; ++i)
            files.push_back(test::served_file(0x200 + std::uint32_t(i), size, now_s - 3600 + std::uint32_t(i) * 60,
                                              "Pass test " + std::to_string(i), "ALL", "W1AW"));
        host.serve(std::move(files), root / "served", 0, 3, shape);
    }
    void open()
    {
        session.emplace(config, host);
        session->add_observer(&log);
        session->start("AO-16");
        ASSERT_TRUE(session->pass_open());
    }

    test::TempFolder root;
    fs::path sat_dir;
    test::SimHost host;
    SessionConfig config;
    test::LineLog log;
    std::optional<BrekSession> session;
};

std::string entry_prefix(std::uint32_t fn)
{
    char b[16];
    std::snprintf(b, sizeof b, "%8lX ", static_cast<unsigned long>(fn));
    return b;
}

TEST_F(SessionPassTest, DirectoryLinesCarryTheirFileAndTheBoxesShowItsHeader)
{
    serve(3, 3000);
    open();
    ASSERT_TRUE(host.run_until(*session, [&] { return log.find(entry_prefix(0x202)) != nullptr; }, 60'000));
    for (std::uint32_t fn = 0x200; fn <= 0x202; ++fn) {
        const StatusLine* line = log.find(entry_prefix(fn));
        ASSERT_NE(line, nullptr) << std::hex << fn;
        EXPECT_EQ(line->text.rfind(entry_prefix(fn), 0), 0u);
        EXPECT_EQ(line->file_number, fn) << line->text;
    }
    for (const auto& l : log.lines)
        if (l.file_number)
            EXPECT_EQ(l.text.rfind(entry_prefix(l.file_number), 0), 0u) << "only directory lines name a file: " << l.text;
        else
            EXPECT_EQ(l.text.find(" T:ALL "), std::string::npos) << "a directory line without its file: " << l.text;

    // A directory line's box without a download slot.
    auto entry = session->directory_entry(0x201);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->to, "ALL");
    EXPECT_EQ(entry->from, "W1AW");
    EXPECT_EQ(entry->title, "Pass test 1");
    EXPECT_EQ(entry->file_type, 3);
    EXPECT_FALSE(session->directory_entry(0x999));

    // File Information of a file being received.
    session->fill_file(0x200, false);
    ASSERT_TRUE(host.run_until(*session, [&] { return session->file_information(0x200).has_value(); }, 60'000));
    const auto info = session->file_information(0x200);
    EXPECT_EQ(info->to, "ALL");
    EXPECT_EQ(info->from, "W1AW");
    EXPECT_EQ(info->title, "Pass test 0");
    EXPECT_EQ(info->file_type, 3);

    // The next pass finds last pass's entries in the directory files.
    host.satellite.reset();
    session->select_satellite("AO-16");
    ASSERT_TRUE(host.run_until(*session, [&] { return session->pass_open(); }, 20'000));
    entry = session->directory_entry(0x202);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->title, "Pass test 2");
    EXPECT_EQ(entry->from, "W1AW");
}

// The station's web view reads the pass from this document: the satellite, the boxes, a file
// being received with its share, and the status lines with their colours.
TEST_F(SessionPassTest, StatusExportFollowsThePassAndItsDownloads)
{
    const auto now_s = std::uint32_t(host.now / 1000);
    host.serve({test::served_file(0x300, 30000, now_s - 600, "Big one")}, root / "served", 0.3, 11);
    open();
    host.run(*session, 3000);
    session->fill_file(0x300, true);
    ASSERT_TRUE(host.run_until(*session, [&] {
        for (const DownloadRow& r : session->download_table())
            if (r.file_number == 0x300 && r.percent > 0 && r.percent < 100)
                return true;
        return false;
    }, 60'000));
    const std::string json = session_status_json(*session);
    EXPECT_NE(json.find("\"satellite\":\"AO-16\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"state\":\"open\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"downloads\":[{\"file\":\"300\""), std::string::npos) << json;
    EXPECT_EQ(json.find("\"percent\":0,"), std::string::npos) << "the row shows its share: " << json;
    EXPECT_NE(json.find("\"total_bytes\":"), std::string::npos);
    ASSERT_FALSE(session->status_lines().empty());
    EXPECT_NE(json.find(json_quote(session->status_lines().back().text)), std::string::npos) << json;
    EXPECT_NE(json.find("\"colour\":\""), std::string::npos);

    session->request_close();
    ASSERT_TRUE(host.run_until(*session, [&] { return session->finished(); }, 20'000));
    EXPECT_NE(session_status_json(*session).find("\"downloads\":[]"), std::string::npos);
}

// The log's figure compares the bytes heard with the satellite's count between its status lines.
TEST_F(SessionPassTest, EfficiencyInTheLogFollowsTheShareOfBroadcastHeard)
{
    const auto now_s = std::uint32_t(host.now / 1000);
    host.serve({test::served_file(0x300, 40000, now_s - 600, "Big one")}, root / "served", 0.3, 11);
    open();
    host.run(*session, 3000);
    session->fill_file(0x300, true);
    host.run(*session, 40'000);
    session->request_close();
    ASSERT_TRUE(host.run_until(*session, [&] { return session->finished(); }, 20'000));
    std::ifstream in(sat_dir / "Brek.LOG");
    std::string line;
    int figure = -1;
    while (std::getline(in, line))
        if (line.rfind("Percent EFFICIENCY", 0) == 0)
            figure = std::stoi(line.substr(19));
    // 30% of the downlink is lost; the count includes what the lost frames carried.
    EXPECT_GE(figure, 55) << figure;
    EXPECT_LE(figure, 85) << figure;
}

// The TNC is in KISS mode at once but the session is armed five seconds later: a pass closed
// before that, with frames heard, is still logged. One PB frame only: a status line would start
// the session clock by itself.
TEST_F(SessionPassTest, APassClosedBeforeTheTncSetupEndsIsStillLogged)
{
    serve(1, 3000);
    open();
    const auto is_pb = [](const Bytes& f) {
        return std::string(f.begin(), f.end()).find("PB: ") != std::string::npos;
    };
    ASSERT_TRUE(host.run_until(*session, [&] { return std::any_of(host.received.begin(), host.received.end(), is_pb); },
                               30'000));
    const Bytes pb = *std::find_if(host.received.begin(), host.received.end(), is_pb);
    session.reset();
    host.satellite.reset();
    fs::remove(sat_dir / "Brek.LOG");

    open();
    session->feed_tnc(encode_kiss_frame(pb, 0, false));
    host.run(*session, 1000);
    session->request_close();
    ASSERT_TRUE(host.run_until(*session, [&] { return session->finished(); }, 20'000));
    std::ifstream in(sat_dir / "Brek.LOG");
    ASSERT_TRUE(in) << "no session log";
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("TOTAL bytes received"), std::string::npos) << text;
}

TEST_F(SessionPassTest, ACompletedDownloadPlaysTheNewDownloadSoundOfTheSuiteSettings)
{
    config.general.sound_type = 3;
    config.general.new_dl_sound = 1;
    config.general.new_dl_wav = (root / "dl.wav").string();
    serve(2, 3000);
    open();
    host.run(*session, 3000);
    EXPECT_TRUE(host.sounds.empty());
    session->fill_file(0x200, false);
    ASSERT_TRUE(host.run_until(*session, [&] { return !host.sounds.empty(); }, 60'000));
    EXPECT_EQ(host.sounds[0], (settings::SoundChoice{settings::SoundChoice::Kind::Wave, config.general.new_dl_wav}));
    EXPECT_EQ(host.sounds.size(), 1u);
}

TEST_F(SessionPassTest, EfficiencyBoxShowsTheFigureSinceTheLastStatusLine)
{
    const auto now_s = std::uint32_t(host.now / 1000);
    host.serve({test::served_file(0x300, 40000, now_s - 600, "Big one")}, root / "served", 0.3, 11);
    open();
    host.run(*session, 3000);
    session->fill_file(0x300, true);
    std::set<std::string> shown;
    for (int i = 0; i < 200; ++i) {
        host.run(*session, 500);
        if (!session->boxes().efficiency.empty())
            shown.insert(session->boxes().efficiency);
    }
    const StatusBoxes b = session->boxes();
    ASSERT_FALSE(b.efficiency.empty());
    ASSERT_FALSE(b.pass_efficiency.empty());
    // Each figure is "%u%%" of one interval, never over 100; with 30% of frames lost they vary
    // from line to line while the whole-pass figure is their running share.
    for (const auto& e : shown) {
        ASSERT_EQ(e.back(), '%') << e;
        EXPECT_LE(std::stoi(e), 100) << e;
    }
    EXPECT_GE(shown.size(), 2u) << "the box showed one figure all pass";
    // The last interval heard everything the satellite sent; the pass as a whole did not.
    EXPECT_NE(b.efficiency, b.pass_efficiency);
}

// The largest number of I frames the station had on the air unacknowledged at the end of a step,
// from frame `from_sent`/`from_received` on.
struct WindowWatch {
    const test::SimHost& host;
    std::size_t sent = 0, received = 0;
    int vs = 0, va = 0, most = 0;
    void update()
    {
        for (; received < host.received.size(); ++received) {
            auto f = parse_ax25_frame(host.received[received]);
            if (!f || f->destination.callsign() != "G0ABC")
                continue;
            const Control c = decode_control(f->control);
            if (c.is_i() || c.is_s())
                va = c.nr;
        }
        for (; sent < host.sent.size(); ++sent) {
            auto f = parse_ax25_frame(host.sent[sent]);
            if (!f || f->destination.callsign() != "PACSAT")
                continue;
            const Control c = decode_control(f->control);
            if (c.is_i())
                vs = (c.ns + 1) & 7;
        }
        most = std::max(most, (vs - va + 8) & 7);
    }
    void reset() { most = 0; }
};

TEST_F(SessionPassTest, TncBoxReachesTheRunningUploadLink)
{
    test::write_bytes(sat_dir / "NOTE.OUT", test::upload_message(test::pattern_of(150'000, 4)));
    serve(0, 0);
    open();
    WindowWatch watch{host};
    ASSERT_TRUE(host.run_until(*session, [&] { return log.find("Upload file number") != nullptr; }, 30'000));
    for (int i = 0; i < 40; ++i) {
        host.step(*session);
        watch.update();
    }
    EXPECT_EQ(watch.most, 2); // the satellite's MaxFrame

    TncSettingsBox box = session->tnc_settings();
    box.max_frame = 5;
    box.retries = 2;
    box.retry_time_s = 1;
    session->set_tnc_settings(box);
    watch.reset();
    for (int i = 0; i < 40; ++i) {
        host.step(*session);
        watch.update();
    }
    EXPECT_EQ(watch.most, 5);

    // The satellite stops hearing us: two retries from one second, backing off (1 + 2 + 4 s),
    // not twelve from two.
    host.uplink_open = false;
    const std::uint64_t cut = host.now;
    ASSERT_TRUE(host.run_until(*session, [&] { return log.find("Retry count exceeded.") != nullptr; }, 30'000))
        << [&] {
               std::string all;
               for (const auto& l : log.lines)
                   all += l.text + "\n";
               return all;
           }();
    EXPECT_LE(host.now - cut, 7'500u);
    EXPECT_EQ(log.find("Retry count exceeded.")->colour, LineColour::DarkRed);
    EXPECT_TRUE(fs::exists(sat_dir / "800.PUL")); // kept for a later pass
}

TEST_F(SessionPassTest, UploadStatusShowsProgressAndDiscReleasesTheLink)
{
    test::write_bytes(sat_dir / "NOTE.OUT", test::upload_message(test::pattern_of(150'000, 4)));
    serve(0, 0);
    open();
    EXPECT_NE(log.find("BBS Callsign set to PACSAT-12"), nullptr);
    ASSERT_TRUE(host.run_until(*session, [&] {
        const auto b = session->boxes();
        return b.upload && b.upload->uploaded > 5000;
    }, 60'000));
    StatusBoxes b = session->boxes();
    EXPECT_EQ(b.upload_letter, "U");
    EXPECT_EQ(b.upload->file, "800.PUL");
    const auto length = std::int64_t(fs::file_size(sat_dir / "800.PUL"));
    EXPECT_EQ(b.upload->uploaded + b.upload->to_upload, length);
    EXPECT_EQ(b.upload->percent, int(b.upload->uploaded * 100 / length));
    EXPECT_GT(b.upload->cps, 0);
    ASSERT_TRUE(b.upload->seconds_left);
    EXPECT_NEAR(double(*b.upload->seconds_left), double(b.upload->to_upload) / double(b.upload->cps), 1.0);

    // Disc: DISC with the poll bit goes out and the link is down at once.
    const std::size_t before = host.sent.size();
    session->disconnect_upload();
    b = session->boxes();
    EXPECT_TRUE(b.upload_letter.empty());
    EXPECT_FALSE(b.upload);
    EXPECT_NE(log.find("Disconnected"), nullptr);
    bool disc = false;
    for (std::size_t i = before; i < host.sent.size(); ++i)
        if (auto f = parse_ax25_frame(host.sent[i]); f && f->control == (0x43 | 0x10))
            disc = true;
    EXPECT_TRUE(disc) << "no DISC with the poll bit was sent";
    EXPECT_TRUE(fs::exists(sat_dir / "800.PUL")); // continued on a later occasion
}

TEST_F(SessionPassTest, AQueuedMessageGoesUpInOneLoginAndComesBackDownAsTheServerFiledIt)
{
    host.sats[0].dl_mine = 0; // the station's own uploads are fetched too
    test::want_every_file(sat_dir);
    const std::string text = "Up to a server in service and back down.\r\n";
    const Bytes queued = test::upload_message(Bytes(text.begin(), text.end()), "G0ABC", "Round trip");
    test::write_bytes(sat_dir / "MSG.OUT", queued);
    serve(1, 2000, [](satsim::SatelliteConfig& c) { c.real_server = true; });
    open();
    std::string dl;
    ASSERT_TRUE(host.run_until(*session, [&] {
        for (const auto& e : fs::directory_iterator(sat_dir))
            if (e.path().extension() == ".UL") {
                dl = e.path().stem().string() + ".DL";
                return fs::exists(sat_dir / dl);
            }
        return false;
    }, 300'000)) << [&] {
        std::string all;
        for (const auto& l : log.lines)
            all += l.text + "\n";
        return all;
    }();
    const auto logins = std::count_if(log.lines.begin(), log.lines.end(),
                                      [](const StatusLine& l) { return l.text.rfind("Logged in at ", 0) == 0; });
    EXPECT_EQ(logins, 1);
    EXPECT_EQ(host.server->counters().sessions, 1u);
    // What came down is what the server holds, byte for byte: the message with its number, its
    // upload time and the header checksum written in, and nothing else changed.
    const Bytes down = test::read_bytes(sat_dir / dl);
    const std::string number = dl.substr(0, dl.size() - 3);
    EXPECT_EQ(down, test::read_bytes(root / "served" / (number + ".UPL")));
    auto h = pfh::parse_pfh(down);
    ASSERT_TRUE(h) << h.error().message;
    EXPECT_EQ(h->file_number, std::stoul(number, nullptr, 16));
    EXPECT_NE(h->upload_time.value_or(0), 0u);
    ASSERT_EQ(down.size(), queued.size());
    for (std::size_t i = 0; i < down.size(); ++i)
        if (down[i] != queued[i]) {
            EXPECT_TRUE((i >= 5 && i < 9) || i == 63 || i == 64 || (i >= 90 && i < 94)) << "byte " << i;
        }
}

TEST_F(SessionPassTest, QueueFileOutOfTheUploadLayoutIsHeldWithTheReasonShown)
{
    // Items in id order without 6 and 7: a server in service would file it damaged.
    auto h = test::header_for(1, "Old layout", "ALL", "G0ABC");
    h.file_number = 0;
    h.create_time = 1'700'000'000;
    test::write_bytes(sat_dir / "OLD.OUT", pfh::build_pfh_file(h, test::pattern_of(500, 5)));
    serve(0, 0);
    open();
    host.run(*session, 30'000);
    const StatusLine* said = log.find("Upload file OLD.OUT not sent: upload header: byte 40 holds item 0x08");
    ASSERT_NE(said, nullptr);
    EXPECT_EQ(said->colour, LineColour::Red);
    EXPECT_EQ(session->boxes().upload_held.rfind("OLD.OUT not sent: upload header: ", 0), 0u)
        << session->boxes().upload_held;
    EXPECT_EQ(log.find("Attempting to connect to server"), nullptr);
    EXPECT_TRUE(fs::exists(sat_dir / "OLD.OUT"));
    EXPECT_EQ(host.server->counters().sessions, 0u);
}

TEST_F(SessionPassTest, ABadBbsCallsignIsToldAndUploadsStayOffWithTheReason)
{
    host.sats[0].bbs_callsign = "NOT A CALL";
    test::write_bytes(sat_dir / "NOTE.OUT", test::upload_message(test::pattern_of(2'000, 4)));
    serve(0, 0);
    open();
    const StatusLine* err = log.find("Error setting the BBS callsign");
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(err->colour, LineColour::Red);
    EXPECT_EQ(log.find("BBS Callsign set to"), nullptr);
    EXPECT_NE(session->boxes().uploads_off.find("NOT A CALL"), std::string::npos);
    host.run(*session, 20'000);
    EXPECT_TRUE(fs::exists(sat_dir / "NOTE.OUT")) << "nothing may be uploaded";
    // Switching uploading back on tells the operator why nothing happens.
    const std::size_t lines = log.lines.size();
    TemporarySettings t = session->temporary_settings();
    t.uploading = false;
    session->set_temporary_settings(t);
    t.uploading = true;
    session->set_temporary_settings(t);
    bool told = false;
    for (std::size_t i = lines; i < log.lines.size(); ++i)
        told = told || log.lines[i].text.find("Uploads are off") != std::string::npos;
    EXPECT_TRUE(told);
}

TEST_F(SessionPassTest, TailBudgetReadsBackAndSurvivesThePassOpening)
{
    session.emplace(config, host);
    EXPECT_FALSE(session->byte_budget());
    session->on_window_message({kMsgTail, 3, 5000}); // before the pass opens
    EXPECT_EQ(session->byte_budget(), 5000u);
    session->start("AO-16");
    EXPECT_EQ(session->byte_budget(), 5000u);
    EXPECT_EQ(session->broadcast_options().tail_action, 3);
    session->on_window_message({kMsgTail, 1, 1000});
    EXPECT_EQ(session->byte_budget(), 2048u);
    session->on_window_message({kMsgTail, 2, -5});
    EXPECT_EQ(session->byte_budget(), 2048u);
    EXPECT_EQ(session->broadcast_options().tail_action, 2);
}

TEST_F(SessionPassTest, CapturesSwitchedFromTheFileMenuOpenAndCloseDuringThePass)
{
    serve(1, 2000);
    open();
    host.run(*session, 2'000);
    EXPECT_FALSE(session->log_kiss());
    const auto t = std::chrono::floor<std::chrono::seconds>(
        std::chrono::sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(host.now)));
    const fs::path kss = sat_dir / menu_capture_name(t, ".KSS");
    const fs::path tlm = sat_dir / menu_capture_name(t, ".TLM");
    EXPECT_FALSE(fs::exists(kss));

    session->set_log_kiss(true);
    session->set_log_telemetry(true);
    EXPECT_TRUE(session->log_kiss());
    ASSERT_TRUE(fs::exists(kss));
    ASSERT_TRUE(fs::exists(tlm));
    // Every byte the TNC gives from now on is in the capture.
    Bytes fed;
    const std::size_t from = host.received.size();
    host.run(*session, 12'000); // the satellite's telemetry comes every ten seconds
    for (std::size_t i = from; i < host.received.size(); ++i) {
        const Bytes k = encode_kiss_frame(host.received[i], 0, false);
        fed.insert(fed.end(), k.begin(), k.end());
    }
    ASSERT_FALSE(fed.empty());
    EXPECT_EQ(test::read_bytes(kss), fed);
    const auto telemetry = test::read_bytes(tlm);
    ASSERT_GE(telemetry.size(), 2u);
    EXPECT_EQ(telemetry[0], 0xC0);
    EXPECT_EQ(telemetry[1], 0x00);

    session->set_log_kiss(false);
    session->set_log_telemetry(false);
    host.run(*session, 12'000);
    EXPECT_EQ(test::read_bytes(kss), fed);
    EXPECT_EQ(test::read_bytes(tlm), telemetry);
}

TEST_F(SessionPassTest, ReplayNeverCaptures)
{
    config.offline = true;
    open();
    session->set_log_kiss(true);
    EXPECT_FALSE(session->log_kiss());
    for (const auto& e : fs::directory_iterator(sat_dir))
        EXPECT_NE(e.path().extension(), ".KSS") << e.path();
}

TEST(FileHeaderLookup, NewestDirectoryEntryWinsAndADamagedTailIsLeftBehind)
{
    test::TempFolder dir;
    auto old_entry = test::header_for(0x55, "Old title");
    auto new_entry = test::header_for(0x55, "New title", "G0ABC", "W1AW");
    Bytes first = pfh::build_pfh(old_entry);
    const Bytes other = pfh::build_pfh(test::header_for(0x56, "Other"));
    first.insert(first.end(), other.begin(), other.end());
    test::write_bytes(dir / "Brek0001.PFH", first);
    Bytes second = pfh::build_pfh(new_entry);
    second.insert(second.end(), {0xAA, 0x55, 0x01}); // a header torn by a crash
    test::write_bytes(dir / "Brek0002.PFH", second);

    auto h = find_directory_header(dir.path(), 0x55);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->title, "New title");
    EXPECT_EQ(h->destination, "G0ABC");
    h = find_directory_header(dir.path(), 0x56);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->title, "Other");
    EXPECT_FALSE(find_directory_header(dir.path(), 0x57));
    EXPECT_FALSE(find_directory_header(dir / "missing", 0x55));
}

TEST(FileHeaderLookup, PartialFileGivesItsHeaderOnlyOnceItsStartHasArrived)
{
    test::TempFolder dir;
    const Bytes file = test::file_with_body(0x77, 3000);
    test::write_bytes(dir / "77.ACT", file);
    const int fd = ::open((dir / "77.ACT").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    auto h = read_partial_header(fd, HoleList::from({{2000, 2500}}), 0x77);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->title, "TEST");
    EXPECT_FALSE(read_partial_header(fd, HoleList::from({{0, 100}}), 0x77));    // start missing
    EXPECT_FALSE(read_partial_header(fd, HoleList::from({{20, 3000}}), 0x77));  // header cut short
    EXPECT_FALSE(read_partial_header(fd, HoleList::from({{2000, 2500}}), 0x78)); // another file's bytes
    ::close(fd);
}

} // namespace
} // namespace orva::engine

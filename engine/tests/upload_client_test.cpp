#include "common/pfh/pfh_builder.h"
#include "engine/upload/upload_client.h"
#include "engine/upload/upload_host.h"
#include "engine/tests/upload_message.h"
#include "engine/tests/upload_test_peer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include <algorithm>
#include <fstream>

namespace orva::engine {
namespace {
using namespace test;
using K = ControlKind;
namespace fs = std::filesystem;

// A queue file of `size` bytes in all, as the composer writes it: header in the upload layout,
// the rest a pattern.
Bytes queued(std::size_t size, std::uint32_t seed) {
    const std::size_t header = upload_message({}).size();
    return upload_message(pattern_bytes(size - header, seed));
}

// A hand-driven server end: takes what the client sends, acknowledges it and answers.
class ClientTest : public ::testing::Test {
protected:
    TempDir dir;
    Ax25Address me = addr("G0ABC"), bbs = addr("PACSAT-12");
    PeerFrames peer{bbs, me};
    LinkTime now{1'000'000'000'000};
    std::unique_ptr<UploadClient> client;
    std::vector<StatusPost> posts;
    std::vector<Bytes> packets; // FTL0 packets the server received, in order
    std::vector<SentFrame> frames;
    int peer_vr = 0, peer_vs = 0;

    void SetUp() override { make_client(); }
    void make_client(DataLinkSettings link = {}) {
        UploadConfig c;
        c.my_call = me;
        c.bbs_call = bbs;
        c.folder = dir.path();
        c.link = link;
        c.seed = 7;
        client = std::make_unique<UploadClient>(c);
    }
    void take(UploadOutput o) {
        for (auto& p : o.posts) posts.push_back(p);
        for (const auto& b : o.frames) {
            auto s = read_sent(b);
            if (s.control.kind == K::I && s.control.ns == peer_vr) {
                peer_vr = (peer_vr + 1) & 7;
                packets.push_back(s.info);
            }
            frames.push_back(s);
        }
    }
    void feed(const Ax25Frame& f) { take(client->on_connected_frame(f, now)); }
    void answer(const Bytes& pkt) {
        feed(peer.make(i_control(peer_vs, peer_vr, false), true, pkt));
        peer_vs = (peer_vs + 1) & 7;
    }
    void ack() { feed(peer.make(s_control(K::RR, peer_vr, false), false)); }
    bool posted(const std::string& text) const {
        return std::any_of(posts.begin(), posts.end(), [&](const StatusPost& p) { return p.text == text; });
    }
    const StatusPost* find_post(const std::string& text) const {
        for (const auto& p : posts)
            if (p.text == text) return &p;
        return nullptr;
    }
    void run_timers(LinkTime until) {
        while (auto d = client->next_deadline()) {
            if (*d > until) break;
            now = std::max(now, *d);
            take(client->poll(now));
        }
        now = std::max(now, until);
    }
    void connect_and_login() {
        take(client->on_bbs_status("Open ABCD", now));
        run_timers(now + LinkTime(2000));
        ASSERT_FALSE(frames.empty());
        ASSERT_EQ(frames.back().control.kind, K::SABM);
        feed(peer.make(u_control(K::UA, true), false));
        answer(login_packet(1'000'000'000, 1));
    }
    // Acknowledges data until the client sends data end (or stops sending).
    void take_data() {
        for (int guard = 0; guard < 100000; ++guard) {
            if (!packets.empty() && (packets.back()[1] & 0x1F) == ftl0::kDataEnd) return;
            const auto before = packets.size();
            ack();
            if (packets.size() == before) return;
        }
    }
    Bytes data_sent() const {
        Bytes all;
        for (const auto& p : packets)
            if ((p[1] & 0x1F) == ftl0::kData) all.insert(all.end(), p.begin() + 2, p.end());
        return all;
    }
    static std::uint32_t u32(const Bytes& b, std::size_t at) {
        return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24;
    }
};

TEST_F(ClientTest, NewFileUploadsRenamesAtGoAndAtAcknowledgement) {
    const Bytes body = queued(1000, 1);
    write_bytes(dir / "MSG.OUT", body);
    connect_and_login();
    EXPECT_TRUE(posted("PACSAT protocol server version 1"));
    EXPECT_TRUE(posted("Logged in at 01:46:40 09 Sep 2001"));
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0][1], ftl0::kUploadCommand);
    EXPECT_EQ(u32(packets[0], 2), 0u);
    EXPECT_EQ(u32(packets[0], 6), 1000u);
    EXPECT_EQ(client->state(), UploadClient::kAwaitCommandAnswer);

    answer(go_packet(0x1A2B, 0));
    EXPECT_TRUE(posted("Upload file number 1A2B"));
    EXPECT_TRUE(fs::exists(dir / "1A2B.PUL"));
    EXPECT_FALSE(fs::exists(dir / "MSG.OUT"));
    EXPECT_EQ(packets.size(), 3u); // two data packets: the window
    take_data();
    EXPECT_EQ(data_sent(), numbered_upload(body, 0x1A2B)); // the server's number in its header
    EXPECT_EQ(client->state(), UploadClient::kAwaitDataEndAnswer);
    EXPECT_TRUE(fs::exists(dir / "1A2B.PUL")); // not before the acknowledgement

    now += LinkTime(4000);
    answer(packet(ftl0::kUploadAck));
    const auto* done = find_post("Upload complete and accepted by satellite. [250 CPS]");
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->colour, LineColour::Blue);
    EXPECT_TRUE(fs::exists(dir / "1A2B.UL"));
    EXPECT_FALSE(fs::exists(dir / "1A2B.PUL"));
    ASSERT_EQ(client->log_entries().size(), 1u);
    const auto& e = client->log_entries()[0];
    EXPECT_EQ(e.file_number, 0x1A2Bu);
    EXPECT_EQ(e.bytes, 1000);
    EXPECT_EQ(e.seconds, 4);
    EXPECT_EQ(e.rate, 250);
    EXPECT_EQ(e.reason, 1);
    EXPECT_EQ(frames.back().control.kind, K::DISC); // nothing more to send
    feed(peer.make(u_control(K::UA, true), false));
    EXPECT_TRUE(posted("Disconnected"));
    EXPECT_EQ(client->state(), UploadClient::kIdle);
}

TEST_F(ClientTest, ContinuesFromTheServersOffset) {
    const Bytes body = queued(3000, 2);
    write_bytes(dir / "BEEF.PUL", body);
    connect_and_login();
    EXPECT_EQ(u32(packets[0], 2), 0xBEEFu);
    answer(go_packet(0xBEEF, 1000));
    EXPECT_TRUE(posted("Continuing file BEEF from offset 1000"));
    take_data();
    EXPECT_EQ(data_sent(), Bytes(body.begin() + 1000, body.end()));
    answer(packet(ftl0::kUploadAck));
    EXPECT_TRUE(fs::exists(dir / "BEEF.UL"));
}

TEST_F(ClientTest, ShortFilesBecomeUlxAndAreNeverSent) {
    write_bytes(dir / "TINY.OUT", pattern_bytes(79, 3));
    connect_and_login();
    const auto* p = find_post("Upload file invalid.  Renaming to .ULX.");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->colour, LineColour::Red);
    EXPECT_TRUE(fs::exists(dir / "TINY.ULX"));
    EXPECT_TRUE(packets.empty());
    EXPECT_EQ(frames.back().control.kind, K::DISC);
}

TEST_F(ClientTest, NoTriggerWithoutFilesOrWhenShutOrDisabled) {
    auto o = client->on_bbs_status("Open ABCD", now);
    EXPECT_EQ(o.bbs_status, "Open ABCD");
    EXPECT_FALSE(client->busy());
    write_bytes(dir / "A.OUT", queued(200, 4));
    client->on_bbs_status("Shut", now);
    EXPECT_FALSE(client->busy());
    client->set_uploading(false);
    client->on_bbs_status("Open ABCD", now);
    EXPECT_FALSE(client->busy());
    client->set_uploading(true);
    o = client->on_bbs_status("Open B", now);
    EXPECT_TRUE(client->busy());
    EXPECT_EQ(o.select_uplink, 1);
}

TEST(UploadStatusLine, UplinkIsThePositionAfterTheFirstBlank) {
    EXPECT_EQ(UploadClient::uplink_in_status("Open ABCD"), 1);
    EXPECT_EQ(UploadClient::uplink_in_status("Open  B"), 2);
    EXPECT_EQ(UploadClient::uplink_in_status("Open xx3"), 3);
    EXPECT_EQ(UploadClient::uplink_in_status("Open xxxD"), std::nullopt);
    EXPECT_EQ(UploadClient::uplink_in_status("Open"), std::nullopt);
}

struct RefusalCase {
    bool after_data_end;
    int code;
    const char* text; // nullptr: no text of its own
    const char* ends_as;
    int reason; // -1: no log entry
};

// Printed in test listings and failures: the case itself, never its bytes (pointers included).
void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << (c.after_data_end ? "after data end" : "before data") << ", code " << c.code << " -> " << c.ends_as;
}

std::string refusal_name(const ::testing::TestParamInfo<RefusalCase>& info)
{
    return std::string(info.param.after_data_end ? "AfterDataEnd" : "BeforeData") + "Code" + std::to_string(info.param.code);
}

TEST(RefusalCases, PrintAndNameWithoutBytes)
{
    const RefusalCase c{true, 14, "The file has a corrupt header.", "ABC.ULX", 2};
    EXPECT_EQ(::testing::PrintToString(c), "after data end, code 14 -> ABC.ULX");
    EXPECT_EQ(refusal_name(::testing::TestParamInfo<RefusalCase>(c, 3)), "AfterDataEndCode14");
}

class RefusalTest : public ClientTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, TextRenameAndLogAsTheTableSays) {
    const auto c = GetParam();
    write_bytes(dir / "ABC.PUL", queued(500, 5));
    connect_and_login();
    if (c.after_data_end) {
        answer(go_packet(0xABC, 0));
        take_data();
        answer(packet(ftl0::kUploadNak, {std::uint8_t(c.code)}));
        EXPECT_TRUE(posted("File not accepted by server."));
    } else {
        answer(packet(ftl0::kUploadError, {std::uint8_t(c.code)}));
        EXPECT_TRUE(posted("Upload not accepted by server."));
    }
    if (c.text) {
        const auto* p = find_post(c.text);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->colour, LineColour::Red);
    }
    EXPECT_TRUE(fs::exists(dir / c.ends_as)) << c.ends_as;
    if (c.reason < 0) {
        EXPECT_TRUE(client->log_entries().empty());
    } else {
        ASSERT_EQ(client->log_entries().size(), 1u);
        EXPECT_EQ(client->log_entries()[0].reason, c.reason);
    }
    // A kept file is not offered again in the same session: the link is released.
    EXPECT_EQ(frames.back().control.kind, K::DISC);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusalTest,
    ::testing::Values(RefusalCase{false, 2, "The filelength doesn't agree with that expected.", "ABC.ULX", -1},
                      RefusalCase{false, 4, "The CONTINUE file number doesn't exist", "ABC.ULX", -1},
                      RefusalCase{false, 12, "The file is already complete.", "ABC.UL", -1},
                      RefusalCase{false, 13, "The server is out of memory.", "ABC.PUL", -1},
                      RefusalCase{false, 99, nullptr, "ABC.PUL", -1},
                      RefusalCase{true, 13, "The server is out of memory.", "ABC.PUL", 4},
                      RefusalCase{true, 14, "The file has a corrupt header.", "ABC.ULX", 2},
                      RefusalCase{true, 15, "The file has a corrupt header.", "ABC.ULX", 2},
                      RefusalCase{true, 16, "The file has a corrupt body.", "ABC.ULX", 3},
                      RefusalCase{true, 99, nullptr, "ABC.PUL", 0}),
    refusal_name);

TEST_F(ClientTest, ImpossibleOffsetOrShortGoIsUnexpectedAndKeepsThePul) {
    write_bytes(dir / "ABC.PUL", queued(500, 6));
    connect_and_login();
    answer(go_packet(0xABC, 501));
    EXPECT_TRUE(posted("Unexpected packet during transfer"));
    EXPECT_EQ(frames.back().control.kind, K::DISC);
    EXPECT_TRUE(fs::exists(dir / "ABC.PUL"));
    ASSERT_EQ(client->log_entries().size(), 1u);
    EXPECT_EQ(client->log_entries()[0].reason, 5);
}

TEST_F(ClientTest, ShortGoAnswerIsUnexpected) {
    write_bytes(dir / "X.OUT", queued(500, 6));
    connect_and_login();
    answer(packet(ftl0::kUploadGo, {1, 2, 3}));
    EXPECT_TRUE(posted("Unexpected packet during transfer"));
    EXPECT_TRUE(fs::exists(dir / "X.OUT"));
    EXPECT_TRUE(data_sent().empty());
}

TEST_F(ClientTest, GarbageInsteadOfLoginIsUnexpected) {
    write_bytes(dir / "X.OUT", queued(500, 6));
    take(client->on_bbs_status("Open ABCD", now));
    run_timers(now + LinkTime(2000));
    feed(peer.make(u_control(K::UA, true), false));
    answer(Bytes{0xFF, 0xFF, 0xFF});
    EXPECT_TRUE(posted("Unexpected packet during transfer"));
    EXPECT_EQ(client->log_entries().at(0).reason, 5);
    EXPECT_EQ(frames.back().control.kind, K::DISC);
}

TEST_F(ClientTest, AcknowledgementBeforeAllDataIsNotCompletion) {
    write_bytes(dir / "ABC.PUL", queued(5000, 7));
    connect_and_login();
    answer(go_packet(0xABC, 0));
    answer(packet(ftl0::kUploadNak, {1}));
    EXPECT_TRUE(posted("Break requested by satellite"));
    EXPECT_EQ(client->state(), UploadClient::kAwaitDataEndAnswer);
    answer(packet(ftl0::kUploadAck));
    EXPECT_TRUE(posted("Unexpected packet during transfer"));
    EXPECT_TRUE(fs::exists(dir / "ABC.PUL"));
    EXPECT_FALSE(fs::exists(dir / "ABC.UL"));
}

TEST_F(ClientTest, DropMidUploadLogsDisconnectAndKeepsThePul) {
    write_bytes(dir / "ABC.PUL", queued(5000, 8));
    connect_and_login();
    answer(go_packet(0xABC, 0));
    ack();
    now += LinkTime(3000);
    feed(peer.make(u_control(K::DM, false), false));
    EXPECT_TRUE(posted("Disconnected"));
    ASSERT_EQ(client->log_entries().size(), 1u);
    EXPECT_EQ(client->log_entries()[0].reason, 6);
    EXPECT_EQ(client->log_entries()[0].seconds, 3);
    EXPECT_GT(client->log_entries()[0].bytes, 0);
    EXPECT_TRUE(fs::exists(dir / "ABC.PUL"));
}

TEST_F(ClientTest, ProgressInTheFirstSecondHasARateAndNoTimeWhileZero) {
    write_bytes(dir / "ABC.PUL", queued(5000, 9));
    connect_and_login();
    answer(go_packet(0xABC, 0));
    const auto& p = client->progress();
    EXPECT_EQ(p.uploaded, 488);
    EXPECT_EQ(p.cps, 488);
    EXPECT_EQ(p.percent, 9);
    ASSERT_TRUE(p.seconds_left);
    EXPECT_EQ(*p.seconds_left, (5000 - 488) / 488);
}

TEST_F(ClientTest, ZeroBytesToSendStillEndsTheFile) {
    write_bytes(dir / "ABC.PUL", queued(500, 10));
    connect_and_login();
    answer(go_packet(0xABC, 500));
    EXPECT_EQ(client->progress().cps, 0);
    EXPECT_FALSE(client->progress().seconds_left);
    ASSERT_EQ(packets.back()[1], ftl0::kDataEnd);
    answer(packet(ftl0::kUploadAck));
    EXPECT_TRUE(fs::exists(dir / "ABC.UL"));
}

TEST_F(ClientTest, OneConnectionSendsEveryQueuedFileSmallestFirst) {
    write_bytes(dir / "B.OUT", queued(900, 11));
    write_bytes(dir / "A.OUT", queued(300, 12));
    connect_and_login();
    EXPECT_EQ(u32(packets.back(), 6), 300u);
    answer(go_packet(0x10, 0));
    take_data();
    answer(packet(ftl0::kUploadAck));
    EXPECT_EQ(u32(packets.back(), 6), 900u);
    answer(go_packet(0x11, 0));
    take_data();
    answer(packet(ftl0::kUploadAck));
    EXPECT_TRUE(fs::exists(dir / "10.UL"));
    EXPECT_TRUE(fs::exists(dir / "11.UL"));
    EXPECT_EQ(client->log_entries().size(), 2u);
}

// The header the suite used to write: items in id order, without items 6 and 7 (nor 0x15, 0x16,
// 0x18). A server in service files it with its writes landing on other items.
Bytes old_layout_file(std::size_t body_size) {
    pfh::PfhHeader h;
    h.file_number = 0;
    h.file_name = "OLD     ";
    h.file_ext = "TXT";
    h.create_time = 1'700'000'000;
    h.file_type = 0;
    h.source = "G0ABC";
    h.ax25_uploader = "G0ABC ";
    h.upload_time = 0;
    h.download_count = 0;
    h.destination = "ALL";
    h.expire_time = 0;
    h.compression_type = 0;
    h.title = "Old layout";
    return pfh::build_pfh_file(h, pattern_bytes(body_size, 21));
}

TEST_F(ClientTest, HeaderOutOfLayoutIsHeldQueuedAndSaidOnce) {
    write_bytes(dir / "OLD.OUT", old_layout_file(300));
    take(client->on_bbs_status("Open ABCD", now));
    run_timers(now + LinkTime(5000));
    EXPECT_FALSE(client->busy());
    EXPECT_TRUE(frames.empty()) << "no connection for a file that cannot be sent";
    const std::string why =
        "upload header: byte 40 holds item 0x08 (file type) where item 0x06 (last modified time) belongs";
    const auto* p = find_post("Upload file OLD.OUT not sent: " + why);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->colour, LineColour::Red);
    EXPECT_EQ(client->held(), "OLD.OUT not sent: " + why);
    EXPECT_TRUE(fs::exists(dir / "OLD.OUT"));
    // Not said again at every status line.
    const auto said = posts.size();
    take(client->on_bbs_status("Open ABCD", now));
    EXPECT_EQ(posts.size(), said);

    // A file that fits goes up; the held one stays queued and is not offered.
    write_bytes(dir / "NEW.OUT", queued(400, 1));
    connect_and_login();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(u32(packets.back(), 6), 400u);
    answer(go_packet(0x20, 0));
    take_data();
    answer(packet(ftl0::kUploadAck));
    EXPECT_TRUE(fs::exists(dir / "20.UL"));
    EXPECT_TRUE(fs::exists(dir / "OLD.OUT"));
    EXPECT_EQ(packets.size(), 4u) << "command, two data, data end; nothing for OLD.OUT";
    EXPECT_EQ(frames.back().control.kind, K::DISC);

    // Rewritten in the layout, it is checked again and goes.
    write_bytes(dir / "OLD.OUT", queued(500, 2));
    feed(peer.make(u_control(K::UA, true), false));
    take(client->on_bbs_status("Open ABCD", now));
    EXPECT_TRUE(client->busy());
    EXPECT_TRUE(client->held().empty());
}

TEST_F(ClientTest, ServerEndingTheLoginBringsOneReconnectAfterAPause) {
    write_bytes(dir / "MSG.OUT", queued(500, 1));
    auto sabms = [&] {
        return std::count_if(frames.begin(), frames.end(), [](const SentFrame& f) { return f.control.kind == K::SABM; });
    };
    // Runs the timers until a SABM goes out or `limit` passes.
    auto until_sabm = [&](LinkTime limit) {
        const auto before = sabms();
        while (sabms() == before) {
            auto d = client->next_deadline();
            if (!d || *d > limit) break;
            now = std::max(now, *d);
            take(client->poll(now));
        }
        return sabms() > before;
    };
    take(client->on_bbs_status("Open ABCD", now));
    ASSERT_TRUE(until_sabm(now + LinkTime(3000)));
    feed(peer.make(u_control(K::UA, true), false));
    // The server drops the session before its login response.
    feed(peer.make(u_control(K::DISC, true), true));
    EXPECT_TRUE(posted("Disconnected"));
    const auto p = std::find_if(posts.begin(), posts.end(),
                                 [](const StatusPost& s) { return s.text.rfind("Server ended the login.", 0) == 0; });
    ASSERT_NE(p, posts.end());
    EXPECT_EQ(p->colour, LineColour::DarkRed);
    EXPECT_TRUE(client->busy()) << "a new attempt is due";
    const LinkTime ended = now;
    // Nothing for ten seconds, status lines or not; then one SABM.
    take(client->on_bbs_status("Open ABCD", now + LinkTime(5000)));
    EXPECT_FALSE(until_sabm(ended + LinkTime(10000)));
    ASSERT_TRUE(until_sabm(ended + LinkTime(40000)));
    EXPECT_EQ(sabms(), 2);

    // Ended again during the login, after the login response this time: no third attempt.
    feed(peer.make(u_control(K::UA, true), false));
    answer(login_packet(1'000'000'000, 1));
    EXPECT_EQ(client->state(), UploadClient::kAwaitCommandAnswer);
    feed(peer.make(u_control(K::DISC, true), true));
    EXPECT_TRUE(posted("Server ended the login again.  No more uploads this pass."));
    EXPECT_FALSE(client->busy());
    take(client->on_bbs_status("Open ABCD", now));
    EXPECT_FALSE(until_sabm(now + LinkTime(120000)));
    EXPECT_EQ(sabms(), 2);
    EXPECT_TRUE(fs::exists(dir / "MSG.OUT"));
}

TEST_F(ClientTest, ServerEndingTheLinkAfterTheLoginIsNoLoginFailure) {
    write_bytes(dir / "ABC.PUL", queued(5000, 8));
    connect_and_login();
    answer(go_packet(0xABC, 0));
    feed(peer.make(u_control(K::DISC, true), true));
    EXPECT_TRUE(posted("Disconnected"));
    EXPECT_FALSE(client->busy()) << "the next status line starts the next attempt";
    take(client->on_bbs_status("Open ABCD", now));
    EXPECT_TRUE(client->busy());
}

struct Lines : StatusSink {
    std::vector<StatusPost> lines;
    void post(std::string text, LineColour colour) override { lines.push_back({std::move(text), colour}); }
};

TEST(UploadHostWiring, TriggerSelectsTheUplinkAndSendsSabmThroughTheHost) {
    TempDir d;
    write_bytes(d / "A.OUT", queued(200, 1));
    UploadConfig c;
    c.my_call = addr("G0ABC");
    c.bbs_call = addr("PACSAT-12");
    c.folder = d.path();
    c.default_uplink = 2;
    c.seed = 1;
    Lines lines;
    std::vector<Bytes> sent;
    LinkTime now{1'000'000'000'000};
    int uplink = 0;
    UploadHost host(c, [&](std::span<const std::uint8_t> f) { sent.emplace_back(f.begin(), f.end()); }, lines,
                    [&] { return now; }, [&](int u) { uplink = u; });
    host.on_bbs_status("Open");
    EXPECT_EQ(uplink, 2);
    EXPECT_EQ(host.bbs_status(), "Open");
    while (sent.empty()) {
        ASSERT_TRUE(host.next_deadline());
        now = *host.next_deadline();
        host.poll();
    }
    EXPECT_EQ(lines.lines.at(0).text, "Attempting to connect to server");
    EXPECT_EQ(read_sent(sent[0]).control.kind, K::SABM);
    EXPECT_GE(now.count(), 1'000'000'000'000 + 500);
    EXPECT_LT(now.count(), 1'000'000'000'000 + 2000);
    EXPECT_TRUE(host.close().empty());
    EXPECT_EQ(lines.lines.back().text, "Disconnected");
}

TEST(UploadFolderChoice, PulBelow20000BeatsASmallerOut) {
    TempDir d;
    write_bytes(d / "AAAA.PUL", Bytes(15000, 1));
    write_bytes(d / "NEW.OUT", Bytes(5000, 1));
    UploadFolder f(d.path());
    auto c = f.choose();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->path.filename(), "AAAA.PUL");
    EXPECT_EQ(c->file_number, 0xAAAAu);
    fs::resize_file(d / "AAAA.PUL", 30000);
    c = f.choose();
    EXPECT_EQ(c->path.filename(), "NEW.OUT");
    EXPECT_EQ(c->file_number, 0u);
    fs::resize_file(d / "AAAA.PUL", 4096000);
    fs::remove(d / "NEW.OUT");
    EXPECT_FALSE(f.choose());
    EXPECT_TRUE(f.has_waiting());
}

TEST(UploadFolderChoice, RenamesNeverReplaceAFile) {
    TempDir d;
    write_bytes(d / "X.OUT", Bytes(100, 1));
    write_bytes(d / "12.PUL", Bytes(100, 2));
    UploadFolder f(d.path());
    EXPECT_FALSE(f.rename_to_pul(d / "X.OUT", 0x12).ok());
    EXPECT_TRUE(fs::exists(d / "X.OUT"));
    EXPECT_EQ(read_all(d / "12.PUL"), Bytes(100, 2));
}

TEST(Ftl0Packet, LengthOf300IsSplitOverTheTwoBytes) {
    const auto p = ftl0::encode_packet(ftl0::kData, Bytes(300, 0));
    EXPECT_EQ(p[0], 0x2C);
    EXPECT_EQ(p[1], 0x20);
    EXPECT_EQ(p.size(), 302u);
}

TEST(Ftl0Packet, AnswersAreReadStrictly) {
    using Kd = ftl0::ServerAnswer::Kind;
    EXPECT_EQ(ftl0::parse_server_answer(go_packet(5, 6)).kind, Kd::Go);
    EXPECT_EQ(ftl0::parse_server_answer(go_packet(5, 6)).offset, 6u);
    auto bad = go_packet(5, 6);
    bad.pop_back();
    EXPECT_EQ(ftl0::parse_server_answer(bad).kind, Kd::Invalid); // length disagrees
    EXPECT_EQ(ftl0::parse_server_answer(packet(ftl0::kUploadError)).kind, Kd::Invalid);
    EXPECT_EQ(ftl0::parse_server_answer(Bytes{0}).kind, Kd::Invalid);
    EXPECT_EQ(ftl0::parse_server_answer(packet(ftl0::kUploadAck)).kind, Kd::Ack);
    EXPECT_EQ(ftl0::parse_server_answer(login_packet(7, 0x21)).flags, 0x21);
}


// What a server in service needs and sends: the header of an upload carrying the number its go
// answer gave, FTL0 as a byte stream over the link, longer login responses, I frames marked as
// responses.
Bytes read_bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
Bytes upload_file(std::uint32_t file_number, std::size_t body_size) {
    const Bytes file = upload_message(pattern_bytes(body_size, 3), "G0ABC", "Hello");
    return file_number ? numbered_upload(file, file_number) : file;
}

class RealServerUpload : public ClientTest {
protected:
    // The client's FTL0 packets as a byte stream, cut by hand into `pieces` I frames each.
    void answer_in_pieces(const Bytes& stream, std::initializer_list<std::size_t> cuts) {
        std::size_t from = 0;
        for (std::size_t to : cuts) {
            answer(Bytes(stream.begin() + std::ptrdiff_t(from), stream.begin() + std::ptrdiff_t(to)));
            from = to;
        }
        answer(Bytes(stream.begin() + std::ptrdiff_t(from), stream.end()));
    }
};

TEST_F(RealServerUpload, NewFileGoesOutUnderTheNumberOfTheGoAnswer) {
    const Bytes file = upload_file(0, 700);
    write_bytes(dir / "MSG.OUT", file);
    connect_and_login();
    answer(go_packet(9, 0));
    take_data();
    const Bytes sent = data_sent();
    ASSERT_EQ(sent.size(), file.size());
    EXPECT_EQ(sent, upload_file(9, 700));
    auto h = pfh::parse_pfh(sent); // the header checksum is checked too
    ASSERT_TRUE(h) << h.error().message;
    EXPECT_EQ(h->file_number, 9u);
    EXPECT_EQ(Bytes(sent.begin() + std::ptrdiff_t(h->header_length), sent.end()),
              Bytes(file.begin() + std::ptrdiff_t(h->header_length), file.end()));
    // The queue file keeps its own copy.
    EXPECT_EQ(read_bytes(dir / "9.PUL"), file);
}

TEST_F(RealServerUpload, ContinuedFileCarriesItsNumberFromTheOffsetOn) {
    const Bytes file = upload_file(0, 700);
    write_bytes(dir / "2A.PUL", file);
    connect_and_login();
    ASSERT_EQ(u32(packets.back(), 2), 0x2Au);
    answer(go_packet(0x2A, 10)); // the server holds the first ten bytes
    take_data();
    // The same file built with the server's number: what went out from offset 10 on.
    const Bytes expected = upload_file(0x2A, 700);
    EXPECT_EQ(data_sent(), Bytes(expected.begin() + 10, expected.end()));
    EXPECT_EQ(read_bytes(dir / "2A.PUL"), file);
}

TEST_F(RealServerUpload, PacketsSplitAcrossAndMergedWithinIFrames) {
    write_bytes(dir / "MSG.OUT", upload_file(0, 300));
    take(client->on_bbs_status("Open ABCD", now));
    run_timers(now + LinkTime(2000));
    feed(peer.make(u_control(K::UA, true), false));
    // A login response with three bytes the client does not know, over three I frames.
    const Bytes login = packet(ftl0::kLoginResponse, cat(cat(le32(1'000'000'000), {1}), {7, 7, 7}));
    answer_in_pieces(login, {1, 4});
    EXPECT_TRUE(posted("PACSAT protocol server version 1"));
    ASSERT_EQ(client->state(), UploadClient::kAwaitCommandAnswer);
    // The go answer in one frame with the start of nothing else, then data end's answer later.
    answer(go_packet(0x31, 0));
    take_data();
    ASSERT_EQ(client->state(), UploadClient::kAwaitDataEndAnswer);
    // The acknowledgement and a second, stray login response in one I frame: the first is acted on.
    answer(cat(packet(ftl0::kUploadAck), login));
    EXPECT_TRUE(fs::exists(dir / "31.UL"));
    EXPECT_FALSE(posted("Unexpected packet during transfer"));
}

TEST_F(RealServerUpload, IFramesWithTheResponseBitAreNotDropped) {
    write_bytes(dir / "MSG.OUT", upload_file(0, 300));
    take(client->on_bbs_status("Open ABCD", now));
    run_timers(now + LinkTime(2000));
    feed(peer.make(u_control(K::UA, true), false));
    feed(peer.make(i_control(peer_vs, peer_vr, false), false, login_packet(1'000'000'000, 1)));
    peer_vs = (peer_vs + 1) & 7;
    EXPECT_TRUE(posted("PACSAT protocol server version 1"));
    EXPECT_EQ(client->state(), UploadClient::kAwaitCommandAnswer);
}

} // namespace
} // namespace orva::engine

// satsim in real-server mode against the bytes a server in service sent (a session heard by a
// station's TNC, with the three files it carried): the same requests give the same frames, byte
// for byte; and each quirk of such a server on its own: headers split without an E bit, NUL-ended
// texts, "OK"/"NO" answers with PID 0xBB to an SSID callsign, fixed chunks for any hole, reserved
// address bits clear, a longer login response, and uploads filed only under the number in their
// header, with number, upload time and checksum written in place.
#include "common/atomic_file.h"
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"
#include "engine/frames/ax25_frame.h"
#include "engine/frames/request_frames.h"
#include "engine/link/crc16.h"
#include "engine/link/kiss_decoder.h"
#include "engine/tests/upload_message.h"
#include "engine/upload/upload_client.h"
#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/ftl0/uploaded_file.h"
#include "cli/satsim/satellite.h"
#include "cli/satsim/served_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace orva::satsim {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using engine::Ax25Address;

const fs::path kReal = fs::path(ORVA_SOURCE_DIR) / "testbed" / "data" / "real-server";

std::uint32_t le32(const Bytes& b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

struct Collect : engine::KissSink {
    std::vector<Bytes> frames;
    void on_kiss_frame(std::uint8_t port, std::span<const std::uint8_t> frame) override
    {
        if (port == 0)
            frames.emplace_back(frame.begin(), frame.end());
    }
};

std::vector<Bytes> session_frames()
{
    auto bytes = read_file(kReal / "session.kiss");
    EXPECT_TRUE(bytes);
    Collect c;
    engine::KissDecoder decoder;
    decoder.feed(*bytes, c);
    return c.frames;
}

// Raw fields, read by offset so that nothing of the ground station's decoders is assumed.
std::string dest_call(const Bytes& f) { return Ax25Address::from_wire(std::span<const std::uint8_t, 7>(f.data(), 7)).callsign(); }
std::uint8_t pid(const Bytes& f) { return f[15]; }
Bytes info(const Bytes& f) { return Bytes(f.begin() + 16, f.end()); }
bool is_dir(const Bytes& f) { return dest_call(f) == "QST" && pid(f) == 0xBD; }
bool is_file(const Bytes& f) { return dest_call(f) == "QST" && pid(f) == 0xBB; }

class RealServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The three files as the server held them; their headers give numbers and upload times.
        fs::create_directories(folder);
        for (const char* name : {"file-6.bin", "file-7.bin", "file-8.bin"})
            fs::copy_file(kReal / name, folder / name);
        auto files = load_folder(folder, 2'000'000'000);
        ASSERT_TRUE(files);
        served = std::move(*files);
        config.real_server = true;
        config.bdcst_call = "XY2ZZ-11";
        config.bbs_call = "XY2ZZ-12";
        config.bytes_per_second = 1200;
        config.dir_fragment = 244; // these headers fit one frame, as they did from the server
    }
    void TearDown() override { fs::remove_all(root); }

    Bytes request(const char* from, std::uint8_t pid, const Bytes& info) const
    {
        return engine::build_ui_frame(*Ax25Address::parse(config.bdcst_call), *Ax25Address::parse(from), 1, pid, info);
    }
    std::vector<Frame> run(Satellite& sat, std::uint64_t from, std::uint64_t to)
    {
        std::vector<Frame> all;
        for (std::uint64_t t = from; t <= to; t += 100)
            for (auto& f : sat.poll(t))
                all.push_back(std::move(f));
        return all;
    }

    fs::path root = fs::temp_directory_path() / ("satsim-real-" + std::to_string(::getpid()) + "-" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::path folder = root / "served";
    std::vector<ServedFile> served;
    SatelliteConfig config;
};

TEST_F(RealServer, AnswersTheRecordedRequestsWithTheRecordedFrames)
{
    const auto heard = session_frames();
    ASSERT_EQ(heard.size(), 54u);
    std::set<Bytes> real_frames(heard.begin(), heard.end());

    Satellite sat(config, served);
    const engine::DirectoryHoleRequest whole[] = {{0, 0xFFFFFFFF}};
    std::vector<Frame> ours;
    std::uint64_t t = 0;
    auto ask = [&](std::uint8_t p, const Bytes& i) {
        sat.on_uplink_frame(request("TEST1", p, i), t);
        for (auto& f : run(sat, t, t + 20000))
            ours.push_back(std::move(f));
        t += 20100;
    };
    ask(0xBD, engine::directory_request(244, whole));
    for (std::uint32_t fn : {8u, 7u, 6u})
        ask(0xBB, engine::file_request_whole(fn, 244));

    // Every answer, directory entry, file chunk and queue line the server sent, satsim sends too.
    std::map<std::string, int> kinds;
    for (const Bytes& f : ours) {
        if (dest_call(f) == "TLM" || dest_call(f) == "STATUS")
            continue; // this server sent neither in the recording
        if (dest_call(f) == "PBLIST" && info(f) != Bytes{'P', 'B', ' ', 'E', 'm', 'p', 't', 'y', 0}) {
            // The recording never caught the queue with anyone in it.
            EXPECT_EQ(info(f), (Bytes{'P', 'B', ':', ' ', 'T', 'E', 'S', 'T', '1', '\\', 'D', 0}));
            continue;
        }
        EXPECT_TRUE(real_frames.count(f)) << "satsim frame to " << dest_call(f) << " with PID " << int(pid(f))
                                          << " and " << f.size() << " bytes is not among the server's";
        ++kinds[dest_call(f) + "/" + std::to_string(pid(f))];
    }
    EXPECT_EQ(kinds["TEST1/187"], 4);  // "OK TEST1\r" for the directory and each file
    EXPECT_EQ(kinds["QST/189"], 3);    // one header per frame, E bit, no N bit
    EXPECT_EQ(kinds["QST/187"], 3 + 2 + 3);
    EXPECT_GT(kinds["PBLIST/240"], 0);
    // And the other way round: each distinct broadcast and answer of the server came from satsim.
    std::set<Bytes> mine(ours.begin(), ours.end());
    for (const Bytes& f : real_frames) {
        if (dest_call(f) != "BBSTAT") {
            EXPECT_TRUE(mine.count(f)) << "server frame to " << dest_call(f) << " (" << f.size() << " bytes) missing";
        }
    }
}

TEST_F(RealServer, BbsStatusLineIsTheServersOwn)
{
    Ftl0ServerConfig c;
    c.real_server = true;
    c.bbs_call = "XY2ZZ-12";
    c.folder = folder;
    Ftl0Server server(c);
    const auto out = server.poll(0);
    ASSERT_EQ(out.size(), 1u);
    bool found = false;
    for (const Bytes& f : session_frames())
        found = found || (dest_call(f) == "BBSTAT" && f == out[0]);
    EXPECT_TRUE(found) << std::string(out[0].begin() + 16, out[0].end());
}

TEST_F(RealServer, LongHeaderGoesOutInThreePiecesNoneMarkedLast)
{
    config.dir_fragment = 64;
    Satellite sat(config, served);
    const engine::DirectoryHoleRequest hole[] = {{0, 0xFFFFFFFF}};
    sat.on_uplink_frame(request("TEST1", 0xBD, engine::directory_request(244, hole)), 0);
    std::map<std::uint32_t, std::map<std::uint32_t, Bytes>> pieces; // file -> offset -> bytes
    for (const Bytes& f : run(sat, 0, 20000)) {
        if (!is_dir(f))
            continue;
        const Bytes i = info(f);
        EXPECT_EQ(engine::crc16_xmodem(i), 0);
        EXPECT_EQ(i[0] & 0x40, 0) << "N bit set";
        EXPECT_EQ(i[0] & 0x20, 0) << "E bit on a header that needed several frames";
        pieces[le32(i, 1)][le32(i, 5)] = Bytes(i.begin() + 17, i.end() - 2);
    }
    ASSERT_EQ(pieces.size(), 3u);
    for (const ServedFile& s : served) {
        ASSERT_EQ(pieces[s.file_number].size(), 3u) << s.file_number; // 170-odd bytes in 64-byte pieces
        Bytes joined;
        for (const auto& [offset, bytes] : pieces[s.file_number]) {
            EXPECT_EQ(offset, joined.size());
            joined.insert(joined.end(), bytes.begin(), bytes.end());
        }
        EXPECT_EQ(joined, Bytes(s.bytes.begin(), s.bytes.begin() + std::ptrdiff_t(s.header_length)));
        EXPECT_TRUE(pfh::parse_pfh(joined));
    }
}

TEST_F(RealServer, AnswersAnSsidCallsignWithPidBbAndClearReservedBits)
{
    Satellite sat(config, served);
    sat.on_uplink_frame(request("G0ABC-3", 0xBB, engine::file_request_whole(0x999, 244)), 0);
    sat.on_uplink_frame(request("G0ABC-3", 0xBB, engine::file_request_whole(7, 244)), 0);
    std::vector<std::string> answers;
    for (const Bytes& f : run(sat, 0, 10000)) {
        // Every address byte of every frame: reserved bits clear, neither command nor response.
        EXPECT_EQ(f[6] & 0xE0, 0);
        EXPECT_EQ(f[13] & 0xE0, 0);
        EXPECT_EQ(f[13] & 1, 1);
        if (dest_call(f) == "G0ABC") {
            EXPECT_EQ((f[6] >> 1) & 0x0F, 3);
            EXPECT_EQ(pid(f), 0xBB);
            answers.emplace_back(f.begin() + 16, f.end());
        }
        if (dest_call(f) == "PBLIST") {
            const Bytes i = info(f);
            ASSERT_FALSE(i.empty());
            EXPECT_EQ(i.back(), 0) << "queue line without its NUL";
        }
    }
    EXPECT_EQ(answers, (std::vector<std::string>{"NO -2 G0ABC-3\r", "OK G0ABC-3\r"}));
    EXPECT_EQ(sat.counters().refused, 1u);
    EXPECT_EQ(sat.counters().answered_ok, 1u);
}

TEST_F(RealServer, HoleFillsComeInFixedChunksWithFileTypeZero)
{
    Satellite sat(config, served);
    const ServedFile& f8 = *std::find_if(served.begin(), served.end(), [](const ServedFile& f) { return f.file_number == 8; });
    const engine::FileHoleRequest holes[] = {{10, 20}, {300, 400}};
    sat.on_uplink_frame(request("TEST1", 0xBB, engine::file_request_holes(8, 100, holes)), 0);
    std::vector<std::pair<std::uint32_t, Bytes>> chunks;
    for (const Bytes& f : run(sat, 0, 20000)) {
        if (!is_file(f))
            continue;
        const Bytes i = info(f);
        EXPECT_EQ(engine::crc16_xmodem(i), 0);
        EXPECT_EQ(i[0] & ~0x20, 0);
        EXPECT_EQ(i[5], 0) << "file type";
        const std::uint32_t offset = std::uint32_t(i[6] | i[7] << 8 | i[8] << 16);
        chunks.emplace_back(offset, Bytes(i.begin() + 9, i.end() - 2));
        EXPECT_EQ((i[0] & 0x20) != 0, offset + chunks.back().second.size() == f8.bytes.size());
    }
    // 20 bytes asked at 10: one whole chunk; 400 at 300: chunks of 191 to the end of the 515-byte file.
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].first, 10u);
    EXPECT_EQ(chunks[0].second.size(), kRealServerChunk);
    EXPECT_EQ(chunks[1].first, 300u);
    EXPECT_EQ(chunks[1].second.size(), kRealServerChunk);
    EXPECT_EQ(chunks[2].first, 491u);
    EXPECT_EQ(chunks[2].second.size(), 515u - 491u);
    for (const auto& [offset, bytes] : chunks)
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), f8.bytes.begin() + offset));
}

TEST_F(RealServer, AnAnswerGoesOutAheadOfTheBroadcastsAlreadyQueued)
{
    // A station's request is answered as the server hears it: a station that hears no answer
    // can tell its request was lost without waiting for the broadcast before it to end.
    Satellite sat(config, served);
    sat.on_uplink_frame(request("TEST1", 0xBB, engine::file_request_whole(8, 244)), 0);
    std::vector<Frame> frames = run(sat, 0, 300); // the answer and the first chunk or so
    sat.on_uplink_frame(request("W1AW", 0xBB, engine::file_request_whole(6, 244)), 300);
    for (auto& f : run(sat, 400, 20000))
        frames.push_back(std::move(f));
    std::vector<std::string> order;
    for (const Bytes& f : frames) {
        if (is_file(f))
            order.push_back("file " + std::to_string(info(f)[1]));
        else if (pid(f) == 0xBB)
            order.push_back("answer " + dest_call(f));
    }
    const std::vector<std::string> expected{"answer TEST1", "file 8", "answer W1AW", "file 8", "file 8",
                                            "file 6", "file 6", "file 6"};
    EXPECT_EQ(order, expected);
}

// A bare FTL0 client, enough to log in and upload one file with one frame per packet.
class RawUpload {
public:
    explicit RawUpload(Ftl0Server& server, std::string call = "G0ABC-3") : server_(server), call_(std::move(call)) {}
    Bytes frame(std::uint8_t control, const Bytes& info, bool with_pid)
    {
        Bytes f;
        const auto d = Ax25Address::parse("XY2ZZ-12")->wire(true, false);
        const auto s = Ax25Address::parse(call_)->wire(false, true);
        f.insert(f.end(), d.begin(), d.end());
        f.insert(f.end(), s.begin(), s.end());
        f.push_back(control);
        if (with_pid)
            f.push_back(0xF0);
        f.insert(f.end(), info.begin(), info.end());
        return f;
    }
    // Sends one FTL0 packet in an I frame and returns the server's packets that follow.
    std::vector<Bytes> send(std::uint8_t type, const Bytes& data)
    {
        Bytes p{std::uint8_t(data.size()), std::uint8_t(type | ((data.size() >> 3) & 0xE0))};
        p.insert(p.end(), data.begin(), data.end());
        server_.on_uplink_frame(frame(std::uint8_t(vr_ << 5 | ns_ << 1), p, true), t_);
        ns_ = (ns_ + 1) & 7;
        return collect();
    }
    std::vector<Bytes> connect()
    {
        server_.on_uplink_frame(frame(0x3F, {}, false), t_);
        return collect();
    }
    std::vector<Bytes> collect()
    {
        std::vector<Bytes> packets;
        t_ += 100;
        for (const Bytes& f : server_.poll(t_)) {
            for (std::size_t at = 6; at < 14; at += 7)
                EXPECT_EQ(f[at] & 0x60, 0) << "reserved bits set";
            if (Ax25Address::from_wire(std::span<const std::uint8_t, 7>(f.data(), 7)) != *Ax25Address::parse(call_))
                continue;
            if ((f[14] & 1) == 0) { // I frame: take the packet and acknowledge it
                packets.emplace_back(f.begin() + 16, f.end());
                vr_ = (vr_ + 1) & 7;
                server_.on_uplink_frame(frame(std::uint8_t(vr_ << 5 | 0x01), {}, false), t_);
            }
        }
        return packets;
    }

private:
    Ftl0Server& server_;
    std::string call_;
    std::uint64_t t_ = 0;
    int vr_ = 0, ns_ = 0;
};

Bytes u32(std::uint32_t a, std::uint32_t b)
{
    Bytes d;
    for (std::uint32_t x : {a, b})
        for (int i = 0; i < 4; ++i)
            d.push_back(std::uint8_t(x >> (8 * i)));
    return d;
}

const std::string kMessageBody = "A message that goes up.\r\n";

// A message as the composer queues it, from the station "G0ABC-3" of RawUpload.
Bytes message(std::uint32_t number)
{
    const Bytes queued = engine::test::upload_message(Bytes(kMessageBody.begin(), kMessageBody.end()), "G0ABC-3", "Hello");
    return number ? engine::test::numbered_upload(queued, number) : queued;
}

TEST_F(RealServer, UploadIsFiledOnlyUnderTheNumberTheGoAnswerGave)
{
    Ftl0ServerConfig c;
    c.real_server = true;
    c.bbs_call = "XY2ZZ-12";
    c.folder = folder;
    c.first_number = 9;
    c.epoch = 1'800'000'000;
    Ftl0Server server(c);
    RawUpload up(server);
    const auto login = up.connect();
    ASSERT_EQ(login.size(), 1u);
    EXPECT_EQ(login[0][1] & 0x1F, 2);
    EXPECT_GT(login[0][0], 5) << "the login response carries fields past the flags";
    EXPECT_EQ(login[0].size(), std::size_t(2 + login[0][0]));

    // A header still saying file number 0 cannot be filed: refused with the bad-header code.
    const Bytes zero = message(0);
    auto go = up.send(3, u32(0, std::uint32_t(zero.size())));
    ASSERT_EQ(go.size(), 1u);
    ASSERT_EQ(go[0][1] & 0x1F, 4);
    EXPECT_EQ(le32(go[0], 2), 9u);
    EXPECT_TRUE(up.send(0, zero).empty());
    auto nak = up.send(1, {});
    ASSERT_EQ(nak.size(), 1u);
    EXPECT_EQ(nak[0][1] & 0x1F, 7);
    EXPECT_EQ(nak[0][2], 14);
    EXPECT_EQ(server.counters().header_refusals, 1u);
    EXPECT_FALSE(fs::exists(folder / "9.UPL"));

    // The same message with the number given: filed under it.
    go = up.send(3, u32(0, std::uint32_t(zero.size())));
    ASSERT_EQ(go.size(), 1u);
    const std::uint32_t given = le32(go[0], 2);
    EXPECT_EQ(given, 10u);
    const Bytes numbered = message(given);
    ASSERT_EQ(numbered.size(), zero.size());
    up.send(0, numbered);
    auto ack = up.send(1, {});
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0][1] & 0x1F, 6);
    EXPECT_EQ(server.counters().uploads_done, 1u);
    auto filed = read_file(folder / "A.UPL");
    ASSERT_TRUE(filed);
    // Filed in place: the upload time written at 82 plus the source's length, the sum made again;
    // nothing else changed.
    auto held = pfh::parse_pfh(*filed);
    ASSERT_TRUE(held) << held.error().message;
    EXPECT_EQ(held->file_number, 10u);
    EXPECT_EQ(held->upload_time, c.epoch);
    ASSERT_EQ(filed->size(), numbered.size());
    for (std::size_t i = 0; i < numbered.size(); ++i)
        if ((*filed)[i] != numbered[i]) {
            EXPECT_TRUE((i >= 92 && i < 96) || i == 63 || i == 64) << "byte " << i << " changed";
        }
}

// The header the suite used to write, as the station sent it (source "TEST1"): the
// mandatory items without 6 and 7, in id order.
Bytes old_layout_message()
{
    pfh::PfhHeader h;
    h.file_number = 0;
    h.file_name = "65A1B2C3";
    h.file_ext = "TXT";
    h.create_time = 0x65A1B2C3;
    h.file_type = 0;
    h.source = "TEST1";
    h.ax25_uploader = "TEST1 ";
    h.upload_time = 0;
    h.download_count = 0;
    h.destination = "ALL";
    h.expire_time = 0x65A1B2C3 + 2 * 86400;
    h.compression_type = 0;
    h.title = "Hello";
    return pfh::build_pfh_file(h, Bytes(kMessageBody.begin(), kMessageBody.end()));
}

// What a server in service made of that header, byte for byte where the issue names the bytes; and
// the station's upload client refuses to send such a file at all.
TEST_F(RealServer, UploadOutOfLayoutIsFiledBrokenAndTheStationHoldsItBack)
{
    Ftl0ServerConfig c;
    c.real_server = true;
    c.bbs_call = "XY2ZZ-12";
    c.folder = folder;
    c.first_number = 0x2A;
    c.epoch = 0x6B1A17B2; // the upload time, as the server writes it
    Ftl0Server server(c);
    RawUpload up(server, "TEST1");
    ASSERT_EQ(up.connect().size(), 1u);
    const Bytes queued = old_layout_message();
    auto go = up.send(3, u32(0, std::uint32_t(queued.size())));
    ASSERT_EQ(go.size(), 1u);
    ASSERT_EQ(le32(go[0], 2), 0x2Au);
    // The station's stamp: the number in item 1, item 10 summed again. A valid header still.
    Bytes sent = queued;
    sent[5] = 0x2A;
    auto sum = pfh::compute_header_checksum(sent);
    ASSERT_TRUE(sum);
    sent[52] = std::uint8_t(*sum); // item 10 of this layout is at byte 49
    sent[53] = std::uint8_t(*sum >> 8);
    ASSERT_TRUE(pfh::parse_pfh(sent)) << "what the station sent parses";
    up.send(0, sent);
    auto ack = up.send(1, {});
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0][1] & 0x1F, 6) << "accepted, as the issue's server did";

    auto filed = read_file(folder / "2A.UPL");
    ASSERT_TRUE(filed);
    // The source item (59: id, length 5, "TEST1") took the checksum's two bytes at 63 and 64.
    EXPECT_EQ((*filed)[61], 5);
    EXPECT_EQ((*filed)[62], 'T');
    EXPECT_EQ((*filed)[65], 'T');
    EXPECT_EQ((*filed)[66], '1');
    EXPECT_NE(Bytes(filed->begin() + 63, filed->begin() + 65), Bytes({'E', 'S'}));
    // The destination (87: id, length 3, "ALL") took the upload time's low three bytes, and the
    // next item's id its high byte: an item 0x6B.
    EXPECT_EQ((*filed)[89], 3);
    EXPECT_EQ(Bytes(filed->begin() + 90, filed->begin() + 94), (Bytes{0xB2, 0x17, 0x1A, 0x6B}));
    // Its header checksum no longer holds: every directory reader drops the entry.
    auto parsed = pfh::parse_pfh(*filed);
    ASSERT_FALSE(parsed);
    EXPECT_NE(parsed.error().message.find("checksum"), std::string::npos) << parsed.error().message;

    // Broadcast as the server holds it, in its directory and as the file itself.
    auto served_file = served_upload(server.take_finished().at(0), c.epoch);
    ASSERT_TRUE(served_file);
    EXPECT_EQ(served_file->bytes, *filed);
    Satellite sat(config, {});
    sat.add_file(*served_file);
    const engine::DirectoryHoleRequest whole[] = {{0, 0xFFFFFFFF}};
    sat.on_uplink_frame(request("TEST1", 0xBD, engine::directory_request(244, whole)), 0);
    std::size_t entries = 0;
    for (const Frame& f : run(sat, 0, 5000)) {
        if (!is_dir(f))
            continue;
        const Bytes i = info(f);
        const Bytes header(i.begin() + 17, i.end() - 2);
        EXPECT_FALSE(pfh::parse_pfh(header)) << "a directory entry that a station could file";
        ++entries;
    }
    EXPECT_EQ(entries, 1u);

    // The station never offers it: no SABM, the file stays queued, the reason is said.
    const fs::path station = root / "station";
    fs::create_directories(station);
    ASSERT_TRUE(write_file_atomic(station / "65A1B2C3.OUT", queued));
    engine::UploadConfig uc;
    uc.my_call = *Ax25Address::parse("TEST1");
    uc.bbs_call = *Ax25Address::parse("XY2ZZ-12");
    uc.folder = station;
    uc.seed = 1;
    engine::UploadClient client(uc);
    engine::LinkTime now{1'000'000'000'000};
    auto out = client.on_bbs_status(std::string("Open: A\0", 8), now);
    out = client.poll(now + engine::LinkTime(5000));
    EXPECT_TRUE(out.frames.empty());
    EXPECT_FALSE(client.busy());
    EXPECT_NE(client.held().find("65A1B2C3.OUT not sent: upload header: byte 40 holds item 0x08"), std::string::npos)
        << client.held();
    EXPECT_TRUE(fs::exists(station / "65A1B2C3.OUT"));
}

} // namespace
} // namespace orva::satsim

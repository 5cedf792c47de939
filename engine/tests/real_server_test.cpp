// Reception against what PACSAT servers in service send: the captured session of one replayed
// through the engine, and each of their habits on its own (no newest-file flag, no end bit on
// the last fragment of a long header, NUL-ended texts, "OK" answers with PID 0xBB, data frames
// with flags 0, chunks larger than asked, address bytes with the reserved bits clear).
#include "engine/app/reception_engine.h"
#include "engine/directory/header_assembler.h"
#include "engine/directory/status_codes.h"
#include "engine/files/file_receiver.h"
#include "engine/frames/ax25_frame.h"
#include "engine/link/crc16.h"
#include "engine/link/kiss_encoder.h"
#include "engine/requests/request_scheduler.h"
#include "engine/tests/reception_test_util.h"

#include <map>
#include <set>

namespace orva::engine {
namespace {

using test::Bytes;

const std::filesystem::path kRealServer = std::filesystem::path(ORVA_SOURCE_DIR) / "testbed" / "data" / "real-server";
// Ten minutes after the newest upload in the captured session.
constexpr std::uint64_t kStart = (0x6B195346ull + 600) * 1000; // ms

// The KISS frames of a capture, each still KISS-encoded.
std::vector<Bytes> kiss_frames(const Bytes& stream)
{
    std::vector<Bytes> out;
    Bytes cur;
    for (std::uint8_t b : stream) {
        if (b == 0xC0) {
            if (!cur.empty()) {
                cur.insert(cur.begin(), 0xC0);
                cur.push_back(0xC0);
                out.push_back(cur);
                cur.clear();
            }
            continue;
        }
        cur.push_back(b);
    }
    return out;
}

// The AX.25 frame inside one KISS frame (escapes undone, command byte dropped).
Bytes unkiss(const Bytes& k)
{
    Bytes f;
    for (std::size_t i = 2; i + 1 < k.size(); ++i) {
        if (k[i] == 0xDB && i + 2 < k.size()) {
            f.push_back(k[i + 1] == 0xDC ? 0xC0 : 0xDB);
            ++i;
        } else {
            f.push_back(k[i]);
        }
    }
    return f;
}

struct Out : ReceptionOutput {
    std::vector<Bytes> frames; // AX.25 frames sent
    test::Lines lines;
    std::vector<Bytes> headers;
    Bytes last_raw;
    void write_bytes(std::span<const std::uint8_t> bytes) override
    {
        last_raw.assign(bytes.begin(), bytes.end());
        if (bytes.size() > 3 && bytes[0] == 0xC0 && bytes[1] == 0x00)
            frames.push_back(unkiss(Bytes(bytes.begin(), bytes.end())));
    }
    void post(const std::string& text, LineColour colour) override { lines.post(text, colour); }
    void on_header_stored(std::span<const std::uint8_t> h) override { headers.emplace_back(h.begin(), h.end()); }
    int sent_with_pid(std::uint8_t pid) const
    {
        int n = 0;
        for (const auto& f : frames)
            if (auto p = parse_ax25_frame(f); p && p->pid == pid)
                ++n;
        return n;
    }
};

struct RealServer : ::testing::Test {
    test::TempFolder dir;
    Out out;
    std::unique_ptr<ReceptionEngine> engine;
    std::uint64_t now = kStart;
    std::vector<Bytes> capture = kiss_frames(test::read_bytes(kRealServer / "session.kiss"));

    void SetUp() override
    {
        ASSERT_GT(capture.size(), 50u) << "the captured session is missing";
        ReceptionConfig c;
        c.folder = dir.path();
        c.my_call = "TEST1";
        c.bbs_call = "XY2ZZ-12";
        c.bdcst_call = "XY2ZZ-11";
        c.seed = 7;
        engine = std::make_unique<ReceptionEngine>(c, out);
        ASSERT_TRUE(engine->open(now));
    }
    void feed(const Bytes& b) { engine->feed(b, now); }
    void advance(std::uint64_t ms)
    {
        const std::uint64_t end = now + ms;
        while (now < end) {
            now = std::min(end, std::max(now + 1, engine->next_deadline()));
            engine->poll(now);
        }
    }
    // The captured frames whose AX.25 form passes `keep`.
    template <class Keep>
    std::vector<Bytes> captured(Keep keep) const
    {
        std::vector<Bytes> out;
        for (const auto& k : capture) {
            const Bytes f = unkiss(k);
            if (auto p = parse_ax25_frame(f); p && keep(*p))
                out.push_back(k);
        }
        return out;
    }
    static bool directory_broadcast(const Ax25Frame& f) { return f.pid == 0xBD; }
    static bool ok_answer(const Ax25Frame& f)
    {
        return f.destination.callsign() == "TEST1" && f.info.size() >= 2 && f.info[0] == 'O' && f.info[1] == 'K';
    }
};

TEST_F(RealServer, ReplayedSessionGivesItsDirectoryAndFilesByteIdentical)
{
    std::set<std::uint32_t> marked;
    for (const auto& k : capture) {
        feed(k);
        // The station asked for every file it saw listed.
        for (std::uint32_t fn : {6u, 7u, 8u})
            if (!marked.count(fn) && engine->directory().get_download_status(fn).value_or(0) != 0) {
                engine->directory().set_download_status(fn, kCodePriority, true);
                marked.insert(fn);
            }
        advance(1500);
    }
    for (std::uint32_t fn : {6u, 7u, 8u})
        EXPECT_EQ(engine->directory().get_download_status(fn), kCodeDownloaded) << fn;
    engine->close(now);

    EXPECT_EQ(marked.size(), 3u);
    EXPECT_EQ(engine->directory().counters().headers, 3u) << "each entry stored once";
    EXPECT_EQ(engine->directory().counters().checksum_errors, 0u);
    ASSERT_EQ(out.headers.size(), 3u);
    // The directory file holds the three headers, exactly as they head the files.
    Bytes pfh_file;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        if (e.path().extension() == ".PFH") {
            const Bytes b = test::read_bytes(e.path());
            pfh_file.insert(pfh_file.end(), b.begin(), b.end());
        }
    Bytes expected_pfh;
    for (std::uint32_t fn : {6u, 7u, 8u}) {
        const Bytes file = test::read_bytes(kRealServer / ("file-" + std::to_string(fn) + ".bin"));
        auto h = pfh::parse_pfh(file);
        ASSERT_TRUE(h) << fn;
        expected_pfh.insert(expected_pfh.end(), file.begin(), file.begin() + std::ptrdiff_t(h->header_length));
        EXPECT_EQ(test::read_bytes(dir / (std::to_string(fn) + ".DL")), file) << "file " << fn;
    }
    EXPECT_EQ(pfh_file, expected_pfh);
    // The NUL-ended queue lines read as empty; nothing in the session was an error.
    for (const auto& l : out.lines.lines)
        EXPECT_EQ(l.find("error"), std::string::npos) << l;
    EXPECT_GT(engine->dispatcher().counters().trailing_nul, 10u);
    EXPECT_GT(engine->dispatcher().counters().reserved_bits_clear, 10u);
}

TEST_F(RealServer, DirectoryIsUpToDateWithoutTheNewestFlagAndFilesFollow)
{
    // A file the station wants, but not above "Dir Priority": it waits for the directory.
    for (const auto& k : captured(directory_broadcast))
        feed(k);
    ASSERT_EQ(engine->directory().holes().count(), 1u);
    EXPECT_FALSE(engine->directory().complete()) << "no newest flag was heard";
    engine->directory().set_download_status(7, kCodeAuto3, true);

    // The scheduler asks for the directory; the server answers OK, repeats what it has.
    engine->scheduler().queue_manual_request(0);
    advance(100);
    ASSERT_EQ(out.sent_with_pid(0xBD), 1);
    const Bytes ok = captured(ok_answer).front();
    feed(ok);
    for (const auto& k : captured(directory_broadcast))
        feed(k);
    advance(5000);
    EXPECT_FALSE(engine->directory().complete()) << "too soon after the answer";
    // Quiet for ten seconds: asked once more, as the headers of that answer could have been lost.
    const int asked = out.sent_with_pid(0xBD);
    advance(8000);
    EXPECT_FALSE(engine->directory().complete()) << "one quiet answer made it up to date";
    ASSERT_EQ(out.sent_with_pid(0xBD), asked + 1);
    feed(ok);
    advance(9000);
    EXPECT_FALSE(engine->directory().complete()) << "too soon after the second answer";
    advance(2000);
    ASSERT_TRUE(engine->directory().complete());
    EXPECT_EQ(engine->directory().status_text(), "DIR <Up to Date>");
    // At once the request logic goes on to the file.
    EXPECT_EQ(engine->scheduler().requested_file(), 7u);
    auto last = parse_ax25_frame(out.frames.back());
    ASSERT_TRUE(last);
    EXPECT_EQ(*last->pid, 0xBB);

    // Queue lines keep coming, the file is refused by nobody: no more directory fills.
    const int directory_fills = out.sent_with_pid(0xBD);
    engine->scheduler().on_file_complete(7);
    for (int i = 0; i < 20; ++i) {
        const std::string pb = std::string("PB Empty") + '\0';
        feed(encode_kiss_frame(build_ui_frame(Ax25Address::fixed("PBLIST"), *Ax25Address::parse("XY2ZZ-11"), 0, 0xF0,
                                              Bytes(pb.begin(), pb.end())),
                               0, false));
        advance(10000);
    }
    EXPECT_EQ(out.sent_with_pid(0xBD), directory_fills);

    // Something new is heard: a header newer than all held. The directory is no longer known to
    // be complete, and the next fill asks for it again.
    auto h = test::header_for(9, "New one");
    const Bytes hb = pfh::build_pfh(h);
    Bytes d{0x20};
    for (std::uint32_t v : {9u, 0u, 0x6B195400u, 0x6B195400u})
        for (int i = 0; i < 4; ++i)
            d.push_back(std::uint8_t(v >> (8 * i)));
    d.insert(d.end(), hb.begin(), hb.end());
    const std::uint16_t c = crc16_xmodem(d);
    d.push_back(std::uint8_t(c >> 8));
    d.push_back(std::uint8_t(c));
    feed(encode_kiss_frame(build_ui_frame(Ax25Address::fixed("QST", 1), *Ax25Address::parse("XY2ZZ-11"), 0, 0xBD, d), 0,
                           false));
    EXPECT_FALSE(engine->directory().complete());
    engine->scheduler().run(now / 1000);
    EXPECT_EQ(out.sent_with_pid(0xBD), directory_fills + 1);
}

TEST_F(RealServer, OnlyAnOkToAFillAskedAfterTheNewestHeaderMakesTheDirectoryUpToDate)
{
    // The first fill's answer: "OK", then headers new to the station. The server may hold more
    // than it sent, so the quiet after it proves nothing.
    engine->scheduler().queue_manual_request(0);
    advance(100);
    const Bytes ok = captured(ok_answer).front();
    feed(ok);
    for (const auto& k : captured(directory_broadcast))
        feed(k);
    ASSERT_EQ(engine->directory().counters().headers, 3u);
    // No queue line comes: the silence after the answer brings the next fill by itself.
    advance(12000);
    EXPECT_FALSE(engine->directory().complete()) << "the first answer's quiet made it up to date";
    const int asked = out.sent_with_pid(0xBD);
    ASSERT_GE(asked, 2);

    // Asked beyond the newest header, answered, and nothing new: ten seconds later asked once
    // more, not put off by another answer meanwhile; the second quiet answer makes it up to date.
    feed(ok);
    advance(5000);
    engine->scheduler().queue_manual_request(0);
    advance(100);
    feed(ok);
    EXPECT_EQ(out.sent_with_pid(0xBD), asked + 1);
    advance(4000);
    EXPECT_EQ(out.sent_with_pid(0xBD), asked + 1) << "asked again before ten quiet seconds";
    advance(4000);
    EXPECT_FALSE(engine->directory().complete()) << "one quiet answer made it up to date";
    ASSERT_GT(out.sent_with_pid(0xBD), asked + 1);
    feed(ok);
    advance(9000);
    EXPECT_FALSE(engine->directory().complete()) << "too soon";
    advance(1500);
    EXPECT_TRUE(engine->directory().complete());
}

TEST_F(RealServer, AnOkToAFileRequestDoesNotCompleteTheDirectory)
{
    for (const auto& k : captured(directory_broadcast))
        feed(k);
    engine->scheduler().queue_manual_request(8);
    advance(100);
    feed(captured(ok_answer).front());
    advance(60000);
    EXPECT_FALSE(engine->directory().complete());
    EXPECT_TRUE(out.lines.has("OK TEST1"));
    EXPECT_FALSE(out.lines.has("Unknown response."));
}

TEST_F(RealServer, NoAnswerFromTheServerIsAnErrorForItsCallsign)
{
    // "NO -2 TEST1" with PID 0xBB, as the server sends it.
    const std::string no = "NO -2 TEST1\r";
    engine->scheduler().queue_manual_request(0x55);
    advance(100);
    feed(encode_kiss_frame(build_ui_frame(*Ax25Address::parse("TEST1"), *Ax25Address::parse("XY2ZZ-11"), 0, 0xBB,
                                          Bytes(no.begin(), no.end())),
                           0, false));
    EXPECT_TRUE(out.lines.has("Requested file doesn't exist."));
    EXPECT_EQ(engine->scheduler().requested_file(), 0u);
}

TEST_F(RealServer, IncrementalCompletionEndsItsRequest)
{
    engine->directory().set_download_status(0x60, kCodeIncremental, true);
    engine->scheduler().queue_manual_request(0x60);
    advance(100);
    ASSERT_EQ(engine->scheduler().requested_file(), 0x60u);
    // The whole file in 191-byte chunks, flags 0 and file type 0, as the server sends it.
    const Bytes file = test::file_with_body(0x60, 400);
    for (std::size_t o = 0; o < file.size(); o += 191) {
        const std::size_t n = std::min<std::size_t>(191, file.size() - o);
        Bytes f{std::uint8_t(o + n == file.size() ? 0x20 : 0x00)};
        for (int i = 0; i < 4; ++i)
            f.push_back(std::uint8_t(0x60u >> (8 * i)));
        f.push_back(0);
        f.push_back(std::uint8_t(o));
        f.push_back(std::uint8_t(o >> 8));
        f.push_back(std::uint8_t(o >> 16));
        f.insert(f.end(), file.begin() + std::ptrdiff_t(o), file.begin() + std::ptrdiff_t(o + n));
        const std::uint16_t c = crc16_xmodem(f);
        f.push_back(std::uint8_t(c >> 8));
        f.push_back(std::uint8_t(c));
        feed(encode_kiss_frame(build_ui_frame(Ax25Address::fixed("QST", 1), *Ax25Address::parse("XY2ZZ-11"), 0, 0xBB, f),
                               0, false));
    }
    EXPECT_TRUE(out.lines.has("Incremental file 60 complete"));
    EXPECT_EQ(engine->scheduler().requested_file(), 0u) << "the request was never reset";
}

TEST(HeaderAssemblerWithoutEndBit, HeaderSplitOverThreeFramesCompletesAtItsTerminatingItem)
{
    const Bytes file = test::read_bytes(kRealServer / "file-6.bin");
    auto parsed = pfh::parse_pfh(file);
    ASSERT_TRUE(parsed);
    const Bytes header(file.begin(), file.begin() + std::ptrdiff_t(parsed->header_length));
    const std::size_t a = header.size() / 3, b = 2 * header.size() / 3;
    HeaderAssembler asm_;
    using Step = HeaderAssembler::Step;
    EXPECT_EQ(asm_.feed(test::dir_fragment(6, 0, std::span(header).first(a), false, 1, 2)), Step::Waiting);
    EXPECT_EQ(asm_.feed(test::dir_fragment(6, std::uint32_t(a), std::span(header).subspan(a, b - a), false, 1, 2)),
              Step::Waiting);
    EXPECT_EQ(asm_.feed(test::dir_fragment(6, std::uint32_t(b), std::span(header).subspan(b), false, 1, 2)),
              Step::Complete);
    EXPECT_EQ(Bytes(asm_.header().begin(), asm_.header().end()), header);
    // The same last fragment again, now with the end bit: nothing more to complete.
    EXPECT_EQ(asm_.feed(test::dir_fragment(6, std::uint32_t(b), std::span(header).subspan(b), true, 1, 2)),
              Step::Ignored);
    // With the end bit on the last fragment it completes there, once.
    EXPECT_EQ(asm_.feed(test::dir_fragment(6, 0, std::span(header).first(a), false, 1, 2)), Step::Waiting);
    EXPECT_EQ(asm_.feed(test::dir_fragment(6, std::uint32_t(a), std::span(header).subspan(a, b - a), false, 1, 2)),
              Step::Waiting);
    EXPECT_EQ(asm_.feed(test::dir_fragment(6, std::uint32_t(b), std::span(header).subspan(b), true, 1, 2)),
              Step::Complete);
    EXPECT_EQ(Bytes(asm_.header().begin(), asm_.header().end()), header);
}

TEST_F(RealServer, HeaderWithoutEndBitIsStoredOnceWhenTheEndBitLaterComes)
{
    const Bytes file = test::read_bytes(kRealServer / "file-8.bin");
    auto parsed = pfh::parse_pfh(file);
    ASSERT_TRUE(parsed);
    const Bytes header(file.begin(), file.begin() + std::ptrdiff_t(parsed->header_length));
    auto frame = [&](std::uint32_t offset, std::size_t n, bool end) {
        Bytes d{std::uint8_t(end ? 0x20 : 0)};
        for (std::uint32_t v : {8u, offset, 0u, 0x6B195346u})
            for (int i = 0; i < 4; ++i)
                d.push_back(std::uint8_t(v >> (8 * i)));
        d.insert(d.end(), header.begin() + offset, header.begin() + std::ptrdiff_t(offset + n));
        const std::uint16_t c = crc16_xmodem(d);
        d.push_back(std::uint8_t(c >> 8));
        d.push_back(std::uint8_t(c));
        return encode_kiss_frame(build_ui_frame(Ax25Address::fixed("QST", 1), *Ax25Address::parse("XY2ZZ-11"), 0, 0xBD, d),
                                 0, false);
    };
    const std::uint32_t third = std::uint32_t(header.size() / 3);
    feed(frame(0, third, false));
    feed(frame(third, third, false));
    feed(frame(2 * third, header.size() - 2 * third, false));
    EXPECT_EQ(engine->directory().counters().headers, 1u);
    ASSERT_EQ(out.headers.size(), 1u);
    EXPECT_EQ(out.headers[0], header);
    // A server that does set the end bit on the same header later: not stored twice.
    feed(frame(0, third, false));
    feed(frame(third, third, false));
    feed(frame(2 * third, header.size() - 2 * third, true));
    EXPECT_EQ(engine->directory().counters().headers, 1u);
}

TEST(RealServerQueueLines, NulEndedEmptyLineAndSsidCallsigns)
{
    // The dispatcher strips the NUL; what reaches the scheduler is "PB Empty".
    const auto empty = parse_queue_line("PB Empty", "TEST1");
    EXPECT_TRUE(empty.empty);
    EXPECT_EQ(empty.entries, 0);
    EXPECT_TRUE(parse_queue_line("PB: Empty.", "TEST1").empty);
    EXPECT_FALSE(parse_queue_line("PB: EMPTYB W1XYZ", "TEST1").empty);

    const auto q = parse_queue_line("PB: W1XYZ G0ABC-5\\D TEST1", "G0ABC-5");
    EXPECT_EQ(q.entries, 3);
    EXPECT_EQ(q.my_position, 1);
    EXPECT_TRUE(q.mine_is_directory);
    // Another SSID of the same callsign is another station.
    EXPECT_EQ(parse_queue_line("PB: G0ABC-6 G0ABC", "G0ABC-5").my_position, -1);
    EXPECT_EQ(parse_queue_line("PB: W1XYZ G0ABC", "G0ABC-0").my_position, 1);
}

struct RefusingPort : Out {
    bool refuse = false;
    std::size_t queued = 0;
    bool write_frame(std::span<const std::uint8_t> bytes) override
    {
        if (refuse)
            return false;
        write_bytes(bytes);
        return true;
    }
    std::size_t output_queued() override { return queued; }
};

TEST(TncWrites, AFrameThePortRefusedIsNotCountedAsSent)
{
    test::TempFolder dir;
    RefusingPort port;
    ReceptionConfig c;
    c.folder = dir.path();
    c.my_call = "TEST1";
    c.bbs_call = "XY2ZZ-12";
    c.bdcst_call = "XY2ZZ-11";
    c.requests.bdcst_custom = 1; // a directory request that went out is repeated
    c.seed = 1;
    ReceptionEngine engine(c, port);
    std::uint64_t now = kStart;
    ASSERT_TRUE(engine.open(now));
    port.refuse = true;
    engine.scheduler().queue_manual_request(0);
    now += 100;
    engine.poll(now);
    EXPECT_TRUE(port.frames.empty());
    EXPECT_FALSE(engine.scheduler().repeat()) << "a refused write counted as a request sent";
    port.refuse = false;
    engine.scheduler().queue_manual_request(0);
    now += 100;
    engine.poll(now);
    EXPECT_EQ(port.frames.size(), 1u);
    EXPECT_TRUE(engine.scheduler().repeat());
}

TEST(TncWrites, TxBufferCheckRefusesAFrameThatWouldOverfillTheOutput)
{
    test::TempFolder dir;
    RefusingPort port;
    ReceptionConfig c;
    c.folder = dir.path();
    c.my_call = "TEST1";
    c.bbs_call = "XY2ZZ-12";
    c.bdcst_call = "XY2ZZ-11";
    c.tx_buffer = 4096;
    c.seed = 1;
    ReceptionEngine engine(c, port);
    std::uint64_t now = kStart;
    ASSERT_TRUE(engine.open(now));
    port.queued = 4090;
    engine.scheduler().queue_manual_request(0);
    now += 100;
    engine.poll(now);
    EXPECT_TRUE(port.frames.empty());
    EXPECT_TRUE(port.lines.has("TX Buffer error. Increase the TX buffer size."));
    port.queued = 0;
    engine.scheduler().queue_manual_request(0);
    now += 100;
    engine.poll(now);
    EXPECT_EQ(port.frames.size(), 1u);
}

TEST(KissNotices, UnknownKissTypeAndSmackAreReported)
{
    test::TempFolder dir;
    Out out;
    ReceptionConfig c;
    c.folder = dir.path();
    c.my_call = "TEST1";
    c.bbs_call = "XY2ZZ-12";
    c.bdcst_call = "XY2ZZ-11";
    c.smack = true;
    ReceptionEngine engine(c, out);
    ASSERT_TRUE(engine.open(kStart));
    for (int i = 0; i < 6; ++i)
        engine.feed(Bytes{0xC0, 0x07, 0x01, 0x02, 0xC0}, kStart);
    EXPECT_TRUE(out.lines.has("Error - Unknown KISS data type 07"));
    // A SMACK frame: command 0x80, the frame, CRC-16 (ARC) low byte first.
    const Bytes pb = {'P', 'B', ' ', 'E', 'm', 'p', 't', 'y', 0};
    const auto ax = build_ui_frame(Ax25Address::fixed("PBLIST"), *Ax25Address::parse("XY2ZZ-11"), 0, 0xF0, pb);
    const Bytes k = encode_kiss_frame(ax, 0, true);
    engine.feed(k, kStart);
    EXPECT_TRUE(out.lines.has("TNC set for SMACK mode"));
    // From then on frames go out as SMACK.
    engine.scheduler().queue_manual_request(0);
    engine.poll(kStart + 100);
    ASSERT_GT(out.last_raw.size(), 2u);
    EXPECT_EQ(out.last_raw[1], 0x80);
}

struct SsidStation : ::testing::Test {
    test::TempFolder dir;
    Out out;
    std::unique_ptr<ReceptionEngine> engine;
    std::uint64_t now = kStart;
};

TEST_F(SsidStation, FindsItselfInTheQueueLine)
{
    ReceptionConfig c;
    c.folder = dir.path();
    c.my_call = "G0ABC-5";
    c.bbs_call = "XY2ZZ-12";
    c.bdcst_call = "XY2ZZ-11";
    c.seed = 3;
    c.requests.tail_action = 1; // at the tail of the queue: ask again at once
    engine = std::make_unique<ReceptionEngine>(c, out);
    ASSERT_TRUE(engine->open(now));
    engine->scheduler().queue_manual_request(0x42);
    now += 100;
    engine->poll(now);
    const auto sent = out.frames.size();
    // Our own entry at the end of the line after being elsewhere: the tail action asks again.
    auto line = [&](const std::string& text) {
        engine->feed(encode_kiss_frame(build_ui_frame(Ax25Address::fixed("PBLIST"), *Ax25Address::parse("XY2ZZ-11"), 0,
                                                      0xF0, Bytes(text.begin(), text.end())),
                                       0, false),
                     now);
    };
    line("PB: G0ABC-5 W1XYZ");
    line("PB: W1XYZ G0ABC-5");
    now += 50;
    engine->poll(now);
    EXPECT_GT(out.frames.size(), sent) << "the station did not find itself in the queue line";
}

TEST(FileSizeFromLongFragments, AFragmentOver256BytesDoesNotLoseTheHeaderSize)
{
    struct Status : DownloadStatus {
        std::map<std::uint32_t, int> codes;
        std::optional<int> get_download_status(std::uint32_t fn) override
        {
            auto it = codes.find(fn);
            return it == codes.end() ? std::nullopt : std::optional(it->second);
        }
        int set_download_status(std::uint32_t fn, int code, bool) override { return codes[fn] = code; }
    } status;
    struct Done : FileListener {
        int completed = 0;
        void on_file_complete(std::uint32_t, const std::filesystem::path&, std::uint32_t, bool) override { ++completed; }
    } done;
    test::TempFolder dir;
    FileSettings settings;
    settings.bdcst_frame = 300;
    FileReceiver rx(dir.path(), settings, status, [] { return std::uint64_t(1000); }, nullptr, &done);
    const Bytes file = test::file_with_body(0x77, 1000);
    // No end flag anywhere: only the size in the header can finish the file.
    for (std::uint32_t o = 0; o < file.size(); o += 300) {
        const std::uint32_t n = std::min<std::uint32_t>(300, std::uint32_t(file.size()) - o);
        rx.on_file_fragment(test::file_fragment(0x77, o, std::span(file).subspan(o, n)));
    }
    EXPECT_EQ(done.completed, 1);
    EXPECT_EQ(test::read_bytes(dir / "77.DL"), file);
}

} // namespace
} // namespace orva::engine

#include "engine/app/reception_engine.h"
#include "engine/directory/status_codes.h"
#include "engine/frames/ax25_frame.h"
#include "engine/link/crc16.h"
#include "engine/link/kiss_encoder.h"
#include "engine/tests/reception_test_util.h"

namespace orva::engine {
namespace {

using test::Bytes;

constexpr std::uint64_t kStart = 1'800'000'000'000ull; // ms

struct Out : ReceptionOutput {
    std::vector<Bytes> frames; // AX.25 frames sent, KISS removed
    std::vector<std::string> dispo;
    test::Lines lines;
    void write_bytes(std::span<const std::uint8_t> bytes) override
    {
        // Data frames start C0 00; the parameter block's frames have other commands.
        if (bytes.size() > 3 && bytes[0] == 0xC0 && bytes[1] == 0x00) {
            Bytes f;
            for (std::size_t i = 2; i + 1 < bytes.size(); ++i) {
                if (bytes[i] == 0xDB && i + 2 < bytes.size()) {
                    f.push_back(bytes[i + 1] == 0xDC ? 0xC0 : 0xDB);
                    ++i;
                } else {
                    f.push_back(bytes[i]);
                }
            }
            frames.push_back(f);
        }
    }
    void post(const std::string& text, LineColour colour) override { lines.post(text, colour); }
    void start_dispo(const std::string& file) override { dispo.push_back(file); }
};

void put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t(v >> (8 * i)));
}

Bytes kiss(const Ax25Address& to, const Ax25Address& from, std::uint8_t pid, Bytes info, bool crc)
{
    if (crc) {
        const std::uint16_t c = crc16_xmodem(info);
        info.push_back(std::uint8_t(c >> 8));
        info.push_back(std::uint8_t(c));
    }
    return encode_kiss_frame(build_ui_frame(to, from, 0, pid, info), 0, false);
}

struct EngineFixture : ::testing::Test {
    test::TempFolder dir;
    Out out;
    std::unique_ptr<ReceptionEngine> engine;
    std::uint64_t now = kStart;
    Ax25Address bdcst = *Ax25Address::parse("PACSAT-11");

    void SetUp() override
    {
        ReceptionConfig c;
        c.folder = dir.path();
        c.my_call = "N0CALL";
        c.bbs_call = "PACSAT-12";
        c.bdcst_call = "PACSAT-11";
        c.directory.ack_receipt = true;
        c.seed = 5;
        engine = std::make_unique<ReceptionEngine>(c, out);
        ASSERT_TRUE(engine->open(now));
    }
    void feed(const Bytes& b) { engine->feed(b, now); }
    void file(std::uint32_t fn, const Bytes& bytes)
    {
        for (std::uint32_t o = 0; o < bytes.size(); o += 200) {
            const std::uint32_t n = std::min<std::uint32_t>(200, std::uint32_t(bytes.size()) - o);
            Bytes f{std::uint8_t(0x02 | (o + n == bytes.size() ? 0x20 : 0))};
            put32(f, fn);
            f.push_back(0);
            f.push_back(std::uint8_t(o));
            f.push_back(std::uint8_t(o >> 8));
            f.push_back(0);
            f.insert(f.end(), bytes.begin() + o, bytes.begin() + o + n);
            feed(kiss(Ax25Address::fixed("QST", 1), bdcst, 0xBB, f, true));
        }
    }
    void entry(const pfh::PfhHeader& h, std::uint32_t t)
    {
        const Bytes bytes = pfh::build_pfh(h);
        Bytes d{0x20};
        put32(d, h.file_number);
        put32(d, 0);
        put32(d, t);
        put32(d, t);
        d.insert(d.end(), bytes.begin(), bytes.end());
        feed(kiss(Ax25Address::fixed("QST", 1), bdcst, 0xBD, d, true));
    }
};

TEST_F(EngineFixture, MineIsRequestedAtOnceAcknowledgedAndHandedOn)
{
    // "Bdcst Custom" 4 by default: no interruption; the queue line then brings the request.
    auto h = test::header_for(0x321, "For you", "N0CALL");
    entry(h, std::uint32_t(now / 1000 - 100));
    EXPECT_EQ(engine->directory().get_download_status(0x321), kCodeMine);
    const std::string pb = "PB: Empty.";
    feed(kiss(Ax25Address::fixed("PBLIST"), bdcst, 0xF0, Bytes(pb.begin(), pb.end()), false));
    now += 3100;
    engine->poll(now);
    ASSERT_FALSE(out.frames.empty());
    auto sent = parse_ax25_frame(out.frames.back());
    ASSERT_TRUE(sent);
    EXPECT_EQ(*sent->pid, 0xBB);
    EXPECT_EQ(sent->info[0], 0x10); // whole file
    EXPECT_EQ(engine->scheduler().requested_file(), 0x321u);

    const Bytes body = test::file_with_body(0x321, 300);
    file(0x321, body);
    EXPECT_EQ(engine->directory().get_download_status(0x321), kCodeDownloaded);
    EXPECT_TRUE(out.lines.has("Send receive ACK for file 321"));
    auto ack = parse_ax25_frame(out.frames.back());
    EXPECT_EQ(ack->info[0], 0x11);
    ASSERT_EQ(out.dispo.size(), 1u);
    EXPECT_EQ(out.dispo[0], "321.DL");
    EXPECT_EQ(engine->scheduler().status_text(), "Auto Idle");
}

TEST_F(EngineFixture, RefusalMarksTheRequestedFileAndSecondNamesAreHandedOnAtPassEnd)
{
    engine->scheduler().request_file_now(0x55, now / 1000);
    const std::string no = "NO -2 55";
    feed(kiss(*Ax25Address::parse("N0CALL"), bdcst, 0xF0, Bytes(no.begin(), no.end()), false));
    EXPECT_EQ(engine->directory().get_download_status(0x55), kCodeError);
    EXPECT_EQ(engine->scheduler().requested_file(), 0u);

    test::write_bytes(dir / "66.DL", Bytes{1});
    file(0x66, test::file_with_body(0x66, 3000));
    engine->close(now);
    EXPECT_EQ(out.dispo, (std::vector<std::string>{"*.DL", "66.DL1"}));
}

TEST_F(EngineFixture, BadCrcIsCountedAndNothingIsWritten)
{
    Bytes f{0x02};
    put32(f, 0x77);
    f.insert(f.end(), {0, 0, 0, 0, 'a', 'b'});
    f.push_back(0x12);
    f.push_back(0x34);
    feed(kiss(Ax25Address::fixed("QST", 1), bdcst, 0xBB, f, false));
    EXPECT_EQ(engine->dispatcher().counters().crc_errors, 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "77.ACT"));
}

} // namespace
} // namespace orva::engine

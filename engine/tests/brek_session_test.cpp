#include "engine/session/brek_session.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace orva::engine {
namespace {

namespace fs = std::filesystem;

struct NoClock final : SystemClockSetter {
    Status set_utc(std::chrono::system_clock::time_point) override { return make_error("not permitted"); }
};

struct FakeHost final : SessionHost {
    std::uint64_t now = 1'700'000'000'000ull;
    std::vector<std::uint8_t> written;
    std::string title;
    std::vector<settings::SatelliteRecord> sats;
    std::vector<std::vector<std::string>> launched;
    NoClock clock;
    bool tnc_ok = true;
    int tnc_closed = 0;

    std::uint64_t now_ms() override { return now; }
    Status open_tnc(const settings::SatelliteRecord&) override
    {
        if (!tnc_ok)
            return make_error("no port");
        return {};
    }
    void write_tnc(std::span<const std::uint8_t> b) override { written.insert(written.end(), b.begin(), b.end()); }
    void close_tnc() override { ++tnc_closed; }
    bool window_exists(const platform::WindowAddress&) override { return false; }
    Status post_message(const platform::WindowAddress&, const platform::WindowMessage&) override { return {}; }
    void set_title(const std::string& t) override { title = t; }
    Status launch(const std::vector<std::string>& words, platform::ShowMode, const fs::path&) override
    {
        launched.push_back(words);
        return {};
    }
    std::optional<settings::SatelliteRecord> find_satellite(const std::string& name) override
    {
        for (const auto& s : sats)
            if (strcasecmp(s.name.c_str(), name.c_str()) == 0)
                return s;
        return std::nullopt;
    }
    std::vector<settings::SatelliteRecord> satellites() override { return sats; }
    SystemClockSetter& clock_setter() override { return clock; }

    // Runs the session's timers up to `ms` later, step by step.
    void run(BrekSession& s, std::uint64_t ms)
    {
        const std::uint64_t end = now + ms;
        for (int guard = 0; guard < 100000 && now < end; ++guard) {
            auto d = s.next_deadline();
            now = d && *d > now ? std::min(*d, end) : (d ? now : end);
            s.poll();
            if (!d)
                now = end;
        }
    }
};

class BrekSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("brek_session_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "sat");
        settings::SatelliteRecord r;
        r.name = "ao-16";
        r.satellite_directory = (dir / "sat").string();
        r.bbs_callsign = "PACSAT-12";
        r.bdcst_callsign = "PACSAT-11";
        host.sats.push_back(r);
        config.station.callsign = "G0ABC";
        config.general.orva_directory = dir.string();
        config.seed = 7;
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
    FakeHost host;
    SessionConfig config;
};

TEST_F(BrekSessionTest, UnknownSatelliteLeavesTitleBrekAndCloseEndsSoon)
{
    BrekSession s(config, host);
    s.start("NOSUCH");
    EXPECT_EQ(s.title(), "Brek");
    EXPECT_EQ(s.state(), SessionState::NoPass);
    s.on_window_message({kMsgClose, 0, 0});
    EXPECT_FALSE(s.finished());
    host.run(s, 99);
    EXPECT_FALSE(s.finished());
    host.run(s, 2);
    EXPECT_TRUE(s.finished());
}

TEST_F(BrekSessionTest, PassOpensWithUpperCaseTitleAndAnswersMessages)
{
    BrekSession s(config, host);
    s.start("ao-16");
    ASSERT_EQ(s.state(), SessionState::PassOpen);
    EXPECT_EQ(s.title(), "Brek [AO-16]");
    EXPECT_EQ(host.title, "Brek [AO-16]");
    EXPECT_EQ(s.on_window_message({kMsgQuery, 0, 0}), 0);
    s.on_window_message({kMsgTail, 1, 1000});
    EXPECT_EQ(s.broadcast_options().tail_action, 1);
    s.on_window_message({kMsgListenOnly, 1, 0});
    EXPECT_TRUE(s.listen_only());
    EXPECT_FALSE(s.temporary_settings().auto_fill);
    EXPECT_EQ(s.status_lines().back().text, "Pass will listen only");
    EXPECT_EQ(s.status_lines().back().colour, LineColour::Red);
    // A pass end after 2038 still reads as a time in the future.
    s.on_window_message({kMsgPassEnd, 0, std::int32_t(std::uint32_t(0x90000000u))});
    ASSERT_TRUE(s.pass_end());
    EXPECT_EQ(*s.pass_end(), std::int64_t(0x90000000u));
}

TEST_F(BrekSessionTest, TncSettingsBoxFrameIsEscaped)
{
    BrekSession s(config, host);
    s.start("AO-16");
    host.run(s, 6000);
    for (const std::uint32_t delay : {1920u, 2190u}) {
        host.written.clear();
        auto box = s.tnc_settings();
        box.tx_delay_ms = delay;
        box.tx_tail_ms = 50;
        s.set_tnc_settings(box);
        const std::uint8_t d = std::uint8_t(delay / 10);
        const std::vector<std::uint8_t> escaped =
            d == 0xC0 ? std::vector<std::uint8_t>{0xDB, 0xDC} : std::vector<std::uint8_t>{0xDB, 0xDD};
        std::vector<std::uint8_t> expected{0xC0, 0x01};
        expected.insert(expected.end(), escaped.begin(), escaped.end());
        expected.insert(expected.end(), {0xC0, 0xC0, 0x04, 5, 0xC0});
        EXPECT_EQ(host.written, expected) << delay;
    }
}

TEST_F(BrekSessionTest, CloseRunsTheExitSequenceThenEnds)
{
    BrekSession s(config, host);
    s.start("AO-16");
    host.run(s, 6000); // the parameter block goes out 5 s after the start-up
    s.request_close();
    EXPECT_EQ(s.state(), SessionState::Closing);
    host.run(s, 5000);
    EXPECT_TRUE(s.finished());
    EXPECT_EQ(host.tnc_closed, 1);
    EXPECT_EQ(s.title(), "Brek");
    // "*.DL" handed to the mail processor at the end of the pass.
    ASSERT_FALSE(host.launched.empty());
    EXPECT_EQ(host.launched.back().at(1), "S~AO-16");
    EXPECT_EQ(host.launched.back().at(2), "F~*.DL");
}

TEST_F(BrekSessionTest, SelectSatelliteClosesThenOpensTheNextPass)
{
    settings::SatelliteRecord b = host.sats.front();
    b.name = "UO-22";
    host.sats.push_back(b);
    BrekSession s(config, host);
    s.start("AO-16");
    s.select_satellite("UO-22");
    host.run(s, 5000);
    EXPECT_FALSE(s.finished());
    EXPECT_EQ(s.state(), SessionState::PassOpen);
    EXPECT_EQ(s.title(), "Brek [UO-22]");
    EXPECT_EQ(host.tnc_closed, 1);
}

TEST_F(BrekSessionTest, StatusListKeepsTwentyShortLinesAndPokesAreRed)
{
    BrekSession s(config, host);
    for (int i = 0; i < 30; ++i)
        s.post(std::string(150, char('a' + i % 26)), LineColour::Black);
    const std::string poke(200, 'x');
    s.on_poke(std::span(reinterpret_cast<const std::uint8_t*>(poke.data()), poke.size()));
    const auto lines = s.status_lines();
    ASSERT_EQ(lines.size(), kStatusLines);
    EXPECT_EQ(lines.front().text.size(), kStatusLineLength);
    EXPECT_EQ(lines.back().text, std::string(kStatusLineLength, 'x')); // 100 kept, the line holds 99
    EXPECT_EQ(lines.back().colour, LineColour::Red);
}

TEST(SessionOptions, BoxClamps)
{
    TncSettingsBox b;
    b.tx_delay_ms = 3000;
    b.tx_tail_ms = 2500;
    b.retry_time_s = 61;
    b.packet_length = 300;
    const auto c = clamp_tnc_settings(b);
    EXPECT_EQ(c.tx_delay_ms, 330u);
    EXPECT_EQ(c.tx_tail_ms, 2500u);
    EXPECT_EQ(c.retry_time_s, 6u);
    EXPECT_EQ(c.packet_length, 245u);
    const auto g = general_options_from_box(0, 5, 1000, true, false, true, true, true, true);
    EXPECT_EQ(g.inactivity_timeout_s, 86400u);
    EXPECT_EQ(g.up_to_date_timeout_s, 300u);
}

} // namespace
} // namespace orva::engine

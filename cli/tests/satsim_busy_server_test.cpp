// The station's upload client against satsim as a busy server in service, on a simulated clock:
// both ends behind transmitters at 1200 bit/s, and the satellite busy broadcasting a large file to
// another station, keeping its TNC's queue full. The server's UA and its answers then wait
// behind about six seconds of broadcast frames.
//
// The fault seen with a server in service: with T1 fixed at 3000 ms the station sends SABM
// again before the first UA is back; the server takes the second SABM during the login as a
// reset, ends the session with DISC, and the station has to log in again. With T1 from the
// round trip (seeded by a full frame each way at the link's rate, 7.84 s here) the first SABM
// is the only one, and the message goes up in one login.
#include "common/pfh/pfh_builder.h"
#include "engine/frames/ax25_frame.h"
#include "engine/frames/request_frames.h"
#include "engine/tests/upload_message.h"
#include "engine/tests/upload_test_peer.h"
#include "engine/upload/upload_client.h"
#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/ftl0/server_downlink.h"
#include "cli/satsim/satellite.h"
#include "cli/satsim/transmitter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orva::satsim {
namespace {
namespace fs = std::filesystem;
using engine::LinkTime;
using engine::test::Bytes;

constexpr std::uint32_t kEpoch = 1'800'000'000;

struct Outcome {
    int sabms_before_first_ua = 0;
    int sabms = 0;
    std::vector<engine::StatusPost> posts;
    int count(const std::string& prefix) const
    {
        return int(std::count_if(posts.begin(), posts.end(),
                                 [&](const engine::StatusPost& p) { return p.text.rfind(prefix, 0) == 0; }));
    }
    std::string transcript() const
    {
        std::string all;
        for (const auto& p : posts)
            all += p.text + "\n";
        return all;
    }
};

class BusyServer : public ::testing::Test {
protected:
    engine::test::TempDir queue, served;

    // One pass of up to `limit_ms`; `adaptive` chooses the station's T1.
    Outcome run(bool adaptive, std::uint64_t limit_ms = 240'000)
    {
        // A bulletin of 40 kB that another station has asked for: half an hour of air at 1200 bit/s.
        SatelliteConfig sc;
        sc.real_server = true;
        sc.bdcst_call = "PACSAT-11";
        sc.bbs_call = "PACSAT-12";
        sc.epoch = kEpoch;
        pfh::PfhHeader h;
        h.file_number = 0x500;
        h.file_name = "BULLETIN";
        h.file_ext = "TXT";
        h.upload_time = kEpoch - 600;
        h.source = "W1AW";
        h.destination = "ALL";
        ServedFile bulletin;
        bulletin.file_number = 0x500;
        bulletin.upload_time = kEpoch - 600;
        bulletin.bytes = pfh::build_pfh_file(h, engine::test::pattern_bytes(40'000, 1));
        bulletin.header_length = pfh::parse_pfh(bulletin.bytes)->header_length;
        Satellite sat(sc, {bulletin});
        sat.on_uplink_frame(engine::build_ui_frame(*engine::Ax25Address::parse("PACSAT-11"),
                                                   *engine::Ax25Address::parse("W1AW"), 1, 0xBB,
                                                   engine::file_request_whole(0x500, 244)),
                            0);
        Ftl0ServerConfig fc;
        fc.real_server = true;
        fc.bbs_call = "PACSAT-12";
        fc.folder = served.path();
        fc.epoch = kEpoch;
        Ftl0Server server(fc);
        Transmitter downlink(TransmitterConfig{1200, 300, 900});
        Transmitter uplink(TransmitterConfig{1200, 200, 1 << 20});

        const std::string body = "Sent up to a busy satellite.\r\n";
        engine::test::write_bytes(queue / "MSG.OUT", engine::test::upload_message(Bytes(body.begin(), body.end())));
        engine::UploadConfig uc;
        uc.my_call = *engine::Ax25Address::parse("G0ABC");
        uc.bbs_call = *engine::Ax25Address::parse("PACSAT-12");
        uc.folder = queue.path();
        uc.seed = 5;
        uc.link.t1 = LinkTime(3000); // "Retry Time" as the station had it
        uc.link.adaptive_t1 = adaptive;
        uc.link.bit_rate = 1200;
        uc.link.tx_delay = LinkTime(200);
        engine::UploadClient client(uc);

        Outcome o;
        bool connected = false;
        auto take = [&](engine::UploadOutput out, std::uint64_t t) {
            for (auto& f : out.frames) {
                if (engine::decode_control(f[14]).kind == engine::ControlKind::SABM) {
                    ++o.sabms;
                    if (!connected)
                        ++o.sabms_before_first_ua;
                }
                uplink.queue(std::move(f), t);
            }
            for (auto& p : out.posts)
                o.posts.push_back(std::move(p));
        };
        constexpr std::int64_t kBase = 1'000'000'000'000;
        for (std::uint64_t t = 0; t < limit_ms; t += 10) {
            const LinkTime now{kBase + std::int64_t(t)};
            hand_to_transmitter(sat, server, downlink, t);
            for (const Frame& f : downlink.poll(t)) {
                auto parsed = engine::parse_ax25_frame(f);
                if (!parsed)
                    continue;
                if (parsed->destination.callsign() == "BBSTAT")
                    take(client.on_bbs_status(
                             std::string_view(reinterpret_cast<const char*>(parsed->info.data()), parsed->info.size()), now),
                         t);
                else if (parsed->destination == uc.my_call) {
                    take(client.on_connected_frame(*parsed, now), t);
                    if (client.link().is_up())
                        connected = true;
                }
            }
            take(client.poll(now), t);
            for (const Frame& f : uplink.poll(t)) {
                sat.on_uplink_frame(f, t);
                server.on_uplink_frame(f, t);
            }
            if (fs::exists(queue / "MSG.OUT") == false && !client.busy())
                break;
        }
        login_resets = server.counters().login_resets;
        sessions = server.counters().sessions;
        uploads = server.counters().uploads_done;
        return o;
    }

    std::uint64_t login_resets = 0, sessions = 0, uploads = 0;
};

TEST_F(BusyServer, FixedT1Of3000MsSendsSabmAgainAndTheServerEndsTheLogin)
{
    const Outcome o = run(false, 60'000);
    EXPECT_GE(o.sabms_before_first_ua, 2) << o.transcript();
    EXPECT_GE(login_resets, 1u) << "the second SABM reset the login";
    EXPECT_EQ(o.count("Server ended the login."), 1) << o.transcript();
}

TEST_F(BusyServer, AdaptiveT1SendsOneSabmAndUploadsInOneLogin)
{
    const Outcome o = run(true);
    EXPECT_EQ(o.sabms, 1) << o.transcript();
    EXPECT_EQ(login_resets, 0u);
    EXPECT_EQ(sessions, 1u);
    EXPECT_EQ(o.count("Logged in at "), 1) << o.transcript();
    EXPECT_EQ(o.count("Server ended the login"), 0) << o.transcript();
    ASSERT_EQ(uploads, 1u) << o.transcript();
    EXPECT_EQ(o.count("Upload complete and accepted by satellite."), 1);
    // Filed in place, in the layout: the number and upload time read back, the sum holds.
    const auto filed = engine::test::read_all(served / "800.UPL");
    auto held = pfh::parse_pfh(filed);
    ASSERT_TRUE(held) << held.error().message;
    EXPECT_EQ(held->file_number, 0x800u);
    EXPECT_GE(*held->upload_time, kEpoch);
    EXPECT_TRUE(fs::exists(queue / "800.UL"));
}

} // namespace
} // namespace orva::satsim

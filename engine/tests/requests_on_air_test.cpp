// Requests while a broadcast is coming down, over the in-process simulated satellite on a lossy
// channel: the station never asks again for a file whose frames are still arriving, asks for the
// next wanted file meanwhile, and asks for what the broadcast missed once it has ended.
#include "engine/tests/session_sim_host.h"

#include <gtest/gtest.h>

#include <map>

namespace orva::engine {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kPidFile = 0xBB;

// The file number of a file broadcast (from the satellite) or a file request (from the station).
std::optional<std::uint32_t> file_of(const test::Bytes& frame, bool request)
{
    if (frame.size() < 21 || frame[15] != kPidFile)
        return std::nullopt;
    const std::uint8_t* info = frame.data() + 16;
    if (request && info[0] != 0x10 && info[0] != 0x12)
        return std::nullopt;
    if (!request && frame.size() < 16 + 9) // "OK" answers carry the same PID
        return std::nullopt;
    return std::uint32_t(info[1]) | std::uint32_t(info[2]) << 8 | std::uint32_t(info[3]) << 16 |
           std::uint32_t(info[4]) << 24;
}

TEST(RequestsOnAir, TheNextFileIsAskedForWhileOneComesDownAndItsHolesAfterIt)
{
    test::TempFolder root;
    const fs::path sat_dir = root / "AO-16";
    fs::create_directories(sat_dir);
    fs::create_directories(root / "served");
    const std::string equations = "[AUTO]\n{ FILESIZE > 1 }\n";
    test::write_bytes(sat_dir / "Brek Equations.TXT", test::Bytes(equations.begin(), equations.end()));

    test::SimHost host;
    auto r = settings::new_satellite("AO-16", settings::SatelliteType::PacSat, root.path().string());
    r.satellite_directory = sat_dir.string();
    r.bbs_callsign = "PACSAT-12";
    r.bdcst_callsign = "PACSAT-11";
    r.run_dispo = 0;
    r.uploading = 0;
    host.sats.push_back(r);
    std::vector<satsim::ServedFile> files;
    const auto now_s = std::uint32_t(host.now / 1000);
    for (std::uint32_t i = 0; i < 4; ++i)
        files.push_back(test::served_file(0x500 + i, 12000, now_s - 3600 + i * 60, "On air " + std::to_string(i)));
    host.serve(files, root / "served", 0.10, 11);

    SessionConfig config;
    config.station.callsign = "G0ABC";
    config.general.orva_directory = root.path().string();
    config.seed = 9;
    BrekSession session(config, host);
    session.start("AO-16");

    std::map<std::uint32_t, std::uint64_t> last_heard; // file -> station ms of its last frame
    std::size_t received = 0, sent = 0;
    int asked_for_another_while_on_air = 0, asked_again_while_on_air = 0;
    std::map<std::uint32_t, int> requests;
    const auto all_held = [&] {
        for (std::uint32_t i = 0; i < 4; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "%X.DL", 0x500 + i);
            if (!fs::exists(sat_dir / name))
                return false;
        }
        return true;
    };
    for (int step = 0; step < 20 * 60 * 10 && !all_held(); ++step) {
        host.step(session, 100);
        for (; received < host.received.size(); ++received)
            if (auto fn = file_of(host.received[received], false))
                last_heard[*fn] = host.now;
        for (; sent < host.sent.size(); ++sent) {
            const auto fn = file_of(host.sent[sent], true);
            if (!fn)
                continue;
            ++requests[*fn];
            for (const auto& [other, at] : last_heard) {
                if (host.now - at > 300) // heard in this very step: its broadcast is running
                    continue;
                if (other == *fn)
                    ++asked_again_while_on_air;
                else
                    ++asked_for_another_while_on_air;
            }
        }
    }
    ASSERT_TRUE(all_held());
    EXPECT_EQ(asked_again_while_on_air, 0);
    EXPECT_GT(asked_for_another_while_on_air, 0);
    // Lost frames were asked for again: more requests than files.
    int total = 0;
    for (const auto& [fn, n] : requests)
        total += n;
    EXPECT_GT(total, 4);
}

} // namespace
} // namespace orva::engine

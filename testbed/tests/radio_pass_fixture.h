// Whole passes through two real soundcard TNCs: testbed/radio-link/radio-link starts direwolf A
// and B joined by our radio channel; satsim works as a server in service behind A and
// `brek --headless` on B through the store's KISS-over-TCP setting. The radio runs in real time,
// so the tests wait on the programs' output and on folder events, each with a limit. Every program
// a test starts ends with it, even when the test itself is killed: satsim and brek by their
// parent-death signal, the link by watching the test's process.
#pragma once

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/tests/reception_test_util.h"
#include "platform/store/store.h"
#include "platform/testing/spawned_child.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace orva::testbed {

namespace fs = std::filesystem;
using engine::test::Bytes;
using Clock = std::chrono::steady_clock;

inline constexpr const char* kSatellite = "RS-44";
inline constexpr const char* kStationCall = "G0ABC";

inline std::string text_of(const fs::path& p)
{
    const Bytes b = fs::exists(p) ? engine::test::read_bytes(p) : Bytes{};
    return std::string(b.begin(), b.end());
}

inline std::string last_lines(const fs::path& p, std::size_t n)
{
    std::vector<std::string> lines;
    std::istringstream in(text_of(p));
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    std::string out;
    for (std::size_t i = lines.size() > n ? lines.size() - n : 0; i < lines.size(); ++i)
        out += lines[i] + "\n";
    return out;
}

inline std::vector<fs::path> with_extension(const fs::path& folder, const std::string& ext)
{
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ext)
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

inline std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

inline std::size_t count_lines_with(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        n += l.find(what) != std::string::npos;
    return n;
}

class RadioPass : public ::testing::Test {
protected:
    // The link in a session of its own, so that stopping it reaches every process it started
    // even should the script itself fail to; it stops by itself should this test die.
    void start_link(const std::string& modem)
    {
        link_dir = root / "link";
        link = test_support::Child({"/usr/bin/setsid", std::string(ORVA_SOURCE_DIR) + "/testbed/radio-link/radio-link",
                                    "--modem", modem, "--dir", link_dir.string(), "--channel",
                                    std::string(ORVA_BIN_DIR) + "/radio-channel", "--watch", std::to_string(::getpid())},
                                   root / "radio-link.log", true);
        ASSERT_TRUE(link.wait_line("READY ", std::chrono::seconds(60))) << text_of(root / "radio-link.log");
        for (const auto& l : link.lines())
            if (l.rfind("READY ", 0) == 0) {
                std::istringstream words(l.substr(6));
                words >> address_a >> address_b;
            }
        ASSERT_FALSE(address_b.empty()) << link.transcript();
    }

    void SetUp() override
    {
        served = root / "served";
        sat_dir = root / "station" / kSatellite;
        fs::create_directories(served);
        fs::create_directories(sat_dir);
    }

    void TearDown() override
    {
        for (test_support::Child* c : {&brek, &satsim})
            if (c->pid() > 0) {
                c->kill(SIGTERM);
                (void)c->wait_for(std::chrono::seconds(20));
            }
        if (link.pid() > 0) {
            ::kill(-link.pid(), SIGTERM);
            (void)link.wait_for(std::chrono::seconds(20));
            ::kill(-link.pid(), SIGKILL); // whatever of its session is left
        }
        if (HasFailure()) {
            for (const char* log : {"brek.log", "satsim.log", "radio-link.log", "link/channel.log"})
                std::fprintf(stderr, "---- %s ----\n%s\n", log, last_lines(root / log, 80).c_str());
            for (const char* log : {"link/a/direwolf.log", "link/b/direwolf.log"})
                std::fprintf(stderr, "---- %s (end) ----\n%s\n", log, last_lines(root / log, 30).c_str());
        }
    }

    // Files of random bytes for the satellite to serve.
    void serve_files(const std::vector<std::size_t>& sizes)
    {
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            Bytes b(sizes[i]);
            std::mt19937 g(std::uint32_t(70 + i));
            for (auto& x : b)
                x = std::uint8_t(g());
            engine::test::write_bytes(served / ("FILE" + std::to_string(i) + ".BIN"), b);
        }
    }

    // The station: wants every file (its own uploads too when asked), uploads what is queued,
    // reaches TNC B.
    void set_up_station(bool download_own_uploads = false)
    {
        const fs::path store_path = root / "store.db";
        {
            auto store = platform::Store::open(store_path, platform::Access::ReadWrite);
            ASSERT_TRUE(store) << store.error().message;
            auto station = settings::read_station(*store, settings::Program::Helmo);
            station.callsign = kStationCall;
            ASSERT_TRUE(settings::write_station(*store, station));
            auto rec = settings::new_satellite(kSatellite, settings::SatelliteType::PacSat, (root / "station").string());
            rec.satellite_directory = sat_dir.string();
            rec.bbs_callsign = "PACSAT-12";
            rec.bdcst_callsign = "PACSAT-11";
            rec.run_dispo = 0;
            rec.proc_threshold = 0;
            rec.uploading = 1;
            rec.dl_mine = download_own_uploads ? 0 : 1;
            rec.tnc_type = 8; // a soundcard modem is in KISS from the start
            rec.tnc_address = address_b;
            auto key = settings::create_satellite_key(*store, kSatellite);
            ASSERT_TRUE(key);
            ASSERT_TRUE(settings::write_satellite(*store, *key, rec));
        }
        ::setenv("ORVA_STORE", store_path.c_str(), 1);
        const std::string equations = "[AUTO]\n{ FILESIZE > 1 }\n";
        engine::test::write_bytes(sat_dir / "Brek Equations.TXT", Bytes(equations.begin(), equations.end()));
    }

    // satsim as a server in service behind TNC A; the manifest's files as "%X.DL" -> SHA-256.
    std::map<std::string, std::string> start_satsim(const std::string& bytes_per_second)
    {
        const fs::path manifest = root / "manifest.txt";
        satsim = test_support::Child({"/usr/bin/setpriv", "--pdeathsig", "TERM", std::string(ORVA_BIN_DIR) + "/orva-satsim",
                                      "--folder", served.string(),
                                      "--real-server", "--kiss-connect", address_a, "--rate", bytes_per_second,
                                      "--queue-line", "3", "--bdcst-call", "PACSAT-11", "--bbs-call", "PACSAT-12",
                                      "--manifest", manifest.string(), "--log-requests"},
                                     root / "satsim.log", true);
        std::map<std::string, std::string> wanted;
        EXPECT_TRUE(satsim.wait_line("Serving ", std::chrono::seconds(20))) << text_of(root / "satsim.log");
        std::ifstream in(manifest);
        std::string number, size, sha;
        while (in >> number >> size >> sha)
            wanted[number + ".DL"] = sha;
        return wanted;
    }

    void start_brek()
    {
        brek = test_support::Child({"/usr/bin/setpriv", "--pdeathsig", "TERM", std::string(ORVA_BIN_DIR) + "/brek",
                                    "--headless", kSatellite, "--pass-seconds", "900", "--seed", "11"},
                                   root / "brek.log", false);
    }

    std::size_t satsim_count(const std::string& prefix)
    {
        std::size_t n = 0;
        for (const auto& l : satsim.lines())
            n += l.rfind(prefix, 0) == 0;
        return n;
    }

    // Every line of the engine's terminal that reads as a fault.
    void expect_no_engine_errors()
    {
        std::istringstream log(text_of(root / "brek.log"));
        for (std::string line; std::getline(log, line);) {
            const std::string l = lower(line);
            for (const char* bad : {"error", "unable", "retry count exceeded", "not accepted", "unexpected",
                                    "will not receive", "corrupt", "doesn't exist", "unknown"})
                EXPECT_EQ(l.find(bad), std::string::npos) << "engine said: " << line;
        }
    }

    engine::test::TempFolder root;
    fs::path link_dir, served, sat_dir;
    std::string address_a, address_b;
    test_support::Child link, satsim, brek;
};

} // namespace orva::testbed

// A whole pass through two real soundcard TNCs (direwolf at 9600 bit/s, joined by a simulated radio
// channel): satsim as a server in service behind TNC A, `brek --headless` on TNC B through the
// store's KISS-over-TCP setting. Every file the satellite holds must arrive byte-identical,
// directory requests must stop once the directory is up to date, the queued message must be
// filed under the number the server gave it, and the engine must print no error. The radio runs
// in real time, so the test waits on the programs' output and folder events, each with a limit.
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/tests/reception_test_util.h"
#include "platform/store/store.h"
#include "platform/testing/child_process.h"
#include "platform/testing/spawned_child.h"
#include "cli/hash/sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <chrono>
#include <csignal>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace orva::testbed {
namespace {

namespace fs = std::filesystem;
using engine::test::Bytes;
using Clock = std::chrono::steady_clock;
using tools::sha256_hex;

constexpr const char* kSatellite = "RS-44";
const std::string kRadioLink = std::string(ORVA_SOURCE_DIR) + "/testbed/radio-link/radio-link";

// A loopback port nobody listens on now, below the kernel's ephemeral range: the TNC takes only
// registered port numbers (up to 49151).
int free_port(int after)
{
    for (int port = after + 1; port < 30000; ++port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(std::uint16_t(port));
        const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok)
            return port;
    }
    return 0;
}

std::vector<std::string> environment()
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    return env;
}

std::string text_of(const fs::path& p)
{
    const Bytes b = fs::exists(p) ? engine::test::read_bytes(p) : Bytes{};
    return std::string(b.begin(), b.end());
}

std::vector<fs::path> with_extension(const fs::path& folder, const std::string& ext)
{
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ext)
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

class RadioPass : public ::testing::Test {
protected:
    void SetUp() override
    {
        link_dir = root / "link";
        served = root / "served";
        sat_dir = root / "station" / kSatellite;
        fs::create_directories(served);
        fs::create_directories(sat_dir);
        port_a = free_port(20000 + int(::getpid() % 4000) * 2);
        port_b = free_port(port_a);
        // Read line by line: the modems it leaves running keep no pipe of ours open, but waiting
        // for the end of its output would wait on them.
        test_support::Child up({kRadioLink, "up", link_dir.string(), "--modem", "9600", "--kiss-a", std::to_string(port_a),
                                "--kiss-b", std::to_string(port_b)},
                               root / "radio-link.log", true);
        link_up = true;
        ASSERT_TRUE(up.wait_line("READY", std::chrono::seconds(90))) << text_of(root / "radio-link.log");
        ASSERT_EQ(up.wait_for(std::chrono::seconds(30)), std::optional<int>(0));
    }
    void TearDown() override
    {
        for (test_support::Child* c : {&brek, &satsim})
            if (c->pid() > 0) {
                c->kill(SIGTERM);
                (void)c->wait_for(std::chrono::seconds(20));
            }
        if (link_up)
            (void)test_support::run_child(kRadioLink, {"down", link_dir.string()}, environment());
        if (HasFailure())
            for (const char* log : {"brek.log", "satsim.log", "radio-link.log"})
                std::fprintf(stderr, "---- %s ----\n%s\n", log, text_of(root / log).c_str());
    }

    std::size_t count(const std::string& prefix)
    {
        std::size_t n = 0;
        for (const auto& l : satsim.lines())
            n += l.rfind(prefix, 0) == 0;
        return n;
    }

    engine::test::TempFolder root;
    fs::path link_dir, served, sat_dir;
    int port_a = 0, port_b = 0;
    bool link_up = false;
    test_support::Child satsim, brek;
};

TEST_F(RadioPass, FilesDownloadAndTheMessageUploadsThroughRealTncs)
{
    // The satellite: five files of a few kilobytes, headers made by satsim.
    const std::size_t sizes[] = {900, 2500, 4000, 6000, 8000};
    for (std::size_t i = 0; i < 5; ++i) {
        Bytes b(sizes[i]);
        std::mt19937 g(std::uint32_t(70 + i));
        for (auto& x : b)
            x = std::uint8_t(g());
        engine::test::write_bytes(served / ("FILE" + std::to_string(i) + ".BIN"), b);
    }
    // The station: wants everything, and has one message waiting, its header still numbered 0.
    const fs::path store_path = root / "store.db";
    {
        auto store = platform::Store::open(store_path, platform::Access::ReadWrite);
        ASSERT_TRUE(store) << store.error().message;
        auto station = settings::read_station(*store, settings::Program::Helmo);
        station.callsign = "G0ABC";
        ASSERT_TRUE(settings::write_station(*store, station));
        auto rec = settings::new_satellite(kSatellite, settings::SatelliteType::PacSat, (root / "station").string());
        rec.satellite_directory = sat_dir.string();
        rec.bbs_callsign = "PACSAT-12";
        rec.bdcst_callsign = "PACSAT-11";
        rec.run_dispo = 0;
        rec.proc_threshold = 0;
        rec.uploading = 1;
        rec.tnc_type = 8; // a soundcard modem is in KISS from the start
        rec.tnc_address = "127.0.0.1:" + std::to_string(port_b);
        auto key = settings::create_satellite_key(*store, kSatellite);
        ASSERT_TRUE(key);
        ASSERT_TRUE(settings::write_satellite(*store, *key, rec));
    }
    ::setenv("ORVA_STORE", store_path.c_str(), 1);
    const std::string equations = "[AUTO]\n{ FILESIZE > 1 }\n";
    engine::test::write_bytes(sat_dir / "Brek Equations.TXT", Bytes(equations.begin(), equations.end()));
    auto h = engine::test::header_for(1, "Radio test message", "ALL", "G0ABC");
    h.file_number = 0;
    const std::string body = "Sent up through two soundcard TNCs.\r\n";
    const Bytes message = pfh::build_pfh_file(h, Bytes(body.begin(), body.end()));
    engine::test::write_bytes(sat_dir / "MSG.OUT", message);

    const fs::path manifest = root / "manifest.txt";
    satsim = test_support::Child({std::string(ORVA_BIN_DIR) + "/orva-satsim", "--folder", served.string(), "--real-server",
                                  "--kiss-connect", "127.0.0.1:" + std::to_string(port_a), "--rate", "900",
                                  "--queue-line", "3", "--bdcst-call", "PACSAT-11", "--bbs-call", "PACSAT-12",
                                  "--manifest", manifest.string(), "--log-requests"},
                                 root / "satsim.log", true);
    ASSERT_TRUE(satsim.wait_line("Serving ", std::chrono::seconds(20)));
    std::map<std::string, std::string> wanted; // "%X.DL" -> SHA-256
    {
        std::ifstream in(manifest);
        std::string number, size, sha;
        while (in >> number >> size >> sha)
            wanted[number + ".DL"] = sha;
    }
    ASSERT_EQ(wanted.size(), 5u);

    const auto start = Clock::now();
    brek = test_support::Child({std::string(ORVA_BIN_DIR) + "/brek", "--headless", kSatellite, "--pass-seconds", "900",
                                "--seed", "11"},
                               root / "brek.log", false);
    const auto done = [&] {
        for (const auto& [name, _] : wanted)
            if (!fs::exists(sat_dir / name))
                return false;
        return with_extension(sat_dir, ".UL").size() == 1;
    };
    // At 9600 bit/s the files and the directory are about 25 kB: well under a minute of air.
    const auto limit = Clock::now() + std::chrono::minutes(4);
    while (!done() && Clock::now() < limit && !brek.exited() && !satsim.exited())
        satsim.wait_output(std::chrono::milliseconds(500));
    const double pass_s = std::chrono::duration<double>(Clock::now() - start).count();
    ASSERT_TRUE(done()) << "after " << pass_s << " s: " << with_extension(sat_dir, ".DL").size() << " of 5 files, "
                        << with_extension(sat_dir, ".UL").size() << " uploads accepted";

    // The upload is a new directory entry, so the station asks again; once the directory is up to
    // date it stops asking: six queue lines in a row with no directory request.
    std::size_t dir_requests = count("REQUEST DIRECTORY");
    std::size_t quiet_from = count("QUEUE LINE");
    const auto quiet_limit = Clock::now() + std::chrono::seconds(90);
    while (count("QUEUE LINE") < quiet_from + 6 && Clock::now() < quiet_limit && !satsim.exited()) {
        satsim.wait_output(std::chrono::milliseconds(500));
        if (count("REQUEST DIRECTORY") != dir_requests) {
            dir_requests = count("REQUEST DIRECTORY");
            quiet_from = count("QUEUE LINE");
        }
    }
    EXPECT_GE(count("QUEUE LINE"), quiet_from + 6) << "directory requests went on after the directory was complete";
    EXPECT_GE(dir_requests, 1u);

    brek.kill(SIGTERM);
    EXPECT_EQ(brek.wait_for(std::chrono::seconds(30)), std::optional<int>(0));
    satsim.kill(SIGTERM);
    EXPECT_EQ(satsim.wait_for(std::chrono::seconds(20)), std::optional<int>(0));

    for (const auto& [name, sha] : wanted)
        EXPECT_EQ(sha256_hex(engine::test::read_bytes(sat_dir / name)), sha) << name << " differs from the satellite's";

    // The message is on the satellite under the number the go answer gave, and its header says so.
    const auto ul = with_extension(sat_dir, ".UL");
    ASSERT_EQ(ul.size(), 1u);
    const std::string number = ul[0].stem().string();
    const fs::path on_satellite = served / (number + ".UPL");
    ASSERT_TRUE(fs::exists(on_satellite)) << on_satellite;
    const Bytes filed = engine::test::read_bytes(on_satellite);
    const auto parsed = pfh::parse_pfh(filed);
    ASSERT_TRUE(parsed) << parsed.error().message;
    EXPECT_EQ(parsed->file_number, std::stoul(number, nullptr, 16));
    EXPECT_EQ(Bytes(filed.begin() + std::ptrdiff_t(parsed->header_length), filed.end()), Bytes(body.begin(), body.end()));
    EXPECT_EQ(engine::test::read_bytes(ul[0]), message) << "the station's copy was changed";

    const std::string report = text_of(root / "satsim.log");
    EXPECT_NE(report.find("uploads 1 filed, 0 refused for their header's file number"), std::string::npos) << report;
    unsigned long long down = 0, up = 0;
    const auto at = report.find(" bytes broadcast, ");
    ASSERT_NE(at, std::string::npos) << report;
    down = std::strtoull(report.c_str() + report.rfind(' ', at - 1) + 1, nullptr, 10);
    up = std::strtoull(report.c_str() + at + 18, nullptr, 10);

    std::istringstream log(text_of(root / "brek.log"));
    for (std::string line; std::getline(log, line);) {
        const std::string l = lower(line);
        for (const char* bad : {"error", "unable", "retry count exceeded", "not accepted", "unexpected", "will not receive",
                                "corrupt", "doesn't exist", "unknown"})
            EXPECT_EQ(l.find(bad), std::string::npos) << "engine said: " << line;
    }
    std::printf("Real TNC pass (9600 bit/s): %.1f s to complete 5 files and 1 upload; %llu bytes broadcast, "
                "%llu bytes sent up\n",
                pass_s, down, up);
}

} // namespace
} // namespace orva::tools

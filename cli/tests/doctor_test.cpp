// The doctor against real stores, folders and loopback sockets: a sound station passes, and each
// broken piece is reported on its own line with the run counted as failed.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "common/elements/kep_database.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "platform/port_names.h"
#include "cli/doctor/doctor.h"
#include "cli/setup/demo_station.h"

using namespace orva;
namespace fs = std::filesystem;

namespace {

// A listening loopback TCP socket; port() is where it answers.
struct Listener {
    int fd = -1;
    int port = 0;
    Listener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        // Never accepted: room for every connect the test makes.
        EXPECT_EQ(::listen(fd, 64), 0);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Listener() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(port); }
};

// A unix socket standing for the session bus.
struct BusSocket {
    int fd = -1;
    std::string path;
    explicit BusSocket(const fs::path& where) : path(where.string())
    {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un un{};
        un.sun_family = AF_UNIX;
        std::strncpy(un.sun_path, path.c_str(), sizeof un.sun_path - 1);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&un), sizeof un), 0);
        EXPECT_EQ(::listen(fd, 8), 0);
    }
    ~BusSocket() { ::close(fd); }
};

// 9 December 2026 12:00 UTC, day 343 of the year.
const auto test_now = std::chrono::sys_days{std::chrono::year{2026} / 12 / 9} + std::chrono::hours(12);

class DoctorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("orva-doctor-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
        suite = root / "suite";
        auto opened = platform::Store::open(root / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(opened);
        store.emplace(std::move(*opened));
        ASSERT_TRUE(tools::create_demo_station(*store, suite));
        for (const auto& sat : tools::demo_satellites)
            set_tnc_address(sat.name, modem.address());
        write_elements(343.5);
        bus.emplace(root / "bus");
        options.now = test_now;
        options.connect_timeout = std::chrono::milliseconds(2000);
        options.dbus_address = "unix:path=" + bus->path;
    }
    void TearDown() override { fs::remove_all(root); }

    void set_tnc_address(const std::string& name, const std::string& address)
    {
        auto key = settings::find_satellite_key(*store, name, settings::CaseRule::IgnoreCase);
        ASSERT_TRUE(key);
        ASSERT_TRUE(store->write_string(*key, "TNC Address", address));
    }
    void write_elements(double epoch_day)
    {
        elements::KepDatabase db;
        for (const auto& sat : tools::demo_satellites) {
            elements::KepRecord r;
            r.name = sat.name;
            r.epoch_year = 26;
            r.epoch_day = epoch_day;
            r.mean_motion = 14.3;
            r.inclination = 98.0;
            db.add_record(r);
        }
        ASSERT_TRUE(db.save(elements::kep_database_path(suite)));
    }
    const tools::CheckLine* line(const std::vector<tools::CheckLine>& lines, const std::string& name)
    {
        for (const auto& l : lines)
            if (l.name == name)
                return &l;
        return nullptr;
    }
    std::string dump(const std::vector<tools::CheckLine>& lines) { return tools::format_text(lines); }

    fs::path root, suite;
    std::optional<platform::Store> store;
    Listener modem;
    std::optional<BusSocket> bus;
    tools::DoctorOptions options;
};

} // namespace

TEST_F(DoctorTest, SoundDemoStationPasses)
{
    auto lines = tools::run_doctor(*store, options);
    EXPECT_TRUE(tools::all_well(lines)) << dump(lines);
    const auto* elements = line(lines, "element set AO-16");
    ASSERT_NE(elements, nullptr) << dump(lines);
    EXPECT_EQ(elements->detail, "0 days old");
    const auto* modem_line = line(lines, "KISS address " + modem.address() + " (UO-22)");
    ASSERT_NE(modem_line, nullptr) << dump(lines);
    EXPECT_EQ(modem_line->state, tools::CheckState::Ok);
    // No Hamlib key yet: reported, not a fault.
    ASSERT_NE(line(lines, "Hamlib rotator"), nullptr);
    EXPECT_EQ(line(lines, "Hamlib rotator")->state, tools::CheckState::NotConfigured);
    std::string json = tools::format_json(lines);
    EXPECT_EQ(json.rfind("{\"ok\":true,", 0), 0u) << json;
}

TEST_F(DoctorTest, EachBrokenPieceHasItsLine)
{
    {
        SCOPED_TRACE("missing suite directory");
        fs::remove_all(suite);
        auto lines = tools::run_doctor(*store, options);
        EXPECT_FALSE(tools::all_well(lines));
        ASSERT_NE(line(lines, "suite directory"), nullptr);
        EXPECT_EQ(line(lines, "suite directory")->state, tools::CheckState::Fault);
        EXPECT_NE(line(lines, "suite directory")->detail.find("does not exist"), std::string::npos);
        EXPECT_EQ(line(lines, "AO-16 folders")->state, tools::CheckState::Fault);
        SetUp();
    }
    {
        SCOPED_TRACE("serial port that does not exist");
        set_tnc_address("AO-16", "");
        ASSERT_TRUE(store->write_string(platform::serial_ports_key, "COM1", (root / "no-such-tty").string()));
        auto lines = tools::run_doctor(*store, options);
        EXPECT_FALSE(tools::all_well(lines));
        const auto* l = line(lines, "serial port COM1 (AO-16)");
        ASSERT_NE(l, nullptr) << dump(lines);
        EXPECT_EQ(l->state, tools::CheckState::Fault);
        EXPECT_NE(l->detail.find("does not exist"), std::string::npos) << l->detail;
        SetUp();
    }
    {
        SCOPED_TRACE("a GS-232 rotator on a port that does not exist");
        const settings::RotatorSettings was = settings::read_rotator(*store);
        settings::RotatorSettings r = was;
        r.rotator_type = 7;
        r.port = 3;
        ASSERT_TRUE(settings::write_rotator(*store, r));
        ASSERT_TRUE(store->write_string(platform::serial_ports_key, "COM3", (root / "no-rotator-tty").string()));
        auto lines = tools::run_doctor(*store, options);
        EXPECT_FALSE(tools::all_well(lines));
        const auto* l = line(lines, "rotator port COM3");
        ASSERT_NE(l, nullptr) << dump(lines);
        EXPECT_EQ(l->state, tools::CheckState::Fault);
        EXPECT_NE(l->detail.find("does not exist"), std::string::npos) << l->detail;
        ASSERT_TRUE(settings::write_rotator(*store, was));
        SetUp();
    }
    {
        SCOPED_TRACE("KISS address that does not answer");
        Listener closed;
        std::string address = closed.address();
        closed.close();
        set_tnc_address("UO-22", address);
        auto lines = tools::run_doctor(*store, options);
        EXPECT_FALSE(tools::all_well(lines));
        const auto* l = line(lines, "KISS address " + address + " (UO-22)");
        ASSERT_NE(l, nullptr) << dump(lines);
        EXPECT_EQ(l->state, tools::CheckState::Fault);
        EXPECT_EQ(line(lines, "KISS address " + modem.address() + " (AO-16)")->state, tools::CheckState::Ok);
        SetUp();
    }
    {
        SCOPED_TRACE("element sets older than 30 days");
        write_elements(343.5 - 31);
        auto lines = tools::run_doctor(*store, options);
        EXPECT_FALSE(tools::all_well(lines));
        const auto* l = line(lines, "element set AO-16");
        ASSERT_NE(l, nullptr) << dump(lines);
        EXPECT_EQ(l->state, tools::CheckState::Fault);
        EXPECT_EQ(l->detail.rfind("31 days old", 0), 0u) << l->detail;
        // 29 days is still fine.
        write_elements(343.5 - 29);
        EXPECT_TRUE(tools::all_well(tools::run_doctor(*store, options))) << dump(tools::run_doctor(*store, options));
        SetUp();
    }
    {
        SCOPED_TRACE("no session bus");
        options.dbus_address = "unix:path=" + (root / "no-bus").string();
        auto lines = tools::run_doctor(*store, options);
        EXPECT_FALSE(tools::all_well(lines));
        EXPECT_EQ(line(lines, "D-Bus session")->state, tools::CheckState::Fault);
    }
}

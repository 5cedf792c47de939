// The brek program as the station runs it: started headless against the simulated satellite on a
// pseudo-terminal, steered over the session bus the way the station program steers it (2041,
// 2042, the close request), its data server advising every new directory header, and the single
// instance.
#include "common/pfh/pfh.h"
#include "engine/files/hole_file.h"
#include "engine/tests/sim_station.h"
#include "platform/dbus/session_bus.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <set>

namespace orva::engine {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::Bytes;
using test::Child;
using test::SimStation;

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "brek_program_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication a(argc, argv);
    return a;
}

const platform::WindowAddress kBrekAny{"Brek:MAIN", ""};
const platform::WindowAddress kBrekPass{"Brek:MAIN", "Brek [AO-16]"};

struct BrekProgram : ::testing::Test {
    SimStation station;
    std::unique_ptr<platform::Messenger> bus;
    std::unique_ptr<platform::MessageWindow> helmo;
    std::vector<platform::WindowMessage> to_helmo;

    void SetUp() override
    {
        app();
        bus = platform::dbus::session_messenger();
        // A clean bus: no engine of an earlier test is still registered.
        ASSERT_TRUE(until([&] { return !bus->exists(kBrekAny); }, 10s));
    }

    // Runs the event loop until `done`, at most `timeout`.
    template <class F> bool until(F done, std::chrono::milliseconds timeout, Child* child = nullptr)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end)
                return done();
            QEventLoop loop;
            QTimer::singleShot(20, &loop, &QEventLoop::quit);
            loop.exec(); // bus messages are handled meanwhile
            if (child)
                child->read_available();
        }
        return true;
    }

    // The station program's window, which the engine tells of uplink and downlink changes.
    void register_helmo()
    {
        platform::WindowHandlers h;
        h.on_message = [this](const platform::WindowMessage& m) {
            to_helmo.push_back(m);
            return 0;
        };
        auto w = bus->create_window("HelmoCtl", "Helmo", std::move(h), true);
        ASSERT_TRUE(w) << w.error().message;
        helmo = std::move(*w);
    }

    Child start_brek(std::vector<std::string> extra)
    {
        return Child(station.brek_args(std::move(extra)), station.root / "brek.log", true);
    }

    // What the station program does once the engine's window is there.
    void wait_for_engine(Child& brek)
    {
        ASSERT_TRUE(until([&] { return bus->exists(kBrekPass) || brek.exited(); }, 30s, &brek))
            << "no window Brek [AO-16]";
        ASSERT_FALSE(brek.exited()) << "brek ended early";
    }

    std::int32_t station_seconds() const { return std::int32_t(std::time(nullptr)); }

    // Every hole list claims only bytes that are on disk and equal to the served file's.
    void check_hole_lists()
    {
        for (const auto& [fn, bytes] : station.files) {
            const auto hol = station.sat_dir / SimStation::name_of(fn, ".HOL");
            if (!fs::exists(hol))
                continue;
            const auto loaded = decode_hole_file(test::read_bytes(hol));
            ASSERT_FALSE(loaded.short_file) << hol;
            const auto act_path = station.sat_dir / SimStation::name_of(fn, ".ACT");
            const Bytes act = fs::exists(act_path) ? test::read_bytes(act_path) : Bytes{};
            const std::uint32_t length = loaded.file.length ? loaded.file.length : std::uint32_t(bytes.size());
            std::uint32_t pos = 0;
            auto check = [&](std::uint32_t from, std::uint32_t to) {
                to = std::min(to, length);
                if (from >= to)
                    return;
                ASSERT_LE(to, act.size()) << hol << " claims bytes past the end of the data";
                EXPECT_TRUE(std::equal(act.begin() + from, act.begin() + to, bytes.begin() + from))
                    << hol << ": bytes " << from << "-" << to << " are wrong";
            };
            for (const auto& h : loaded.file.holes.holes()) {
                check(pos, h.start);
                pos = h.end;
            }
            if (loaded.file.length)
                check(pos, length);
        }
    }
};

TEST_F(BrekProgram, ListenOnlyPassSteeredByTheStationThenClosedAtPassEnd)
{
    station.create(5, 2000, 20000);
    station.start_satsim("0", "0", "10");
    register_helmo();
    Child brek = start_brek({"--clock-rate", "10", "--checkpoint-seconds", "1"});
    wait_for_engine(brek);

    // As the station program sends them: listen-only first, then the end of the pass.
    ASSERT_TRUE(bus->post(kBrekPass, {2041, 1, 0}));
    auto answer = bus->send(kBrekPass, {2042, 0, station_seconds() + 3600});
    ASSERT_TRUE(answer) << answer.error().message;
    EXPECT_EQ(*answer, 0);
    ASSERT_TRUE(brek.wait_line("Pass will listen only", 20s));
    ASSERT_TRUE(brek.wait_line("Pass ends in", 20s));
    // Something heard: the session goes into the log.
    ASSERT_TRUE(brek.wait_line("Queue: ", 30s));

    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(bus->post(kBrekPass, {16, 0, 0}));
    const auto rc = brek.wait_for(15s);
    ASSERT_TRUE(rc) << "brek did not end after the close request";
    EXPECT_EQ(*rc, 0);
    // The exit sequence of the default TNC is 1.2 s of station time: at ten times real time the
    // end comes well inside the station's minute of grace.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 15s);
    EXPECT_FALSE(bus->exists(kBrekAny));

    for (const auto& l : brek.lines())
        EXPECT_EQ(l.find("Auto: Request"), std::string::npos) << "a listen-only pass sent " << l;
    EXPECT_TRUE(fs::exists(station.sat_dir / "Brek.LOG")) << brek.transcript();
    EXPECT_TRUE(fs::exists(station.sat_dir / "Brek Dir Holes.DAT"));
    const std::string log = [&] {
        auto b = test::read_bytes(station.sat_dir / "Brek.LOG");
        return std::string(b.begin(), b.end());
    }();
    EXPECT_FALSE(log.empty());
}

TEST_F(BrekProgram, OrdinaryPassClosedMidFileLeavesHoleListsOfWhatIsOnDisk)
{
    station.create(6, 30000, 120000);
    station.start_satsim("0.3", "0.02", "10");
    register_helmo();
    Child brek = start_brek({"--clock-rate", "10", "--checkpoint-seconds", "1", "--seed", "3"});
    wait_for_engine(brek);
    ASSERT_TRUE(bus->post(kBrekPass, {2042, 0, station_seconds() + 3600}));

    // The viewer marks what the directory announces; the close comes while files are arriving.
    ASSERT_TRUE(until(
        [&] {
            station.mark_announced();
            return brek.printed("Receiving ");
        },
        60s, &brek))
        << "no file progress";
    ASSERT_TRUE(bus->post(kBrekPass, {16, 0, 0}));
    const auto rc = brek.wait_for(15s);
    ASSERT_TRUE(rc);
    EXPECT_EQ(*rc, 0);

    int hole_lists = 0;
    for (const auto& [fn, _] : station.files)
        hole_lists += fs::exists(station.sat_dir / SimStation::name_of(fn, ".HOL")) ? 1 : 0;
    EXPECT_GT(hole_lists + station.completed(), 0);
    EXPECT_GT(hole_lists, 0) << "every file completed: the pass was not closed mid-file";
    check_hole_lists();
    EXPECT_TRUE(fs::exists(station.sat_dir / "Brek.LOG")) << brek.transcript();
    EXPECT_TRUE(fs::exists(station.sat_dir / "Brek Dir Holes.DAT"));
    // The progress lines name the file, bytes of its total and the holes left.
    bool progress = false;
    for (const auto& l : brek.lines())
        progress = progress || (l.find("Receiving ") == 0 && l.find(" bytes") != std::string::npos &&
                                (l.find("holes left") != std::string::npos || l.find("hole left") != std::string::npos ||
                                 l.find("size not yet known") != std::string::npos));
    EXPECT_TRUE(progress);
}

TEST_F(BrekProgram, DataServerAdvisesEveryNewHeaderOfThePass)
{
    station.create(8, 1000, 6000);
    station.start_satsim("0", "0", "1");
    // Real time: the first directory request goes out five seconds after the TNC start.
    Child brek = start_brek({"--checkpoint-seconds", "1"});
    wait_for_engine(brek);

    bool ended = false;
    std::unique_ptr<platform::DataConversation> conversation;
    ASSERT_TRUE(until(
        [&] {
            auto c = platform::dbus::connect_data("MicroSat", "Directory", [&] { ended = true; }, 1s);
            if (c)
                conversation = std::move(*c);
            return conversation != nullptr;
        },
        10s));
    std::vector<Bytes> advised;
    ASSERT_TRUE(conversation->start_advise("PFH", "PFH", [&](const Bytes& b) { advised.push_back(b); }));
    // Other topics are refused.
    EXPECT_FALSE(platform::dbus::connect_data("MicroSat", "Elsewhere", [] {}, 2s));

    std::set<std::uint32_t> seen;
    ASSERT_TRUE(until(
        [&] {
            for (const auto& h : advised)
                if (auto p = pfh::parse_pfh(h))
                    seen.insert(p->file_number);
            return seen.size() == station.files.size();
        },
        60s, &brek))
        << seen.size() << " of " << station.files.size() << " headers advised";
    // Each advise is the header exactly as the satellite broadcast it.
    for (const auto& h : advised) {
        auto p = pfh::parse_pfh(h);
        ASSERT_TRUE(p);
        const Bytes& served = station.files.at(p->file_number);
        ASSERT_LE(h.size(), served.size());
        EXPECT_TRUE(std::equal(h.begin(), h.end(), served.begin())) << std::hex << p->file_number;
    }
    // A request gives the last header again.
    auto last = conversation->request("PFH", "PFH");
    ASSERT_TRUE(last);
    EXPECT_EQ(*last, advised.back());
    // A poke is shown in red and acknowledged.
    const std::string text = "Poked by the test";
    auto ack = conversation->poke("PFH", "TEXT", std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    ASSERT_TRUE(ack);
    EXPECT_TRUE(*ack);
    EXPECT_TRUE(brek.wait_line(text, 10s));

    ASSERT_TRUE(bus->post(kBrekPass, {16, 0, 0}));
    ASSERT_TRUE(brek.wait_for(15s));
    EXPECT_TRUE(until([&] { return ended; }, 10s)) << "the conversation did not end with the engine";
}

TEST_F(BrekProgram, SecondStartAsksTheFirstForwardAndEnds)
{
    station.create(2, 1000, 2000);
    station.start_satsim("0", "0", "1");
    Child first = start_brek({});
    wait_for_engine(first);

    Child second = Child(station.brek_args({}), station.root / "second.log", true);
    const auto rc = second.wait_for(15s);
    ASSERT_TRUE(rc) << "the second brek did not end";
    EXPECT_EQ(*rc, 0);
    const auto log = test::read_bytes(station.root / "second.log");
    EXPECT_NE(std::string(log.begin(), log.end()).find("Brek is already running"), std::string::npos);
    EXPECT_TRUE(first.wait_line("Another start of Brek was refused", 10s));
    EXPECT_FALSE(first.exited());
    EXPECT_TRUE(bus->exists(kBrekPass));

    ASSERT_TRUE(bus->post(kBrekPass, {16, 0, 0}));
    ASSERT_TRUE(first.wait_for(15s));
}

TEST_F(BrekProgram, UnknownSatelliteOrStoreEndsWithTheReason)
{
    station.create(1, 1000, 1000);
    Child unknown(std::vector<std::string>{station.bin + "/brek", "--headless", "NOSUCH"}, station.root / "unknown.log",
                  true);
    auto rc = unknown.wait_for(15s);
    ASSERT_TRUE(rc);
    EXPECT_EQ(*rc, 1);
    EXPECT_TRUE(unknown.printed("NOSUCH"));

    ::setenv("ORVA_STORE", (station.root / "missing" / "store.db").c_str(), 1);
    Child no_store(std::vector<std::string>{station.bin + "/brek", "--headless", "AO-16"}, station.root / "nostore.log",
                   true);
    rc = no_store.wait_for(15s);
    ASSERT_TRUE(rc);
    EXPECT_EQ(*rc, 1);
    const auto log = test::read_bytes(station.root / "nostore.log");
    EXPECT_NE(std::string(log.begin(), log.end()).find("Error connecting to registry"), std::string::npos);
    EXPECT_FALSE(bus->exists(kBrekAny));

    Child bad(std::vector<std::string>{station.bin + "/brek", "--headless", "AO-16", "--clock-rate", "fast"},
              station.root / "bad.log", true);
    rc = bad.wait_for(15s);
    ASSERT_TRUE(rc);
    EXPECT_EQ(*rc, 2);
}

} // namespace
} // namespace orva::engine

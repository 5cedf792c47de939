// The headless engine against the simulated satellite on a pseudo-terminal: lossy passes, kills
// at random moments, and a second process marking files through the status table.
#include "engine/files/hole_file.h"
#include "engine/tests/sim_station.h"

namespace orva::engine {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Bytes;
using test::Child;

constexpr int kFiles = 20;
// A pass that gains nothing this many times in a row means the engine is stuck.
constexpr int kPassesWithoutProgress = 3;

struct EndToEnd : ::testing::Test {
    test::SimStation station;
    std::vector<std::string> output; // every line the engine printed, all passes

    void SetUp() override { station.create(kFiles, 1024, 200 * 1024); }

    Child start_brek(double seconds, int seed)
    {
        return Child(station.brek_args({"--pass-seconds", std::to_string(seconds), "--clock-rate", "30", "--seed",
                                        std::to_string(seed), "--checkpoint-seconds", "3"}),
                     station.root / "brek.log", true);
    }
    void keep_output(Child& b)
    {
        for (const auto& l : b.lines())
            output.push_back(l);
    }
    // Bytes on disk for the files still being fetched, and the files complete: what a pass adds to.
    std::pair<int, std::uintmax_t> progress() const
    {
        std::uintmax_t partial = 0;
        for (const auto& [fn, _] : station.files) {
            std::error_code ec;
            const auto size = fs::file_size(station.sat_dir / test::SimStation::name_of(fn, ".ACT"), ec);
            if (!ec)
                partial += size;
        }
        return {station.completed(), partial};
    }
    // Every completed file equals the served one; every hole list claims only bytes that are on
    // disk and right.
    void check_consistent()
    {
        const auto& dir = station.sat_dir;
        for (const auto& [fn, bytes] : station.files) {
            for (const char* ext : {".DL", ".DL1", ".DL2"}) {
                const auto name = test::SimStation::name_of(fn, ext);
                if (fs::exists(dir / name)) {
                    EXPECT_EQ(test::read_bytes(dir / name), bytes) << name << " differs from the served file";
                }
            }
            const auto name = test::SimStation::name_of(fn, ".HOL");
            if (!fs::exists(dir / name))
                continue;
            const auto loaded = decode_hole_file(test::read_bytes(dir / name));
            ASSERT_FALSE(loaded.short_file) << name << " is damaged";
            const auto act_path = dir / test::SimStation::name_of(fn, ".ACT");
            const Bytes act = fs::exists(act_path) ? test::read_bytes(act_path) : Bytes{};
            const std::uint32_t length = loaded.file.length ? loaded.file.length : std::uint32_t(bytes.size());
            std::uint32_t pos = 0;
            auto check_range = [&](std::uint32_t from, std::uint32_t to) {
                to = std::min<std::uint32_t>(to, length);
                if (from >= to)
                    return;
                ASSERT_LE(to, act.size()) << name << ": the hole list claims bytes past the end of the data";
                EXPECT_TRUE(std::equal(act.begin() + from, act.begin() + to, bytes.begin() + from))
                    << name << ": claimed bytes " << from << "-" << to << " are wrong";
            };
            for (const auto& h : loaded.file.holes.holes()) {
                check_range(pos, h.start);
                pos = h.end;
            }
            if (loaded.file.length)
                check_range(pos, length);
        }
    }
    // Passes until every file is complete, as long as passes still gain something (how much one
    // pass gains depends on how busy the machine is, so their number is not fixed); each pass
    // marks what the directory has announced.
    void passes_until_complete(int first_seed)
    {
        int idle = 0;
        for (int pass = 0; station.completed() < kFiles && idle < kPassesWithoutProgress; ++pass) {
            const auto before = progress();
            Child b = start_brek(90, first_seed + pass);
            // The viewer marks files while the pass runs.
            std::optional<int> rc;
            while (!(rc = b.wait_for(100ms)))
                station.mark_announced();
            keep_output(b);
            ASSERT_EQ(*rc, 0) << "brek failed";
            ASSERT_TRUE(b.printed("Pass closed")) << "the pass did not run";
            station.mark_announced();
            check_consistent();
            idle = progress() == before ? idle + 1 : 0;
        }
    }
    bool printed(const std::string& text) const
    {
        return std::any_of(output.begin(), output.end(), [&](const auto& l) { return l.find(text) != std::string::npos; });
    }
};

TEST_F(EndToEnd, LossyPassesCompleteEveryFileByteIdentical)
{
    station.start_satsim("0.3", "0.02", "30");
    passes_until_complete(100);
    EXPECT_EQ(station.completed(), kFiles);
    check_consistent();
    auto table = StatusTable::open(station.sat_dir / kStatusTableName);
    ASSERT_TRUE(table);
    for (const auto& [fn, _] : station.files)
        EXPECT_EQ(table->code_of(fn), kCodeDownloaded) << std::hex << fn;
    EXPECT_TRUE(printed("Auto: Request fill of file"));
    EXPECT_TRUE(printed("holes"));
}

// Over TCP, and with the satellite behaving as the servers in service do: no N bit, headers split
// without an E bit, "OK" answers, fixed chunks, NUL-ended texts.
TEST_F(EndToEnd, OverTcpWithTheTncNamedInTheStoreAgainstAServerInService)
{
    station.start_satsim("0.05", "0", "30", true, true);
    passes_until_complete(100);
    EXPECT_EQ(station.completed(), kFiles);
    check_consistent();
}

// The moments are counted in lines the engine has printed, not in time: each kill lands at the
// same point of the engine's work however busy the machine is.
TEST_F(EndToEnd, KilledAtRandomMomentsThenEveryFileStillCompletes)
{
    station.start_satsim("0.3", "0.02", "30");
    std::mt19937 rng(42);
    int killed_working = 0;
    for (int run = 0; run < 20; ++run) {
        Child b = start_brek(600, run);
        const std::size_t lines = 1 + rng() % 15;
        const auto until = std::chrono::steady_clock::now() + 20s; // a quiet engine is killed anyway
        while (b.lines().size() < lines && !b.exited() && std::chrono::steady_clock::now() < until) {
            station.mark_announced();
            b.wait_output(200ms);
        }
        ASSERT_FALSE(b.exited()) << "brek ended before line " << lines;
        b.kill(SIGKILL);
        EXPECT_EQ(b.wait(), -SIGKILL);
        ++killed_working;
        check_consistent();
    }
    EXPECT_EQ(killed_working, 20);
    passes_until_complete(100);
    EXPECT_EQ(station.completed(), kFiles);
    check_consistent();
}

} // namespace
} // namespace orva::engine

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/elements/kep_database.h"
#include "common/settings/suite_settings.h"
#include "elemupd/elemix.h"

using namespace orva;
using namespace orva::elemupd;
namespace fs = std::filesystem;

namespace {
const char* kAo7 =
    "OSCAR 7 (AO-7)          \n"
    "1 07530U 74089B   25178.92074625 -.00000043  00000+0  22495-4 0  9994\n"
    "2 07530 101.9927 183.3801 0012658  87.3237 339.0794 12.53689854316121\n";
const char* kIss =
    "ISS (ZARYA)             \n"
    "1 25544U 98067A   25179.15776912  .00006109  00000+0  11381-3 0  9994\n"
    "2 25544  51.6349 252.7052 0002263 302.4301  57.6469 15.50279857516861\n";

class CountingNotice : public ReloadNotice {
public:
    Status post_reload() override
    {
        ++posts;
        return {};
    }
    std::atomic<int> posts{0};
};

class ElemixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/orva-elemix-XXXXXX";
        dir = ::mkdtemp(tmpl);
        suite = dir / "suite";
        fs::create_directories(suite);
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(s.ok()) << s.error().message;
        store.emplace(std::move(*s));
        settings::GeneralSettings g;
        g.orva_directory = suite.string();
        ASSERT_TRUE(settings::write_general(*store, g).ok());
        set_append(false);
    }
    void TearDown() override { fs::remove_all(dir); }

    void set_append(bool on)
    {
        settings::DispoSettings d;
        d.keps_append = on ? 1 : 0;
        ASSERT_TRUE(settings::write_dispo(*store, d).ok());
    }
    fs::path write(const std::string& name, const std::string& text)
    {
        fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    void seed(int year, double day, std::uint16_t catalogue = 7530)
    {
        elements::KepDatabase db;
        elements::KepRecord r;
        r.name = "AO-7";
        r.catalogue = catalogue;
        r.epoch_year = std::int16_t(year);
        r.epoch_day = day;
        r.mean_motion = 12.5;
        r.beacon_mhz = 145.9775;
        db.add_record(r);
        ASSERT_TRUE(db.save(suite / "ORVA.KEP").ok());
    }
    elements::KepDatabase database()
    {
        auto db = elements::KepDatabase::load(suite / "ORVA.KEP");
        EXPECT_TRUE(db.ok());
        return db.ok() ? *db : elements::KepDatabase{};
    }
    ElemixRun run(std::vector<std::string> args) { return run_elemix(*store, args, notice); }

    fs::path dir, suite;
    std::optional<platform::Store> store;
    CountingNotice notice;
};
} // namespace

TEST_F(ElemixTest, ANewerSetUpdatesTheDatabaseAndTellsTheStation)
{
    seed(99, 300.0); // a 1999 set: the 2025 one is newer despite 25 < 99
    fs::path f = write("my keps.txt", kAo7);
    ElemixRun r = run({"F~" + f.string(), "K~NASA"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(notice.posts, 1);
    ASSERT_TRUE(r.message);
    EXPECT_FALSE(r.message->warning);
    EXPECT_EQ(r.message->text, "Your keps file has been updated from the file my keps.txt.");
    auto db = database();
    EXPECT_EQ(db.slot(0).epoch_year, 25);
    EXPECT_EQ(db.slot(0).name, "AO-7");
    EXPECT_EQ(db.slot(0).beacon_mhz, 145.9775);
}

TEST_F(ElemixTest, AnEqualOrOlderSetChangesNothingAndPostsNothing)
{
    seed(25, 178.92074625);
    auto before = database().to_bytes();
    ElemixRun r = run({"K~N", "F~" + write("k.txt", kAo7).string()});
    EXPECT_FALSE(r.changed);
    EXPECT_FALSE(r.message);
    EXPECT_EQ(notice.posts, 0);
    EXPECT_EQ(database().to_bytes(), before);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0], "OSCAR 7 (AO-: Old Keps - Not Updated");
}

TEST_F(ElemixTest, AppendingIsAChangeOnlyWhenKepsAppendIsOn)
{
    seed(25, 100.0);
    fs::path f = write("k.txt", kIss);
    ElemixRun off = run({"F~" + f.string(), "K~NASA"});
    EXPECT_FALSE(off.changed);
    EXPECT_EQ(database().find_by_catalogue(25544), -1);

    set_append(true);
    ElemixRun on = run({"F~" + f.string(), "K~NASA"});
    EXPECT_TRUE(on.changed);
    EXPECT_EQ(notice.posts, 1); // the station must reload or its next save loses the new slot
    EXPECT_EQ(database().slot(1).name, "ISS (ZARYA)");
}

TEST_F(ElemixTest, AmsatFormatAndItsLetter)
{
    seed(25, 100.0);
    std::string text = "Satellite: AO-07\nCatalog number: 07530\nEpoch time: 25200.5\nInclination: 101.99\n"
                       "RA of node: 183.38\nEccentricity: 0.0012658\nArg of perigee: 87.3\nMean anomaly: 339.1\n"
                       "Mean motion: 12.5368985\nEpoch rev: 31700\n";
    ElemixRun r = run({"F~" + write("a.txt", text).string(), "K~AMSAT"});
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(database().slot(0).epoch_day, 200.5);
}

TEST_F(ElemixTest, BadCommandLinesEndWithoutTouchingAnything)
{
    seed(25, 100.0);
    auto before = database().to_bytes();
    fs::path f = write("k.txt", kAo7);
    EXPECT_EQ(run({}).exit_code, 0);
    EXPECT_EQ(run({"F~" + f.string()}).exit_code, 0);
    EXPECT_EQ(run({"K~NASA"}).exit_code, 0);
    ElemixRun x = run({"F~" + f.string(), "K~XML"});
    EXPECT_EQ(x.exit_code, 0);
    EXPECT_FALSE(x.message);
    EXPECT_EQ(database().to_bytes(), before);
    EXPECT_EQ(notice.posts, 0);

    ElemixRun longer = run({"F~" + std::string(5000, 'x'), "K~NASA"});
    EXPECT_NE(longer.exit_code, 0);
    ASSERT_TRUE(longer.message);
    EXPECT_NE(longer.message->text.find("longer than"), std::string::npos);
}

TEST_F(ElemixTest, AnUnreadableFileWarnsAndTheDatabaseStays)
{
    seed(25, 100.0);
    auto before = database().to_bytes();
    ElemixRun r = run({"F~/nonexistent/keps.txt", "K~NASA"});
    ASSERT_TRUE(r.message);
    EXPECT_TRUE(r.message->warning);
    EXPECT_EQ(r.message->text, "Keps file \"/nonexistent/keps.txt\"unable to be opened");
    EXPECT_EQ(database().to_bytes(), before);
    EXPECT_EQ(notice.posts, 0);
}

TEST_F(ElemixTest, ADamagedDatabaseIsReportedAndLeftAsItWas)
{
    std::ofstream(suite / "ORVA.KEP", std::ios::binary) << std::string(1000, 'q');
    ElemixRun r = run({"F~" + write("k.txt", kAo7).string(), "K~NASA"});
    EXPECT_EQ(r.exit_code, 1);
    ASSERT_TRUE(r.message);
    EXPECT_NE(r.message->text.find("1000 bytes"), std::string::npos) << r.message->text;
    std::ifstream in(suite / "ORVA.KEP", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string(1000, 'q'));
}

TEST_F(ElemixTest, AMissingSetupEndsQuietly)
{
    ASSERT_TRUE(store->delete_key("SOFTWARE\\Orva\\Dispo").ok());
    ElemixRun r = run({"F~" + write("k.txt", kAo7).string(), "K~NASA"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_FALSE(r.message);
    EXPECT_FALSE(fs::exists(suite / "ORVA.KEP"));
}

TEST_F(ElemixTest, TwoCopiesAtOnceBothMerge)
{
    set_append(true);
    seed(25, 100.0);
    fs::path a = write("a.txt", kAo7), b = write("b.txt", kIss);
    std::thread first([&] {
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadOnly);
        CountingNotice n;
        std::vector<std::string> args{"F~" + a.string(), "K~NASA"};
        run_elemix(*s, args, n);
    });
    std::thread second([&] {
        auto s = platform::Store::open(dir / "store.db", platform::Access::ReadOnly);
        CountingNotice n;
        std::vector<std::string> args{"F~" + b.string(), "K~NASA"};
        run_elemix(*s, args, n);
    });
    first.join();
    second.join();
    auto db = database();
    EXPECT_EQ(db.slot(0).epoch_day, 178.92074625);
    EXPECT_NE(db.find_by_catalogue(25544), -1);
}

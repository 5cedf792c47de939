#include "common/elements/kep_database.h"
#include "engine/frames/kepset_update.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace orva::engine {
namespace {

struct Posts : StatusSink {
    std::vector<std::string> lines;
    void post(std::string t, LineColour) override { lines.push_back(std::move(t)); }
};

// A published two-line set (checksums valid): catalogue 25544, epoch 2008 day 264.51782528.
const std::string kSet =
    "ISS (ZARYA)\n"
    "1 25544U 98067A   08264.51782528 -.00002182  00000-0 -11606-4 0  2927\n"
    "2 25544  51.6416 247.4627 0006703 130.5360 325.0288 15.72125391563537\n";

class Kepset : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per test: ctest runs the cases of this file side by side.
        dir = std::filesystem::path(testing::TempDir()) /
              (std::string("orva_kepset_") + testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
               std::to_string(::getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        file = dir / "Orva.KEP";
        elements::KepDatabase db;
        elements::KepRecord r;
        r.name = "ISS";
        r.catalogue = 25544;
        r.epoch_year = 8;
        r.epoch_day = 200.5;
        r.beacon_mhz = 145.8;
        db.add_record(r);
        ASSERT_TRUE(db.save(file));
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir, file;
    Posts posts;
    int notified = 0;
};

TEST_F(Kepset, NewerSetReplacesTheElementsAndTellsTheStation) {
    KepsetUpdater u(file, posts, [&] { ++notified; });
    u.on_element_set(kSet);
    EXPECT_TRUE(u.updated());
    EXPECT_EQ(notified, 1);
    ASSERT_FALSE(posts.lines.empty());
    EXPECT_EQ(posts.lines.back(), "Keps updated for this satellite.");
    auto db = elements::KepDatabase::load(file);
    ASSERT_TRUE(db);
    const auto& r = db->slot(db->find_by_catalogue(25544));
    EXPECT_EQ(r.name, "ISS (ZARYA)");
    EXPECT_NEAR(r.epoch_day, 264.51782528, 1e-8);
    EXPECT_NEAR(r.inclination, 51.6416, 1e-9);
    EXPECT_DOUBLE_EQ(r.beacon_mhz, 145.8); // not an element value: kept
}

TEST_F(Kepset, OlderOrUnknownSetsChangeNothing) {
    const auto before = elements::KepDatabase::load(file)->to_bytes();
    std::string older = kSet;
    older.replace(older.find("08264"), 5, "08100");
    KepsetUpdater u(file, posts, [&] { ++notified; });
    u.on_element_set(older);
    std::string other = kSet;
    other.replace(other.find("1 25544"), 7, "1 11111");
    other.replace(other.find("2 25544"), 7, "2 11111");
    u.on_element_set(other);
    u.on_element_set("not an element set at all, but long enough to be looked at by the updater");
    EXPECT_FALSE(u.updated());
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(elements::KepDatabase::load(file)->to_bytes(), before);
}

} // namespace
} // namespace orva::engine

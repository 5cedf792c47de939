#include "station/housekeeping/housekeeping.h"
#include "station/housekeeping/directory_edit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "common/atomic_file.h"
#include "common/settings/satellite_record.h"
#include "station/tests/setup_temp.h"

using namespace orva;
using namespace orva::station;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kNow = 1'800'000'000; // 2027-01-15

void touch(const fs::path& p, std::int64_t mtime)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
    auto sys = std::chrono::system_clock::time_point(std::chrono::seconds(mtime));
    fs::last_write_time(p, std::chrono::file_clock::from_sys(sys));
}

std::string add_satellite(platform::Store& store, const fs::path& suite, const std::string& name)
{
    auto r = settings::new_satellite(name, settings::SatelliteType::PacSat, suite.string());
    auto key = settings::create_satellite_key(store, name);
    EXPECT_TRUE(key);
    EXPECT_TRUE(settings::write_satellite(store, *key, r));
    return r.satellite_directory;
}

std::string pfh(int n)
{
    char b[32];
    std::snprintf(b, sizeof b, "Brek%04d.PFH", n);
    return b;
}

} // namespace

TEST(Housekeeping, PfhKeepsTheNewestNumbers)
{
    test_support::SetupScratch t;
    auto store = t.open();
    fs::path sat = add_satellite(store, t.dir, "AO-16");
    for (int n = 3; n <= 10; ++n)
        touch(sat / pfh(n), kNow);
    HousekeepingRules rules;
    rules.pfh_delete_oldest = true;
    rules.keep_pfh_files = 3;
    auto run = run_housekeeping(store, rules, std::nullopt, kNow);
    EXPECT_EQ(run.count(), 5u);
    for (int n = 3; n <= 7; ++n)
        EXPECT_FALSE(fs::exists(sat / pfh(n))) << n;
    for (int n = 8; n <= 10; ++n)
        EXPECT_TRUE(fs::exists(sat / pfh(n))) << n;

    fs::remove(sat / pfh(8));
    run = run_housekeeping(store, rules, std::nullopt, kNow);
    EXPECT_EQ(run.count(), 0u) << "only 0009 and 0010 left: nothing to delete";
    EXPECT_TRUE(run.failures.empty()) << "the gap at 0008 is not a failure";
}

TEST(Housekeeping, AgesKindsAndSingleSatellite)
{
    test_support::SetupScratch t;
    auto store = t.open();
    fs::path ao = add_satellite(store, t.dir, "AO-16");
    fs::path uo = add_satellite(store, t.dir, "UO-22");
    touch(ao / "DLX" / "OLD.DLX", kNow - 11 * 86400);
    touch(ao / "DLX" / "new.dlx", kNow - 9 * 86400);
    touch(ao / "Msgs" / "A.DLM", kNow - 3 * 86400);
    touch(ao / "Msgs" / "B.PFH", kNow - 3 * 86400);
    touch(ao / "Msgs" / "C.TXT", kNow - 30 * 86400);
    touch(ao / "12AB.ACT", kNow - 20 * 86400);
    touch(ao / "12AB.HOL", kNow - 20 * 86400);
    touch(ao / "UP.UL", kNow - 20 * 86400);
    touch(uo / "DLX" / "OLD.DLX", kNow - 11 * 86400);

    HousekeepingRules rules;
    rules.delete_dlx = rules.delete_msg = rules.delete_act = true;
    rules.oldest_messages = 2;
    auto dry = run_housekeeping(store, rules, std::string("AO-16"), kNow, true);
    EXPECT_EQ(dry.count(), 5u);
    EXPECT_TRUE(fs::exists(ao / "DLX" / "OLD.DLX")) << "a dry run deleted";

    auto run = run_housekeeping(store, rules, std::string("AO-16"), kNow);
    EXPECT_EQ(run.count(), 5u);
    EXPECT_FALSE(fs::exists(ao / "DLX" / "OLD.DLX"));
    EXPECT_TRUE(fs::exists(ao / "DLX" / "new.dlx"));
    EXPECT_FALSE(fs::exists(ao / "Msgs" / "A.DLM"));
    EXPECT_FALSE(fs::exists(ao / "Msgs" / "B.PFH"));
    EXPECT_TRUE(fs::exists(ao / "Msgs" / "C.TXT"));
    EXPECT_FALSE(fs::exists(ao / "12AB.HOL"));
    EXPECT_TRUE(fs::exists(ao / "UP.UL")) << "\"FH Delete UL\" is off";
    EXPECT_TRUE(fs::exists(uo / "DLX" / "OLD.DLX")) << "another satellite was touched";
    EXPECT_EQ(run_housekeeping(store, rules, std::string("ao-16"), kNow).count(), 0u) << "the name compares exactly";

    rules.delete_ul = true;
    rules.oldest_files = 0;
    touch(ao / "NOW.UL", kNow);
    run = run_housekeeping(store, rules, std::nullopt, kNow);
    EXPECT_FALSE(fs::exists(ao / "UP.UL"));
    EXPECT_TRUE(fs::exists(ao / "NOW.UL")) << "age 0: only what was written before now goes";
    EXPECT_FALSE(fs::exists(ao / "DLX" / "new.dlx"));
    EXPECT_FALSE(fs::exists(uo / "DLX" / "OLD.DLX"));
}

TEST(Housekeeping, AFileThatCannotBeDeletedIsNotCounted)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root deletes from a read-only folder";
    test_support::SetupScratch t;
    auto store = t.open();
    fs::path ao = add_satellite(store, t.dir, "AO-16");
    touch(ao / "DLX" / "OLD.DLX", kNow - 20 * 86400);
    fs::permissions(ao / "DLX", fs::perms::owner_read | fs::perms::owner_exec);
    HousekeepingRules rules;
    rules.delete_dlx = true;
    auto run = run_housekeeping(store, rules, std::nullopt, kNow);
    fs::permissions(ao / "DLX", fs::perms::owner_all);
    EXPECT_EQ(run.count(), 0u);
    ASSERT_EQ(run.failures.size(), 1u);
    EXPECT_NE(run.failures[0].find("OLD.DLX"), std::string::npos);
}

namespace {

std::vector<std::uint8_t> holes(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> list, int count = -1)
{
    std::vector<std::uint8_t> out;
    auto put = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put(count < 0 ? static_cast<std::uint32_t>(list.size()) : static_cast<std::uint32_t>(count));
    for (auto [s, e] : list) {
        put(s);
        put(e);
    }
    return out;
}

} // namespace

TEST(EditDirectory, DropsPastHolesAndRaisesTheOpenOne)
{
    test_support::SetupScratch t;
    fs::path file = t.dir / kDirectoryHoleFile;
    const std::uint32_t now = static_cast<std::uint32_t>(kNow);
    ASSERT_TRUE(write_file_atomic(file, holes({{now - 5000, now - 4000}, {now - 100, 0x7FFFFFFF}})));
    ASSERT_TRUE(rewrite_directory_holes(t.dir, {}, kNow));
    EXPECT_EQ(*read_file(file), holes({{now, 0x7FFFFFFF}}));
    EXPECT_FALSE(fs::exists(t.dir / "Brek Dir Holes.TMP"));
    EXPECT_EQ(directory_status(t.dir).value_or("?"), "1 holes");
}

TEST(EditDirectory, RemoveHolesWithResetDate)
{
    test_support::SetupScratch t;
    fs::path file = t.dir / kDirectoryHoleFile;
    const std::uint32_t now = static_cast<std::uint32_t>(kNow);
    ASSERT_TRUE(write_file_atomic(file, holes({{now - 900000, now - 800000}, {now - 100, 0x7FFFFFFF}})));
    ASSERT_TRUE(rewrite_directory_holes(t.dir, {true, true, 2}, kNow));
    EXPECT_EQ(*read_file(file), holes({{now - 2 * 86400, 0x7FFFFFFF}}));
    ASSERT_TRUE(write_file_atomic(file, holes({{now - 900000, now - 800000}, {now - 100, 0x7FFFFFFF}})));
    ASSERT_TRUE(rewrite_directory_holes(t.dir, {true, false, 0}, kNow));
    EXPECT_EQ(*read_file(file), holes({{now - 100, 0x7FFFFFFF}})) << "without Reset Date the last hole's start stays";
}

TEST(EditDirectory, ACountBeyondTheFileIsRefusedAndTheFileKept)
{
    test_support::SetupScratch t;
    fs::path file = t.dir / kDirectoryHoleFile;
    auto bad = holes({{1, 2}, {3, 0x7FFFFFFF}}, 40);
    ASSERT_TRUE(write_file_atomic(file, bad));
    Status s = rewrite_directory_holes(t.dir, {}, kNow);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.error().message.rfind(kEditDirectoryError, 0), 0u);
    EXPECT_EQ(*read_file(file), bad);
    fs::remove(file);
    EXPECT_EQ(rewrite_directory_holes(t.dir, {}, kNow).error().message, kEditDirectoryError);
}

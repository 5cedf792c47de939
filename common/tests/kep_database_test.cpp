#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "common/elements/kep_database.h"

using namespace orva::elements;
namespace fs = std::filesystem;

namespace {
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/orva-kep-XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::vector<std::uint8_t> read_bytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void write_bytes(const fs::path& p, const std::vector<std::uint8_t>& b)
{
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

KepRecord named(std::string name, std::uint16_t catalogue)
{
    KepRecord r;
    r.name = std::move(name);
    r.catalogue = catalogue;
    r.mean_motion = 14.0;
    return r;
}
} // namespace

TEST(KepDatabase, MissingFileGivesEmptySlotsAndSaveWritesExactly8300Bytes)
{
    TempDir dir;
    fs::path p = dir.path() / "Orva.KEP";
    auto db = KepDatabase::load(p);
    ASSERT_TRUE(db.ok()) << db.error().message;
    EXPECT_EQ(db->free_slots(), 50);
    ASSERT_TRUE(db->save(p).ok());
    auto bytes = read_bytes(p);
    ASSERT_EQ(bytes.size(), 8300u);
    for (std::size_t s = 0; s < 50; ++s) {
        EXPECT_EQ(bytes[s * 166 + 97] | (bytes[s * 166 + 98] << 8), 9999);
        EXPECT_EQ(bytes[s * 166 + 0], 0);
    }
    EXPECT_FALSE(fs::exists(dir.path() / "Orva.KEP.tmp"));
}

TEST(KepDatabase, ShortFileFillsWhatItHoldsAndLongFileKeepsItsTail)
{
    TempDir dir;
    fs::path p = dir.path() / "Orva.KEP";
    KepDatabase db;
    db.add_record(named("AO-16", 20439));
    db.add_record(named("UO-22", 21575));
    auto full = db.to_bytes();

    write_bytes(p, std::vector<std::uint8_t>(full.begin(), full.begin() + 166)); // one slot
    auto shortdb = KepDatabase::load(p);
    ASSERT_TRUE(shortdb.ok());
    EXPECT_EQ(shortdb->slot(0).name, "AO-16");
    EXPECT_TRUE(shortdb->slot(1).is_free());
    EXPECT_EQ(shortdb->slot(1).blon, 9999);

    // The engine's 100-slot file: the second half survives a save untouched.
    std::vector<std::uint8_t> engine = full;
    for (std::size_t i = 0; i < 8300; ++i)
        engine.push_back(std::uint8_t(i * 7));
    write_bytes(p, engine);
    auto longdb = KepDatabase::load(p);
    ASSERT_TRUE(longdb.ok());
    longdb->clear_slot(1);
    ASSERT_TRUE(longdb->save(p).ok());
    auto after = read_bytes(p);
    ASSERT_EQ(after.size(), 16600u);
    EXPECT_TRUE(std::equal(after.begin() + 8300, after.end(), engine.begin() + 8300));
    EXPECT_EQ(after[166], 0);
}

TEST(KepDatabase, WrongSizeOrUnreadableFileIsAnErrorAndTheFileIsLeftAsItWas)
{
    TempDir dir;
    fs::path p = dir.path() / "Orva.KEP";
    std::vector<std::uint8_t> odd(8299, 0x55);
    write_bytes(p, odd);
    auto db = KepDatabase::load(p);
    ASSERT_FALSE(db.ok());
    EXPECT_NE(db.error().message.find("8299 bytes"), std::string::npos) << db.error().message;
    auto result = update_database(p, [](KepDatabase&) { return true; });
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(read_bytes(p), odd);

    fs::path folder = dir.path() / "Orva2.KEP";
    fs::create_directory(folder); // a directory cannot be read as a file
    EXPECT_FALSE(KepDatabase::load(folder).ok());
}

TEST(KepDatabase, LookupsAddAndClear)
{
    KepDatabase db;
    EXPECT_EQ(db.find_by_name(""), 0); // an empty name matches the first free slot
    EXPECT_EQ(db.add_record(named("AO-16", 20439)), 0);
    EXPECT_EQ(db.add_record(named("LO-19", 20442)), 1);
    EXPECT_EQ(db.add_record(named("dup", 20442)), 2);
    EXPECT_EQ(db.find_by_name("ao-16"), 0);
    EXPECT_EQ(db.find_by_name("Lo-19"), 1);
    EXPECT_EQ(db.find_by_name("AO-1"), -1);
    EXPECT_EQ(db.find_by_catalogue(20442), 1); // first of two
    EXPECT_EQ(db.find_by_catalogue(0), -1);
    db.clear_slot(0);
    EXPECT_TRUE(db.slot(0).is_free());
    EXPECT_EQ(db.add_record(named("FO-20", 20480)), 0); // first free slot is reused
    for (int i = 0; i < 50; ++i)
        db.add_record(named("S" + std::to_string(i), std::uint16_t(30000 + i)));
    EXPECT_EQ(db.free_slots(), 0);
    EXPECT_EQ(db.add_record(named("LATE", 40000)), -1);
}

TEST(KepDatabase, FileNameIsFoundWithoutRegardToCase)
{
    TempDir dir;
    EXPECT_EQ(kep_database_path(dir.path()).filename(), "Orva.KEP");
    write_bytes(dir.path() / "ORVA.KEP", {});
    EXPECT_EQ(kep_database_path(dir.path()).filename(), "ORVA.KEP");
}

TEST(KepDatabase, ConcurrentReadModifyWriteLosesNoUpdate)
{
    TempDir dir;
    fs::path p = dir.path() / "Orva.KEP";
    KepDatabase db;
    db.add_record(named("AO-16", 20439));
    ASSERT_TRUE(db.save(p).ok());
    constexpr int kRounds = 40;
    auto bump = [&] {
        for (int i = 0; i < kRounds; ++i) {
            auto r = update_database(p, [](KepDatabase& d) {
                d.slot(0).element_set += 1;
                return true;
            });
            ASSERT_TRUE(r.ok()) << r.error().message;
        }
    };
    std::thread a(bump), b(bump), c(bump);
    a.join();
    b.join();
    c.join();
    auto final_db = KepDatabase::load(p);
    ASSERT_TRUE(final_db.ok());
    EXPECT_EQ(final_db->slot(0).element_set, 3 * kRounds);
}

TEST(KepDatabase, UnchangedUpdateDoesNotRewriteTheFile)
{
    TempDir dir;
    fs::path p = dir.path() / "Orva.KEP";
    auto r = update_database(p, [](KepDatabase&) { return false; });
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(*r);
    EXPECT_FALSE(fs::exists(p));
}

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/elements/observer_file.h"

using namespace orva::elements;
namespace fs = std::filesystem;

namespace {
struct TempDir {
    TempDir()
    {
        char tmpl[] = "/tmp/orva-obs-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

std::vector<std::uint8_t> read_bytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
} // namespace

TEST(ObserverFile, RecordLayoutIs50PackedBytes)
{
    ObserverRecord r{"Home", 52.25, -1.5, 75.0};
    ObserverBytes b = encode_observer_record(r);
    EXPECT_EQ(std::memcmp(b.data(), "Home", 5), 0);
    for (std::size_t i = 5; i < 26; ++i)
        EXPECT_EQ(b[i], 0);
    auto f64 = [&](std::size_t at) {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | b[at + std::size_t(i)];
        return std::bit_cast<double>(v);
    };
    EXPECT_EQ(f64(26), 52.25);
    EXPECT_EQ(f64(34), -1.5);
    EXPECT_EQ(f64(42), 75.0);
    EXPECT_EQ(decode_observer_record(b), r);
}

TEST(ObserverFile, StoreReplacesOrAppendsAndLookupIsCaseSensitive)
{
    TempDir dir;
    ObserverFile file(observer_file_path(dir.path));
    EXPECT_EQ(file.path().filename(), "ORVA.OBS");
    auto missing = file.load_observer("Home");
    ASSERT_TRUE(missing.ok());
    EXPECT_FALSE(missing->has_value());

    EXPECT_TRUE(*file.store_observer({"Home", 52.0, 0.1, 20}));
    EXPECT_TRUE(*file.store_observer({"Club", -33.9, 18.4, 5}));
    EXPECT_FALSE(*file.store_observer({"Home", 52.5, 0.2, 30})); // overwritten in place
    auto all = file.read_all();
    ASSERT_TRUE(all.ok());
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ((*all)[0].latitude, 52.5);
    EXPECT_EQ(read_bytes(file.path()).size(), 100u);

    auto home = file.load_observer("Home");
    ASSERT_TRUE(home.ok() && home->has_value());
    EXPECT_NEAR((*home)->latitude_rad, 52.5 * M_PI / 180, 1e-15);
    EXPECT_NEAR((*home)->longitude_east_rad, 0.2 * M_PI / 180, 1e-15);
    EXPECT_FALSE(file.load_observer("home")->has_value());
}

TEST(ObserverFile, DeleteKeepsOrderAndAnUnknownNameLeavesTheFileAlone)
{
    TempDir dir;
    ObserverFile file(dir.path / "ORVA.OBS");
    ASSERT_TRUE(file.store_observer({"A", 1, 1, 1}).ok());
    ASSERT_TRUE(file.store_observer({"B", 2, 2, 2}).ok());
    ASSERT_TRUE(file.store_observer({"C", 3, 3, 3}).ok());
    auto before = read_bytes(file.path());
    EXPECT_FALSE(*file.delete_observer("Z"));
    EXPECT_EQ(read_bytes(file.path()), before);
    EXPECT_TRUE(*file.delete_observer("B"));
    auto all = file.read_all();
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ((*all)[0].name, "A");
    EXPECT_EQ((*all)[1].name, "C");
    for (const auto& entry : fs::directory_iterator(dir.path)) {
        std::string n = entry.path().filename().string();
        EXPECT_TRUE(n == "ORVA.OBS" || n == "ORVA.OBS.lock") << n;
    }
}

TEST(ObserverFile, WrongSizeIsAnErrorAndNothingIsWritten)
{
    TempDir dir;
    fs::path p = dir.path / "ORVA.OBS";
    {
        std::ofstream out(p, std::ios::binary);
        out << std::string(73, 'x');
    }
    ObserverFile file(p);
    EXPECT_FALSE(file.read_all().ok());
    EXPECT_FALSE(file.store_observer({"A", 1, 1, 1}).ok());
    EXPECT_EQ(read_bytes(p).size(), 73u);
}

TEST(ObserverFile, StationAndObserverPathsGiveTheSameSite)
{
    // The station stores its longitude west positive; the observer file east positive.
    ObserverSite a = ObserverSite::from_station("G0ABC", 51.5, 0.75, 10);
    ObserverSite b = ObserverSite::from_record({"x", 51.5, -0.75, 10});
    EXPECT_DOUBLE_EQ(a.latitude_rad, b.latitude_rad);
    EXPECT_DOUBLE_EQ(a.longitude_east_rad, b.longitude_east_rad);
    EXPECT_EQ(a.height_m, b.height_m);
}

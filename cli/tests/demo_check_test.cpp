#include "common/pfh/pfh.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "common/atomic_file.h"
#include "common/pfh/pfh_builder.h"
#include "common/pfh/upload_layout.h"
#include "cli/demo/demo_check.h"
#include "cli/demo/demo_files.h"
#include "cli/hash/sha256.h"

namespace orva::tools {
namespace {

namespace fs = std::filesystem;

class DemoCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("orva-demo-check-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "sat");
        fs::create_directories(dir / "sim");
    }
    void TearDown() override { fs::remove_all(dir); }
    void put(const fs::path& p, const std::vector<std::uint8_t>& bytes) { ASSERT_TRUE(write_file_atomic(p, bytes).ok()); }
    fs::path dir;
};

std::vector<std::uint8_t> served(std::uint32_t number, const std::string& text)
{
    pfh::PfhHeader h;
    h.file_number = number;
    h.file_name = "NEWS    ";
    h.file_ext = "TXT";
    h.title = "News";
    return pfh::build_pfh_file(h, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST_F(DemoCheck, ManifestLinesAndBadLines)
{
    auto m = parse_manifest("1A0 120 " + std::string(64, 'a') + "\n\n2B 7 " + std::string(64, 'b') + "\n");
    ASSERT_TRUE(m.ok());
    ASSERT_EQ(m->size(), 2u);
    EXPECT_EQ((*m)[0].file_number, 0x1A0u);
    EXPECT_EQ((*m)[0].size, 120u);
    EXPECT_EQ((*m)[1].file_number, 0x2Bu);
    EXPECT_FALSE(parse_manifest("1A0 120 abc\n").ok());
    EXPECT_FALSE(parse_manifest("XYZ 1 " + std::string(64, 'a') + "\n").ok());
    EXPECT_FALSE(parse_manifest("0 1 " + std::string(64, 'a') + "\n").ok());
}

// A file that arrived whole passes, one with a changed byte or none at all does not; the
// number is matched without regard to the case of the name.
TEST_F(DemoCheck, DownloadsAgainstTheManifest)
{
    auto good = served(0x1A0, "first file");
    auto bad = served(0x1A1, "second file");
    std::vector<ManifestEntry> m = {{0x1A0, good.size(), sha256_hex(good)},
                                    {0x1A1, bad.size(), sha256_hex(bad)},
                                    {0x1A2, 10, std::string(64, '0')}};
    put(dir / "sat" / "1a0.dl", good);
    bad.back() ^= 1;
    put(dir / "sat" / "1A1.DL", bad);
    auto checks = check_downloads(m, dir / "sat");
    ASSERT_EQ(checks.size(), 3u);
    EXPECT_TRUE(checks[0].ok());
    EXPECT_EQ(checks[0].name, "NEWS"); // item 2 without a user file name
    EXPECT_FALSE(checks[1].ok());
    EXPECT_FALSE(checks[1].path.empty());
    EXPECT_FALSE(checks[2].ok());
    EXPECT_TRUE(checks[2].path.empty());
}

TEST_F(DemoCheck, UploadNeedsTheSatellitesCopyAndTheSentMark)
{
    const std::vector<std::uint8_t> msg = *demo_upload_message("N0CALL", 1796799600);
    put(dir / "sat" / "DEMO.OUT", msg);
    UploadCheck before = check_upload(msg, dir / "sim", dir / "sat");
    EXPECT_FALSE(before.ok());
    ASSERT_EQ(before.still_queued.size(), 1u);

    fs::rename(dir / "sat" / "DEMO.OUT", dir / "sat" / "801.UL");
    UploadCheck half = check_upload(msg, dir / "sim", dir / "sat");
    EXPECT_FALSE(half.ok()); // not on the satellite
    EXPECT_EQ(half.sent.filename(), "801.UL");

    auto other = msg;
    other[other.size() - 3] ^= 0x20;
    put(dir / "sim" / "800.UPL", other);
    EXPECT_FALSE(check_upload(msg, dir / "sim", dir / "sat").ok()); // different bytes
    // Filed as the station sends it: the header carries the server's number, the rest is the same.
    auto numbered = msg;
    numbered[5] = 0x01; // item 1's value, in the standard upload layout
    numbered[6] = 0x08;
    auto layout = pfh::check_upload_layout(msg);
    ASSERT_TRUE(layout) << layout.error().message;
    auto sum = pfh::compute_header_checksum(std::span(numbered).first(layout->header_length));
    ASSERT_TRUE(sum);
    numbered[63] = std::uint8_t(*sum); // item 10's value
    numbered[64] = std::uint8_t(*sum >> 8);
    put(dir / "sim" / "800.UPL", numbered); // under another number than its header's
    EXPECT_FALSE(check_upload(msg, dir / "sim", dir / "sat").ok());
    auto body_changed = numbered;
    body_changed.back() ^= 1;
    put(dir / "sim" / "801.UPL", body_changed);
    EXPECT_FALSE(check_upload(msg, dir / "sim", dir / "sat").ok());
    put(dir / "sim" / "801.UPL", numbered);
    UploadCheck done = check_upload(msg, dir / "sim", dir / "sat");
    EXPECT_TRUE(done.ok());
    EXPECT_EQ(done.on_satellite.filename(), "801.UPL");
    put(dir / "sim" / "801.UPL", msg); // a message filed as it was queued still counts
    EXPECT_TRUE(check_upload(msg, dir / "sim", dir / "sat").ok());
}

TEST_F(DemoCheck, UploadStoredWithTheServersNumberInItsHeaderCounts)
{
    const std::vector<std::uint8_t> msg = *demo_upload_message("N0CALL", 1796799600);
    put(dir / "sat" / "802.UL", msg);
    // The header as the station sends it: item 1 holds 0x802, item 10 the new sum.
    auto stamped = msg;
    std::size_t number_at = 0, sum_at = 0;
    for (std::size_t pos = 2; pos + 3 <= stamped.size();) {
        const std::uint8_t id = stamped[pos], len = stamped[pos + 2];
        pos += 3;
        if (id == 0 && len == 0)
            break;
        if (id == 1) number_at = pos;
        if (id == 10) sum_at = pos;
        pos += len;
    }
    ASSERT_NE(number_at, 0u);
    ASSERT_NE(sum_at, 0u);
    stamped[number_at] = 0x02;
    stamped[number_at + 1] = 0x08;
    auto h = pfh::parse_pfh(stamped, {.check_header_checksum = false});
    ASSERT_TRUE(h);
    auto sum = pfh::compute_header_checksum(std::span(stamped).first(h->header_length));
    ASSERT_TRUE(sum);
    stamped[sum_at] = std::uint8_t(*sum);
    stamped[sum_at + 1] = std::uint8_t(*sum >> 8);
    auto broken = stamped;
    broken.back() ^= 0x01; // a body byte
    put(dir / "sim" / "803.UPL", broken);
    EXPECT_FALSE(check_upload(msg, dir / "sim", dir / "sat").ok());
    put(dir / "sim" / "802.UPL", stamped);
    UploadCheck c = check_upload(msg, dir / "sim", dir / "sat");
    EXPECT_TRUE(c.ok());
    EXPECT_EQ(c.on_satellite.filename(), "802.UPL");
}

} // namespace
} // namespace orva::tools

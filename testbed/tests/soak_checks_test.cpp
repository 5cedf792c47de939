#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "common/atomic_file.h"
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"
#include "common/pfh/upload_layout.h"
#include "engine/files/hole_file.h"
#include "testbed/soak/soak_checks.h"
#include "testbed/soak/soak_files.h"

namespace orva::soak {
namespace {

namespace fs = std::filesystem;

class SoakChecks : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("orva-soak-checks-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        original_ = others_file(0x1A2B, 1'800'000'000, 3000, false, 5);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void write(const std::string& name, std::span<const std::uint8_t> bytes)
    {
        ASSERT_TRUE(write_file_atomic(dir_ / name, bytes).ok());
    }
    // The first `have` bytes received, the rest one open hole.
    void partial(std::uint32_t have, std::uint32_t act_bytes, std::uint32_t length = 0)
    {
        write("1A2B.ACT", std::span(original_).first(act_bytes));
        engine::HoleFile h{length != 0, length,
                           engine::HoleList::from({{have, length != 0 ? length : engine::kOpenEnd}})};
        write("1A2B.HOL", engine::encode_hole_file(h));
    }
    std::vector<PartialProblem> check()
    {
        return check_partials(dir_, [this](std::uint32_t n) { return n == 0x1A2B ? &original_ : nullptr; });
    }

    fs::path dir_;
    std::vector<std::uint8_t> original_;
};

TEST_F(SoakChecks, AHoleListThatMatchesItsDataPasses)
{
    partial(1000, 1000);
    EXPECT_TRUE(check().empty());
    // More data on disk than the list counts is fine: it will be fetched again.
    partial(1000, 2000, std::uint32_t(original_.size()));
    EXPECT_TRUE(check().empty());
}

TEST_F(SoakChecks, AHoleListClaimingBytesThatAreNotThereIsFound)
{
    partial(1500, 1000);
    auto problems = check();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].file, "1A2B.HOL");
    EXPECT_NE(problems[0].problem.find("holds only 1000"), std::string::npos) << problems[0].problem;

    fs::remove(dir_ / "1A2B.ACT");
    problems = check();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].problem.find("no 1A2B.ACT"), std::string::npos) << problems[0].problem;
}

TEST_F(SoakChecks, ReceivedBytesThatDifferFromTheSatellitesCopyAreFound)
{
    partial(1000, 1000);
    std::vector<std::uint8_t> act(original_.begin(), original_.begin() + 1000);
    act[700] ^= 1;
    write("1A2B.ACT", act);
    auto problems = check();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].problem.find("differ"), std::string::npos);
}

TEST_F(SoakChecks, ATornPairIsFound)
{
    partial(1000, 1000);
    write("1A2B.DL", original_);
    auto problems = check();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].problem.find("1A2B.DL lies beside"), std::string::npos);

    fs::remove(dir_ / "1A2B.DL");
    engine::HoleFile h{false, 0, engine::HoleList::from({{600, 800}, {500, engine::kOpenEnd}})};
    write("1A2B.HOL", engine::encode_hole_file(h));
    problems = check();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].problem.find("not a usable"), std::string::npos);

    const std::vector<std::uint8_t> junk = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    write("1A2B.HOL", junk);
    problems = check();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].problem.find("not a usable"), std::string::npos);
}

TEST_F(SoakChecks, WholeFilesAreFoundByTheirHeadersOnce)
{
    fs::create_directories(dir_ / "dlx");
    write("1A2B.DL", original_);
    std::vector<std::uint8_t> other = others_file(0x1A2C, 1'800'000'000, 500, false, 5);
    ASSERT_TRUE(write_file_atomic(dir_ / "dlx" / "1A2C.DLX", std::span<const std::uint8_t>(other)).ok());
    write("NOTES.TXT", std::vector<std::uint8_t>(original_.size(), 'x'));
    // A partial download of full length, its header in place and a hole inside, is not a copy.
    std::vector<std::uint8_t> partial = original_;
    std::fill(partial.begin() + 2000, partial.begin() + 2500, 0);
    write("1A2B.ACT", partial);
    WholeFileScanner scanner;
    std::map<std::uint32_t, std::uint64_t> sizes = {{0x1A2B, original_.size()}, {0x1A2C, other.size()}};
    auto found = scanner.scan(dir_, sizes);
    ASSERT_EQ(found.size(), 2u);
    std::map<std::uint32_t, fs::path> by_number;
    for (const WholeFile& w : found)
        by_number[w.number] = w.path.filename();
    EXPECT_EQ(by_number[0x1A2B], "1A2B.DL");
    EXPECT_EQ(by_number[0x1A2C], "1A2C.DLX");
    EXPECT_TRUE(scanner.scan(dir_, sizes).empty());
}

TEST_F(SoakChecks, AnUploadIsKnownByItsBodyWhateverNumberTheSatelliteGaveIt)
{
    std::vector<std::uint8_t> queued = station_message("N0CALL", 1'800'000'000, 3, 2000);
    auto layout = pfh::check_upload_layout(queued, queued.size());
    ASSERT_TRUE(layout.ok()) << layout.error().message;
    // The satellite files it with its number and upload time written into the header in place.
    std::vector<std::uint8_t> filed = queued;
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            filed[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    put32(pfh::kFileNumberItemAt + pfh::kItemHead, 0x1234);
    put32(layout->upload_time_item_at + pfh::kItemHead, 1'800'000'100);
    auto sum = pfh::compute_header_checksum(std::span(filed).first(layout->header_length));
    ASSERT_TRUE(sum.ok());
    filed[pfh::kHeaderChecksumItemAt + pfh::kItemHead] = std::uint8_t(*sum);
    filed[pfh::kHeaderChecksumItemAt + pfh::kItemHead + 1] = std::uint8_t(*sum >> 8);
    ASSERT_TRUE(pfh::parse_pfh(filed).ok());
    EXPECT_TRUE(is_upload_of(queued, queued));
    EXPECT_TRUE(is_upload_of(queued, filed));
    EXPECT_FALSE(is_upload_of(queued, station_message("N0CALL", 1'800'000'000, 4, 2000)));
    filed.back() ^= 1;
    EXPECT_FALSE(is_upload_of(queued, filed));
}

TEST(SoakLogs, PassStartsAndDispoErrorsAreRead)
{
    const std::string log =
        "2026-12-08T04:12:30Z dispatcher: start pass of AO-16 (AOS 08/12/26 04:13:05, LOS 08/12/26 04:25:40, priority 10)\n"
        "2026-12-08T04:12:31Z pass of AO-16 begins\n"
        "2026-12-08T04:20:00Z dispatcher: end pass of AO-16\n"
        "garbage line\n";
    auto starts = parse_pass_starts(log);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].satellite, "AO-16");
    EXPECT_EQ(starts[0].aos, 1'796'688'000 + 4 * 3600 + 13 * 60 + 5);
    EXPECT_EQ(starts[0].logged, 1'796'688'000 + 4 * 3600 + 12 * 60 + 30);
    auto ends = parse_pass_ends(log);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].satellite, "AO-16");
    EXPECT_EQ(ends[0].logged, 1'796'688'000 + 4 * 3600 + 20 * 60);

    auto errors = parse_dispo_errors("AO-16            1A2B  Body Checksum error.\nshort\n");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].satellite, "AO-16");
    EXPECT_EQ(errors[0].number, 0x1A2Bu);
    EXPECT_EQ(errors[0].message, "Body Checksum error.");
}

} // namespace
} // namespace orva::soak

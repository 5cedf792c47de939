#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/shared_clock.h"

using namespace orva::platform;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;

class SharedClockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("orva-shared-clock-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        file_ = dir_ / "clock";
    }
    void TearDown() override { fs::remove_all(dir_); }
    SharedClockFile::WallNow wall() const
    {
        return [w = wall_] { return w->load(); };
    }
    void advance_wall(std::int64_t ns) { *wall_ += ns; }

    fs::path dir_, file_;
    std::shared_ptr<std::atomic<std::int64_t>> wall_ = std::make_shared<std::atomic<std::int64_t>>(1'700'000'000 * kSecond);
    const TimePoint start_ = TimePoint{std::chrono::seconds{1'800'000'000}};
};

TEST_F(SharedClockTest, ReadersFollowTheWritersRatesWithoutAJump)
{
    auto writer = SharedClockFile::create(file_, start_, 100, wall());
    ASSERT_TRUE(writer.ok()) << writer.error().message;
    auto reader = SharedClockFile::open(file_, wall());
    ASSERT_TRUE(reader.ok()) << reader.error().message;
    EXPECT_EQ(reader->now(), start_);
    EXPECT_EQ(reader->rate(), 100);

    advance_wall(2 * kSecond); // 200 station seconds
    EXPECT_EQ(reader->now(), start_ + 200s);
    ASSERT_TRUE(writer->set_rate(10).ok());
    EXPECT_EQ(reader->now(), start_ + 200s); // a new rate never moves the time
    EXPECT_EQ(reader->rate(), 10);
    advance_wall(3 * kSecond);
    EXPECT_EQ(reader->now(), start_ + 230s);
    EXPECT_EQ(writer->now(), reader->now());
    EXPECT_EQ(reader->segments(), 2u);
}

TEST_F(SharedClockTest, AWallTimeConvertsWithTheRateThatRanThen)
{
    auto writer = SharedClockFile::create(file_, start_, 1000, wall());
    ASSERT_TRUE(writer.ok());
    const std::int64_t t0 = wall_->load();
    advance_wall(1 * kSecond);
    ASSERT_TRUE(writer->set_rate(2).ok());
    advance_wall(10 * kSecond);
    ASSERT_TRUE(writer->set_rate(500).ok());
    advance_wall(kSecond);

    auto reader = SharedClockFile::open(file_, wall());
    ASSERT_TRUE(reader.ok());
    // A file written half a second in was written in the fast stretch; one written five seconds
    // after the slow-down was written in the slow one; extrapolating the rate now in force
    // would put both days off.
    EXPECT_EQ(reader->station_at_wall(t0 + kSecond / 2), start_ + 500s);
    EXPECT_EQ(reader->station_at_wall(t0 + 6 * kSecond), start_ + 1010s);
    EXPECT_EQ(reader->station_at_wall(t0 + 12 * kSecond), start_ + 1020s + 500s);
    // Before the clock began: its first rate, backwards.
    EXPECT_EQ(reader->station_at_wall(t0 - kSecond), start_ - 1000s);
}

TEST_F(SharedClockTest, RefusesWhatIsNotAClockAndWritesOnlyFromTheWriter)
{
    {
        std::ofstream(file_) << "not a clock";
    }
    EXPECT_FALSE(SharedClockFile::open(file_).ok());
    EXPECT_FALSE(SharedClockFile::open(dir_ / "missing").ok());
    EXPECT_FALSE(SharedClockFile::create(file_, start_, 0).ok());

    auto writer = SharedClockFile::create(file_, start_, 5, wall());
    ASSERT_TRUE(writer.ok());
    auto reader = SharedClockFile::open(file_, wall());
    ASSERT_TRUE(reader.ok());
    EXPECT_FALSE(reader->set_rate(7).ok());
    EXPECT_FALSE(writer->set_rate(-1).ok());
    EXPECT_EQ(reader->rate(), 5);
}

// A waiter on the shared clock wakes at its deadline in station time, however fast the clock
// runs: here a minute of station time passes in a few real milliseconds.
TEST_F(SharedClockTest, AWaitEndsAtItsStationDeadline)
{
    auto writer = SharedClockFile::create(file_, start_, 20000);
    ASSERT_TRUE(writer.ok());
    auto opened = SharedClockFile::open(file_);
    ASSERT_TRUE(opened.ok());
    SharedClock clock(std::move(*opened));
    EXPECT_EQ(clock.rate(), 20000);
    const TimePoint deadline = clock.now() + 60s;
    std::mutex m;
    std::condition_variable_any cv;
    EXPECT_FALSE(clock.wait_until(m, cv, deadline, {}, [] { return false; }));
    EXPECT_GE(clock.now(), deadline);
}

// A program started with ORVA_CLOCK_FILE naming the clock keeps its time, and takes a file's age
// on it too: written now, a file is as old as station time says, not as the file system says.
TEST_F(SharedClockTest, AProgramStartedWithTheVariableKeepsTheSharedTime)
{
    auto writer = SharedClockFile::create(file_, start_, 1000);
    ASSERT_TRUE(writer.ok());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setenv(kClockFileVariable, file_.c_str(), 1);
        if (!station_clock_is_shared())
            ::_exit(10);
        const TimePoint now = station_clock().now();
        if (now < start_ || now > start_ + std::chrono::hours(1))
            ::_exit(11);
        if (station_clock().rate() != 1000)
            ::_exit(12);
        const fs::path written = dir_ / "written";
        std::ofstream(written) << "x";
        const TimePoint age = station_time_of(fs::last_write_time(written));
        if (age < now - std::chrono::minutes(1) || age > station_clock().now() + std::chrono::minutes(1))
            ::_exit(13);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: not shared, 11: wrong time, 12: wrong rate, 13: wrong file age";
}

} // namespace

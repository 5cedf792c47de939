#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/system_time.h"

using namespace orva::platform;
using namespace std::chrono_literals;

namespace {

// Tests never change the machine's clock: the system call is replaced by a recorder.
struct Recorder {
    int calls = 0;
    timespec last{};
    int answer = 0;
    SystemTimeSetter::Hooks hooks(bool may)
    {
        return {[may] { return may; }, [this](const timespec& t) {
                    ++calls;
                    last = t;
                    return answer;
                }};
    }
};

const TimePoint satellite_time = TimePoint{std::chrono::seconds(1700000000)} + 900ms;

TEST(SystemTime, RefusedWithoutPermissionAndNothingIsCalled)
{
    Recorder recorder;
    auto status = SystemTimeSetter(recorder.hooks(false)).set(satellite_time);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, EPERM);
    EXPECT_NE(status.error().message.find("CAP_SYS_TIME"), std::string::npos);
    EXPECT_EQ(recorder.calls, 0);
}

TEST(SystemTime, KernelRefusalIsReportedNotHidden)
{
    Recorder recorder;
    recorder.answer = EPERM;
    auto status = SystemTimeSetter(recorder.hooks(true)).set(satellite_time);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, EPERM);
    EXPECT_EQ(recorder.calls, 1);
}

TEST(SystemTime, PermittedSetPassesSecondsAndMilliseconds)
{
    Recorder recorder;
    ASSERT_TRUE(SystemTimeSetter(recorder.hooks(true)).set(satellite_time));
    EXPECT_EQ(recorder.calls, 1);
    EXPECT_EQ(recorder.last.tv_sec, 1700000000);
    EXPECT_EQ(recorder.last.tv_nsec, 900000000);
}

TEST(SystemTime, ImplausibleTimesAreRefused)
{
    Recorder recorder;
    SystemTimeSetter setter(recorder.hooks(true));
    EXPECT_FALSE(setter.set(TimePoint{}));                               // 1970: a zeroed time frame
    EXPECT_FALSE(setter.set(TimePoint{std::chrono::seconds(946684799)})); // 1999-12-31 23:59:59
    EXPECT_FALSE(setter.set(TimePoint{std::chrono::seconds(4102444800)})); // 2100-01-01
    EXPECT_EQ(recorder.calls, 0);
    EXPECT_TRUE(setter.set(TimePoint{std::chrono::seconds(946684800)}));
}

TEST(SystemTime, RealHooksRefuseInAProcessWithoutTheCapability)
{
    // In a child that has dropped CAP_SYS_TIME (tests may run as root), the real path must refuse
    // before any clock call; the kernel would refuse it too. The time asked for is now, so even
    // so nothing would move.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
        if (::syscall(SYS_capget, &header, data) != 0)
            ::_exit(10);
        data[CAP_SYS_TIME / 32].effective &= ~(1u << (CAP_SYS_TIME % 32));
        data[CAP_SYS_TIME / 32].permitted &= ~(1u << (CAP_SYS_TIME % 32));
        if (::syscall(SYS_capset, &header, data) != 0)
            ::_exit(11);
        if (process_may_set_clock())
            ::_exit(12); // never go on to a real call while still permitted
        auto status = SystemTimeSetter().set(SystemClock::instance().now());
        ::_exit(!status && status.error().code == EPERM ? 0 : 13);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace

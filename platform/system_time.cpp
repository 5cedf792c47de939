#include "platform/system_time.h"

#include <cerrno>
#include <cstring>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orva::platform {

bool process_may_set_clock()
{
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    return (data[CAP_SYS_TIME / 32].effective & (1u << (CAP_SYS_TIME % 32))) != 0;
}

SystemTimeSetter::Hooks SystemTimeSetter::system_hooks()
{
    return Hooks{process_may_set_clock, [](const timespec& time) {
                     return ::clock_settime(CLOCK_REALTIME, &time) == 0 ? 0 : errno;
                 }};
}

SystemTimeSetter::SystemTimeSetter(Hooks hooks) : hooks_(std::move(hooks)) {}

Status SystemTimeSetter::set(TimePoint utc) const
{
    using namespace std::chrono;
    const auto since_epoch = utc.time_since_epoch();
    const auto seconds = duration_cast<std::chrono::seconds>(since_epoch);
    if (seconds < std::chrono::seconds(946684800) || seconds >= std::chrono::seconds(4102444800))
        return make_error("the system clock was not set: the time given is implausible", EINVAL);
    if (!hooks_.may_set_clock || !hooks_.may_set_clock())
        return make_error("the system clock was not set: this program may not set it (it needs the CAP_SYS_TIME "
                          "capability: run it as root or grant it with setcap cap_sys_time+ep)",
                          EPERM);
    timespec time{};
    time.tv_sec = static_cast<std::time_t>(seconds.count());
    time.tv_nsec = static_cast<long>(duration_cast<nanoseconds>(since_epoch - seconds).count());
    int error = hooks_.set_realtime ? hooks_.set_realtime(time) : ENOSYS;
    if (error != 0)
        return make_error(std::string("the system clock was not set: ") + std::strerror(error), error);
    return {};
}

} // namespace orva::platform

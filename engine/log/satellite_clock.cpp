#include "engine/log/satellite_clock.h"

#include "engine/log/utc_text.h"
#include "platform/system_time.h"


namespace orva::engine {

Status PlatformClockSetter::set_utc(std::chrono::system_clock::time_point t) {
    return platform::SystemTimeSetter().set(t);
}

std::vector<StatusPost> SatelliteClock::on_satellite_time(std::uint32_t satellite_time,
                                                          std::chrono::system_clock::time_point pc_now) {
    std::vector<StatusPost> posts;
    if (examined_) return posts;
    examined_ = true;
    if (!use_clock_) return posts;
    const std::chrono::sys_seconds sat{std::chrono::seconds(satellite_time)};
    const auto pc = std::chrono::floor<std::chrono::seconds>(pc_now);
    offset_ = sat - pc;
    if (*offset_ > kLargestDifference || *offset_ < -kLargestDifference) {
        posts.push_back({"The time difference is too great.", LineColour::Red});
        posts.push_back({"Your PCs time will not be updated.", LineColour::Red});
        posts.push_back({"Satellite Time [" + utc_text(sat) + "]", LineColour::Red});
        posts.push_back({"Your PCs Time  [" + utc_text(pc) + "]", LineColour::Red});
        return posts;
    }
    if (setter_.set_utc(sat + std::chrono::milliseconds(900))) {
        posts.push_back({"The time has been updated [" + utc_text(sat) + "]", LineColour::Blue});
    } else {
        posts.push_back({"Error setting time.", LineColour::Red});
    }
    return posts;
}

} // namespace orva::engine

// Setting the computer's clock from the satellite's time: only the first telemetry frame of a pass
// is examined, and only a difference of at most 90 seconds either way is taken.
#pragma once

#include "engine/log/status_post.h"
#include "platform/result.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace orva::engine {

class SystemClockSetter {
public:
    virtual ~SystemClockSetter() = default;
    virtual Status set_utc(std::chrono::system_clock::time_point t) = 0;
};

// The platform's call: refused where the process may not set the clock.
class PlatformClockSetter final : public SystemClockSetter {
public:
    Status set_utc(std::chrono::system_clock::time_point t) override;
};

class SatelliteClock {
public:
    static constexpr std::chrono::seconds kLargestDifference{90};

    SatelliteClock(bool use_clock, SystemClockSetter& setter) : use_clock_(use_clock), setter_(setter) {}

    // `satellite_time`: seconds since 1970 from the telemetry frame; `pc_now`: the computer's UTC.
    std::vector<StatusPost> on_satellite_time(std::uint32_t satellite_time, std::chrono::system_clock::time_point pc_now);

    // Satellite minus computer, from the frame that was examined.
    std::optional<std::chrono::seconds> offset() const { return offset_; }

private:
    bool use_clock_;
    SystemClockSetter& setter_;
    bool examined_ = false;
    std::optional<std::chrono::seconds> offset_;
};

} // namespace orva::engine

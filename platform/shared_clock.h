// A station clock that several programs share and that may run faster than the wall clock, so a
// test bench can run days of passes in minutes with every program on one time. One writer owns a
// small file of rate segments; a program started with ORVA_CLOCK_FILE naming that file takes its
// station time from it. Station time never jumps: a new rate starts a segment where the last one
// has got to. Segments are only appended, so a wall time (a file's modification time) converts to
// the station time it had when it was written.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/clock.h"
#include "platform/result.h"

namespace orva::platform {

// The environment variable that names the shared clock's file.
inline constexpr const char* kClockFileVariable = "ORVA_CLOCK_FILE";

struct ClockSegment {
    std::int64_t wall_ns = 0;    // from this wall time (CLOCK_REALTIME, ns since 1970) on
    std::int64_t station_ns = 0; // station time then
    double rate = 1;             // station seconds per wall second
};

class SharedClockFile {
public:
    using WallNow = std::function<std::int64_t()>; // ns since 1970; the real clock unless a test's

    // The writer: a new file whose station time starts at `start` now, at `rate`.
    static Result<SharedClockFile> create(const std::filesystem::path& file, TimePoint start, double rate,
                                          WallNow wall = {});
    // A reader (or a second look by the writer's own children).
    static Result<SharedClockFile> open(const std::filesystem::path& file, WallNow wall = {});

    SharedClockFile(SharedClockFile&&) noexcept;
    SharedClockFile& operator=(SharedClockFile&&) noexcept;
    ~SharedClockFile();

    // Writer only: from now on station time runs at `rate` (> 0).
    Status set_rate(double rate);

    TimePoint now() const;
    double rate() const;
    // The station time it was at wall time `wall_ns`.
    TimePoint station_at_wall(std::int64_t wall_ns) const;
    std::size_t segments() const;

private:
    struct Map;
    explicit SharedClockFile(std::unique_ptr<Map> map, WallNow wall);
    ClockSegment last() const;
    std::unique_ptr<Map> map_;
    WallNow wall_;
};

class SharedClock final : public Clock {
public:
    explicit SharedClock(SharedClockFile file) : file_(std::move(file)) {}
    TimePoint now() const override { return file_.now(); }
    double rate() const override { return file_.rate(); }
    bool wait_until(std::mutex& mutex, std::condition_variable_any& cv, TimePoint deadline, std::stop_token stop,
                    const std::function<bool()>& pred) const override;
    const SharedClockFile& file() const { return file_; }

private:
    SharedClockFile file_;
};

// The clock a program's station time comes from: the shared clock ORVA_CLOCK_FILE names, else
// the system clock. Looked up once; a file that cannot be opened is reported on standard error
// and the system clock is used.
const Clock& station_clock();
// Whether station_clock() is a shared clock.
bool station_clock_is_shared();
// The station time a file was last written at (its modification time on the station clock).
TimePoint station_time_of(std::filesystem::file_time_type written);

} // namespace orva::platform

#include "platform/shared_clock.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace orva::platform {

namespace fs = std::filesystem;

namespace {

// "ORVACLK1", capacity (u32), unused (u32), count (u64), then the segments: wall ns, station ns
// and the rate's bits, 8 bytes each. Segments are written before the count that makes them
// visible, and never change afterwards.
constexpr char kMagic[8] = {'O', 'R', 'V', 'A', 'C', 'L', 'K', '1'};
constexpr std::uint32_t kCapacity = 4096;
constexpr std::size_t kHeader = 24;
constexpr std::size_t kSegment = 24;
constexpr std::size_t kFileSize = kHeader + kCapacity * kSegment;
// A waiter looks at the rate at least this often, so a change of rate is followed promptly.
constexpr auto kLongestSlice = std::chrono::milliseconds(50);

std::int64_t realtime_ns()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::int64_t station_ns_of(const ClockSegment& s, std::int64_t wall_ns)
{
    return s.station_ns + std::int64_t(std::llround(double(wall_ns - s.wall_ns) * s.rate));
}

TimePoint to_time_point(std::int64_t ns)
{
    return TimePoint{std::chrono::duration_cast<Duration>(std::chrono::nanoseconds(ns))};
}

} // namespace

struct SharedClockFile::Map {
    std::uint8_t* base = nullptr;
    bool writable = false;
    ~Map()
    {
        if (base)
            ::munmap(base, kFileSize);
    }
    std::uint64_t* count() const { return reinterpret_cast<std::uint64_t*>(base + 16); }
    std::int64_t* field(std::size_t segment, int which) const
    {
        return reinterpret_cast<std::int64_t*>(base + kHeader + segment * kSegment + std::size_t(which) * 8);
    }
    std::uint64_t load_count() const { return __atomic_load_n(count(), __ATOMIC_ACQUIRE); }
    ClockSegment load(std::size_t i) const
    {
        ClockSegment s;
        s.wall_ns = __atomic_load_n(field(i, 0), __ATOMIC_RELAXED);
        s.station_ns = __atomic_load_n(field(i, 1), __ATOMIC_RELAXED);
        s.rate = std::bit_cast<double>(__atomic_load_n(field(i, 2), __ATOMIC_RELAXED));
        return s;
    }
    void store(std::size_t i, const ClockSegment& s) const
    {
        __atomic_store_n(field(i, 0), s.wall_ns, __ATOMIC_RELAXED);
        __atomic_store_n(field(i, 1), s.station_ns, __ATOMIC_RELAXED);
        __atomic_store_n(field(i, 2), std::bit_cast<std::int64_t>(s.rate), __ATOMIC_RELAXED);
        __atomic_store_n(count(), std::uint64_t(i + 1), __ATOMIC_RELEASE);
    }
};

SharedClockFile::SharedClockFile(std::unique_ptr<Map> map, WallNow wall) : map_(std::move(map)), wall_(std::move(wall))
{
    if (!wall_)
        wall_ = realtime_ns;
}
SharedClockFile::SharedClockFile(SharedClockFile&&) noexcept = default;
SharedClockFile& SharedClockFile::operator=(SharedClockFile&&) noexcept = default;
SharedClockFile::~SharedClockFile() = default;

Result<SharedClockFile> SharedClockFile::create(const fs::path& file, TimePoint start, double rate, WallNow wall)
{
    if (!(rate > 0))
        return make_error("a clock rate must be above 0");
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return make_error("cannot create the clock file " + file.string() + ": " + std::strerror(errno), errno);
    if (::ftruncate(fd, off_t(kFileSize)) != 0) {
        const int e = errno;
        ::close(fd);
        return make_error("cannot size the clock file " + file.string() + ": " + std::strerror(e), e);
    }
    void* p = ::mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    const int e = errno;
    ::close(fd);
    if (p == MAP_FAILED)
        return make_error("cannot map the clock file " + file.string() + ": " + std::strerror(e), e);
    auto map = std::make_unique<Map>();
    map->base = static_cast<std::uint8_t*>(p);
    map->writable = true;
    std::memcpy(map->base, kMagic, sizeof kMagic);
    std::memcpy(map->base + 8, &kCapacity, sizeof kCapacity);
    SharedClockFile clock(std::move(map), std::move(wall));
    ClockSegment first;
    first.wall_ns = clock.wall_();
    first.station_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
    first.rate = rate;
    clock.map_->store(0, first);
    return clock;
}

Result<SharedClockFile> SharedClockFile::open(const fs::path& file, WallNow wall)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return make_error("cannot open the clock file " + file.string() + ": " + std::strerror(errno), errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || std::size_t(st.st_size) != kFileSize) {
        ::close(fd);
        return make_error(file.string() + " is not a clock file (its size is wrong)");
    }
    void* p = ::mmap(nullptr, kFileSize, PROT_READ, MAP_SHARED, fd, 0);
    const int e = errno;
    ::close(fd);
    if (p == MAP_FAILED)
        return make_error("cannot map the clock file " + file.string() + ": " + std::strerror(e), e);
    auto map = std::make_unique<Map>();
    map->base = static_cast<std::uint8_t*>(p);
    if (std::memcmp(map->base, kMagic, sizeof kMagic) != 0 || map->load_count() == 0)
        return make_error(file.string() + " is not a clock file");
    return SharedClockFile(std::move(map), std::move(wall));
}

ClockSegment SharedClockFile::last() const
{
    return map_->load(std::size_t(map_->load_count() - 1));
}

Status SharedClockFile::set_rate(double rate)
{
    if (!map_->writable)
        return make_error("the clock file is open for reading only");
    if (!(rate > 0))
        return make_error("a clock rate must be above 0");
    const std::uint64_t n = map_->load_count();
    if (n >= kCapacity)
        return make_error("the clock file holds no more rate changes");
    ClockSegment s;
    s.wall_ns = wall_();
    s.station_ns = station_ns_of(map_->load(std::size_t(n - 1)), s.wall_ns);
    s.rate = rate;
    map_->store(std::size_t(n), s);
    return {};
}

TimePoint SharedClockFile::now() const
{
    return to_time_point(station_ns_of(last(), wall_()));
}

double SharedClockFile::rate() const { return last().rate; }

std::size_t SharedClockFile::segments() const { return std::size_t(map_->load_count()); }

TimePoint SharedClockFile::station_at_wall(std::int64_t wall_ns) const
{
    const std::size_t n = std::size_t(map_->load_count());
    // Before the clock began it ran at its first rate.
    ClockSegment s = map_->load(0);
    for (std::size_t i = n; i-- > 0;) {
        ClockSegment c = map_->load(i);
        if (c.wall_ns <= wall_ns) {
            s = c;
            break;
        }
    }
    return to_time_point(station_ns_of(s, wall_ns));
}

bool SharedClock::wait_until(std::mutex& mutex, std::condition_variable_any& cv, TimePoint deadline,
                             std::stop_token stop, const std::function<bool()>& pred) const
{
    std::unique_lock lock(mutex);
    if (deadline == never)
        return cv.wait(lock, stop, pred);
    for (;;) {
        if (pred())
            return true;
        if (stop.stop_requested())
            return false;
        const auto left = deadline - now();
        if (left <= Duration::zero())
            return false;
        const double wall_ns = double(std::chrono::duration_cast<std::chrono::nanoseconds>(left).count()) / rate();
        auto slice = std::chrono::nanoseconds(std::int64_t(std::ceil(wall_ns)));
        if (slice > kLongestSlice)
            slice = kLongestSlice;
        if (cv.wait_for(lock, stop, slice, pred))
            return true;
    }
}

namespace {
const SharedClock* chosen_shared_clock()
{
    static const std::unique_ptr<SharedClock> shared = []() -> std::unique_ptr<SharedClock> {
        const char* path = std::getenv(kClockFileVariable);
        if (!path || !*path)
            return nullptr;
        auto file = SharedClockFile::open(path);
        if (!file) {
            std::fprintf(stderr, "%s names no usable clock (%s); the system clock is used\n", kClockFileVariable,
                         file.error().message.c_str());
            return nullptr;
        }
        return std::make_unique<SharedClock>(std::move(*file));
    }();
    return shared.get();
}
} // namespace

const Clock& station_clock()
{
    if (const SharedClock* c = chosen_shared_clock())
        return *c;
    return SystemClock::instance();
}

bool station_clock_is_shared() { return chosen_shared_clock() != nullptr; }

TimePoint station_time_of(fs::file_time_type written)
{
    const auto sys = std::chrono::file_clock::to_sys(written);
    const SharedClock* c = chosen_shared_clock();
    if (!c)
        return std::chrono::time_point_cast<Duration>(sys);
    return c->file().station_at_wall(std::chrono::duration_cast<std::chrono::nanoseconds>(sys.time_since_epoch()).count());
}

} // namespace orva::platform

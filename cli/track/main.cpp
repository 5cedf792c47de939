// orva track SAT [--rotator-only] [--seconds N] [--from TIME]: drives the configured rotator and
// radio after one satellite with a live line (azimuth, elevation, frequencies), for checking a
// station's hardware without a pass, and leaves the antenna parked. --from runs the station
// clock from another time (a pass that is not overhead now).
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "platform/options/program_options.h"
#include "platform/store/store.h"
#include "station/app/station_rig.h"

using namespace orva;
using namespace std::chrono_literals;

namespace {

std::atomic<bool> interrupted{false};

// The system clock moved by a fixed offset.
class OffsetClock final : public platform::Clock {
public:
    explicit OffsetClock(platform::Duration offset) : offset_(offset) {}
    platform::TimePoint now() const override { return platform::SystemClock::instance().now() + offset_; }
    bool wait_until(std::mutex& mutex, std::condition_variable_any& cv, platform::TimePoint deadline,
                    std::stop_token stop, const std::function<bool()>& pred) const override
    {
        platform::TimePoint real = deadline == platform::never ? deadline : deadline - offset_;
        return platform::SystemClock::instance().wait_until(mutex, cv, real, stop, pred);
    }

private:
    platform::Duration offset_;
};

} // namespace

int main(int argc, char** argv)
{
    std::string name, from_text;
    bool rotator_only = false;
    long seconds = 0; // 0: until interrupted
    platform::ProgramOptions cli("orva track", "Drives the rotator and radio after one satellite with a live line, "
                                               "then parks the antenna.");
    cli.positional("SATELLITE", name, "The satellite's name")
        .flag("--rotator-only", rotator_only, "Leave the radio alone")
        .option("--seconds", seconds, "Stop after this many seconds (default: at Ctrl+C)", "N", 1, 86400)
        .option("--from", from_text, "Run the station clock from this UTC time", "TIME");
    if (auto code = cli.parse(argc, argv))
        return *code;

    platform::Duration offset{};
    if (!from_text.empty()) {
        auto t = parse_iso8601(from_text);
        if (!t) {
            return cli.usage_error("\"" + from_text + "\" is not a UTC time like 2026-12-09T01:30:00Z");
        }
        offset = std::chrono::duration_cast<platform::Duration>(t->time_since_epoch()) -
                 platform::SystemClock::instance().now().time_since_epoch();
    }
    OffsetClock clock(offset);

    auto store = platform::Store::open_default(platform::Access::ReadOnly);
    if (!store) {
        std::fprintf(stderr, "orva track: cannot open the store: %s\n", store.error().message.c_str());
        return 1;
    }
    settings::GeneralSettings general = settings::read_general(*store, settings::Program::Tool);
    settings::StationSettings st = settings::read_station(*store, settings::Program::Tool);
    settings::RotatorSettings rotator = settings::read_rotator(*store);

    std::atomic<int> failures{0};
    station::StationRigHooks hooks;
    hooks.log = [](const std::string& l) { std::fprintf(stderr, "%s\n", l.c_str()); };
    hooks.warn = [&failures](const std::string& t, const std::string& c) {
        std::fprintf(stderr, "%s: %s\n", c.c_str(), t.c_str());
        ++failures;
    };
    auto rig = station::StationRig::open(store->file(), general.orva_directory,
                                         elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude,
                                                                              st.altitude),
                                         hooks, clock);
    if (!rig) {
        std::fprintf(stderr, "orva track: %s\n", rig.error().message.c_str());
        return 1;
    }
    station::StationRig& r = **rig;
    std::printf("rotator %s, %s\n", r.control().model().name, rotator_only ? "rotator only" : "rotator and radio");
    r.open_at_start();
    r.track(name, rotator_only);
    if (r.control().tracked().empty()) {
        std::fprintf(stderr, "orva track: %s is not being tracked\n", name.c_str());
        r.control().park_now();
        r.shutdown();
        return 1;
    }

    std::signal(SIGINT, [](int) { interrupted = true; });
    std::signal(SIGTERM, [](int) { interrupted = true; });
    bool tty = ::isatty(STDOUT_FILENO);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!interrupted && (seconds == 0 || std::chrono::steady_clock::now() < end)) {
        std::this_thread::sleep_for(1s);
        std::string line = r.status_line();
        if (line.empty())
            line = name + ": waiting for the first position";
        std::printf(tty ? "\r%-78s" : "%s\n", line.c_str());
        std::fflush(stdout);
    }
    if (tty)
        std::printf("\n");
    r.track("", rotator_only);
    r.control().park_now();
    std::printf("parked at %u %u\n", rotator.park_az, rotator.park_el);
    r.shutdown();
    return 0;
}

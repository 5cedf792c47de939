// What a soak run will do, decided before it starts from the station's predicted passes and one
// seed: when the shared clock slows down for a pass, which faults strike when, which files other
// stations upload to the satellites and which messages the station queues. The same passes and
// seed give the same plan, so a run that found something can be repeated.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orva::soak {

struct SoakPass {
    std::string satellite;
    std::int64_t aos = 0, los = 0, run_start = 0, run_end = 0;
    std::int64_t start_lead = 25; // seconds the program starts before run_start
    int max_elevation = 0;
    bool scheduled = false; // the dispatcher runs it (no conflict took it)
};

enum class FaultKind {
    HelmoKillBetweenPasses, // kill -9 of helmo while no pass runs
    HelmoKillInPass,        // kill -9 of helmo during a pass
    BrekKill,               // kill -9 of brek mid-download
    TncVanishes,            // the simulator's pseudo-terminal closes mid-pass, back at the next pass
    SatelliteSilent,        // a pass whose satellite never answers
    CorruptBody,            // a file whose body does not match its header's checksum
    StoreLocked,            // another writer holds the store's write lock for a while
};
inline constexpr int kFaultKinds = 7;
const char* fault_name(FaultKind kind);

struct PlannedFault {
    FaultKind kind;
    std::int64_t at = 0; // station time
    // A fault in the middle of a pass waits from `at` for a download in progress, and strikes
    // by `latest` whatever happens.
    std::int64_t latest = 0;
    std::string satellite;
    std::int64_t pass_aos = 0; // the pass it strikes, for the pass faults
    double hold_seconds = 0;   // StoreLocked: wall seconds the lock is held
};

struct PlannedFile {
    std::int64_t at = 0;
    std::string satellite;
    std::uint32_t size = 0; // body bytes
    bool corrupt = false;
};

struct PlannedUpload {
    std::int64_t at = 0;
    std::string satellite;
    std::uint32_t size = 0; // body bytes
};

// The clock runs slowly from `from` to `to` (station times): a pass is on.
struct SlowWindow {
    std::int64_t from = 0, to = 0;
};

struct PlanSettings {
    std::int64_t start = 0; // station time the run begins
    double days = 1;
    std::uint64_t seed = 1;
    std::vector<std::string> satellites;    // those whose passes run
    std::int64_t lead_seconds = 60;         // slow this long before the program's start
    std::int64_t tail_seconds = 60;         // and this long after the pass's end
    double files_per_day = 8;               // per satellite, uploaded by other stations
    double uploads_per_day = 2;             // per satellite, queued by this station
    int files_at_start = 4;                 // per satellite, already there when the run begins
    std::vector<int> housekeeping_hours;    // UTC hours of the daily housekeeping events
    double short_lock_seconds = 3;          // within the store's busy wait
    double long_lock_seconds = 20;          // beyond it
};

struct SoakPlan {
    std::vector<SoakPass> passes; // of the run's span, in AOS order
    std::vector<SlowWindow> windows;
    std::vector<PlannedFault> faults; // in time order
    std::vector<PlannedFile> files;   // in time order
    std::vector<PlannedUpload> uploads;
    std::int64_t quiet_from = 0; // no new files or uploads from then on: the last passes catch up
    std::int64_t end = 0;
};

SoakPlan make_plan(std::vector<SoakPass> passes, const PlanSettings& settings);

// Whether station time `t` falls in one of the windows.
bool in_window(const std::vector<SlowWindow>& windows, std::int64_t t);

} // namespace orva::soak

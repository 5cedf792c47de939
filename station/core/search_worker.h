// The pass-search worker: sweeps the search list under the schedule lock, one sweep at a time,
// until it is empty or the worker is told to stop; then it signals that it has finished.
#pragma once

#include <cstdint>

#include "platform/manual_event.h"
#include "platform/worker_thread.h"
#include "station/core/station_core.h"

namespace orva::station {

class SearchWorker {
public:
    explicit SearchWorker(StationCore& core) : core_(core) {}
    ~SearchWorker() { stop(); }

    // The previous worker is stopped and joined first (it ends after its current sweep).
    void start(std::int64_t now, std::int64_t schedule_days);
    void stop() { thread_.stop(); }
    const platform::ManualEvent& finished() const { return finished_; }

private:
    StationCore& core_;
    platform::ManualEvent finished_{true};
    platform::WorkerThread thread_;
};

} // namespace orva::station

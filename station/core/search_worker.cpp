#include "station/core/search_worker.h"

namespace orva::station {

void SearchWorker::start(std::int64_t now, std::int64_t schedule_days)
{
    thread_.stop();
    finished_.reset();
    std::int64_t horizon_end = now + schedule_days * 86400;
    thread_.start([this, now, horizon_end](std::stop_token stop) {
        while (!stop.stop_requested() && core_.search_sweep(now, horizon_end)) {
        }
        finished_.set();
    });
}

} // namespace orva::station

#include "station/app/headless_host.h"

#include "common/station_time.h"

namespace orva::station {

TerminalView::~TerminalView()
{
    if (out_ && out_ != stdout)
        std::fclose(out_);
}

Status TerminalView::open()
{
    if (options_.log_file.empty())
        return {};
    std::FILE* f = std::fopen(options_.log_file.c_str(), "a");
    if (!f)
        return make_error("cannot open the log " + options_.log_file.string());
    out_ = f;
    return {};
}

void TerminalView::line(const std::string& text)
{
    std::int64_t t = host_ ? host_->now() : 0;
    std::lock_guard lock(mutex_);
    std::string stamp = format_iso8601(StationTime(std::chrono::seconds(t)));
    std::fprintf(out_, "%s %s\n", stamp.c_str(), text.c_str());
    std::fflush(out_);
}

void TerminalView::refresh(std::int64_t now)
{
    if (!options_.table || !host_)
        return;
    // The first table a few seconds in, once the search and the next-event workers have answered.
    if (last_table_ == 0)
        last_table_ = now - 57;
    if (now - last_table_ < 60)
        return;
    last_table_ = now;
    LiveView v = host_->core().live_view(now);
    std::string block = std::string(kTrackingHeading) + "\n";
    for (const std::string& r : v.rows)
        block += r + "\n";
    block += std::string(kScheduleHeading) + "\n";
    std::size_t shown = 0;
    for (const std::string& r : v.schedule)
        if (shown++ < 8)
            block += r + "\n";
    if (!v.status.empty())
        block += v.status + "\n";
    std::lock_guard lock(mutex_);
    std::fprintf(out_, "%s", block.c_str());
    std::fflush(out_);
}

} // namespace orva::station

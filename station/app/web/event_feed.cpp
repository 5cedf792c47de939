#include "station/app/web/event_feed.h"

#include <algorithm>

namespace orva::station {

void EventFeed::publish(const std::string& name, std::string data)
{
    {
        std::lock_guard lock(mutex_);
        Event& e = latest_[name];
        if (e.sequence != 0 && e.data == data)
            return;
        e.sequence = ++sequence_;
        e.name = name;
        e.data = std::move(data);
    }
    changed_.notify_all();
}

std::optional<std::string> EventFeed::latest(const std::string& name) const
{
    std::lock_guard lock(mutex_);
    auto it = latest_.find(name);
    if (it == latest_.end())
        return std::nullopt;
    return it->second.data;
}

std::vector<EventFeed::Event> EventFeed::wait_after(std::uint64_t after, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return closed_ || sequence_ > after; });
    std::vector<Event> out;
    if (closed_)
        return out;
    for (const auto& [name, e] : latest_)
        if (e.sequence > after)
            out.push_back(e);
    std::sort(out.begin(), out.end(), [](const Event& a, const Event& b) { return a.sequence < b.sequence; });
    return out;
}

void EventFeed::close()
{
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool EventFeed::closed() const
{
    std::lock_guard lock(mutex_);
    return closed_;
}

} // namespace orva::station

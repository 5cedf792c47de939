#include "platform/timers.h"

namespace orva::platform {

TimerQueue::TimerQueue(const Clock& clock) : clock_(clock) {}

TimerId TimerQueue::start(Duration delay, Callback callback, Duration period)
{
    if (delay < Duration::zero())
        delay = Duration::zero();
    if (period < Duration::zero())
        period = Duration::zero();
    TimerId id;
    std::function<void()> notify;
    {
        std::lock_guard lock(mutex_);
        id = next_id_++;
        Key key{clock_.now() + delay, next_order_++};
        by_due_.emplace(key, Entry{id, period, std::make_shared<Callback>(std::move(callback))});
        by_id_.emplace(id, key);
        notify = on_change_;
    }
    if (notify)
        notify();
    return id;
}

bool TimerQueue::cancel(TimerId id)
{
    std::lock_guard lock(mutex_);
    auto it = by_id_.find(id);
    if (it == by_id_.end())
        return false;
    by_due_.erase(it->second);
    by_id_.erase(it);
    return true;
}

std::optional<TimePoint> TimerQueue::next_due() const
{
    std::lock_guard lock(mutex_);
    if (by_due_.empty())
        return std::nullopt;
    return by_due_.begin()->first.due;
}

std::size_t TimerQueue::pending() const
{
    std::lock_guard lock(mutex_);
    return by_due_.size();
}

std::size_t TimerQueue::run_due()
{
    std::size_t ran = 0;
    const TimePoint now = clock_.now();
    // Timers started by a callback for "now" wait for the next call, so a zero-period chain
    // cannot spin here forever.
    std::uint64_t last_order;
    {
        std::lock_guard lock(mutex_);
        last_order = next_order_;
    }
    for (;;) {
        std::shared_ptr<Callback> callback;
        {
            std::lock_guard lock(mutex_);
            auto it = by_due_.begin();
            while (it != by_due_.end() && it->first.due <= now && it->first.order >= last_order)
                ++it;
            if (it == by_due_.end() || it->first.due > now)
                break;
            Entry entry = it->second;
            TimePoint due = it->first.due;
            by_due_.erase(it);
            by_id_.erase(entry.id);
            callback = entry.callback;
            if (entry.period > Duration::zero()) {
                // A late repeating timer skips the beats it missed instead of firing a burst.
                TimePoint next = due + entry.period;
                if (next <= now)
                    next = now + entry.period;
                Key key{next, next_order_++};
                by_due_.emplace(key, entry);
                by_id_.emplace(entry.id, key);
            }
        }
        (*callback)();
        ++ran;
    }
    return ran;
}

void TimerQueue::set_on_change(std::function<void()> on_change)
{
    std::lock_guard lock(mutex_);
    on_change_ = std::move(on_change);
}

TimerThread::TimerThread(const Clock& clock) : clock_(clock), queue_(clock)
{
    queue_.set_on_change([this] {
        std::lock_guard lock(mutex_);
        changed_ = true;
        cv_.notify_all();
    });
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

TimerThread::~TimerThread()
{
    thread_.request_stop();
    if (thread_.joinable())
        thread_.join();
}

TimerId TimerThread::start(Duration delay, Callback callback, Duration period)
{
    return queue_.start(delay, std::move(callback), period);
}

bool TimerThread::cancel(TimerId id)
{
    return queue_.cancel(id);
}

void TimerThread::run(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        TimePoint due = queue_.next_due().value_or(never);
        clock_.wait_until(mutex_, cv_, due, stop, [this] { return changed_; });
        {
            std::lock_guard lock(mutex_);
            changed_ = false;
        }
        if (!stop.stop_requested())
            queue_.run_due();
    }
}

} // namespace orva::platform

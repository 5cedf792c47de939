#include "platform/qt/event_loop_timers.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace orva::platform::qt {

namespace {

class EventLoopTimers final : public Timers {
public:
    explicit EventLoopTimers(const Clock& clock) : clock_(clock), queue_(clock)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &context_, [this] {
            queue_.run_due();
            rearm();
        });
        // Started from any thread: the re-arming happens on ours.
        queue_.set_on_change([this] { QMetaObject::invokeMethod(&context_, [this] { rearm(); }, Qt::AutoConnection); });
    }

    ~EventLoopTimers() override { queue_.set_on_change(nullptr); }

    TimerId start(Duration delay, Callback callback, Duration period) override
    {
        return queue_.start(delay, std::move(callback), period);
    }
    bool cancel(TimerId id) override { return queue_.cancel(id); }

private:
    void rearm()
    {
        auto due = queue_.next_due();
        if (!due) {
            timer_.stop();
            return;
        }
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*due - clock_.now());
        // A manual clock does not move by itself: check again at least four times a second.
        timer_.start(static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, 250)));
    }

    const Clock& clock_;
    TimerQueue queue_;
    QObject context_;
    QTimer timer_;
};

} // namespace

std::unique_ptr<Timers> event_loop_timers(const Clock& clock)
{
    return std::make_unique<EventLoopTimers>(clock);
}

} // namespace orva::platform::qt

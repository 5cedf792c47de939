// A thread with a run flag: its function receives a stop token and returns when asked to stop.
// Destroying the worker asks it to stop and joins it, so no thread outlives its owner.
#pragma once

#include <functional>
#include <stop_token>
#include <thread>
#include <utility>

namespace orva::platform {

class WorkerThread {
public:
    WorkerThread() = default;
    explicit WorkerThread(std::function<void(std::stop_token)> body) { start(std::move(body)); }
    WorkerThread(WorkerThread&&) noexcept = default;
    WorkerThread& operator=(WorkerThread&& other) noexcept
    {
        stop();
        thread_ = std::move(other.thread_);
        return *this;
    }
    ~WorkerThread() { stop(); }

    // Stops any thread already running, then starts the new one.
    void start(std::function<void(std::stop_token)> body)
    {
        stop();
        thread_ = std::jthread(std::move(body));
    }
    void request_stop() { thread_.request_stop(); }
    // Asks the thread to stop and waits for it; a no-op when none runs or when called from the
    // thread itself (which then ends on its own).
    void stop()
    {
        if (!thread_.joinable())
            return;
        thread_.request_stop();
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
            return;
        }
        thread_.join();
    }
    bool running() const { return thread_.joinable(); }
    std::stop_token stop_token() const { return thread_.get_stop_token(); }

private:
    std::jthread thread_;
};

} // namespace orva::platform

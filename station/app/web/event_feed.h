// The web view's live documents, shared between the station's thread that writes them and the
// server's threads that send them: the latest document of each name ("live", "engine", "map",
// "log") with a sequence number. A client that falls behind gets only the latest of each.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orva::station {

class EventFeed {
public:
    struct Event {
        std::uint64_t sequence = 0;
        std::string name;
        std::string data; // one line of JSON
    };

    void publish(const std::string& name, std::string data);
    std::optional<std::string> latest(const std::string& name) const;
    // The latest document of each name newer than `after`, oldest first; waits up to `timeout` for
    // one. Empty on a timeout or once the feed is closed.
    std::vector<Event> wait_after(std::uint64_t after, std::chrono::milliseconds timeout) const;
    // Wakes every waiter for good (the server is stopping).
    void close();
    bool closed() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::string, Event> latest_;
    std::uint64_t sequence_ = 0;
    bool closed_ = false;
};

} // namespace orva::station

// Real peers for the rotator tests: a pseudo-terminal whose far side the test plays as the
// controller, rotctld and rigctld (Hamlib's dummy models) on free loopback ports, and a
// recorder of what the station told its operator.
#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/testing/spawned_child.h"

namespace orva::station::testing {

using namespace std::chrono_literals;

// Waits for a condition other threads make true, notified through `changed()`.
class Waitable {
public:
    void changed()
    {
        std::lock_guard lock(mutex_);
        cv_.notify_all();
    }
    template <class Pred>
    bool wait(Pred pred, std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, limit, [&] { return pred(); });
    }
    std::mutex& mutex() { return mutex_; }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
};

// The controller's side of a serial line.
class PtyPeer {
public:
    PtyPeer()
    {
        char name[256] = {};
        EXPECT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        path_ = name;
        reader_ = std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested()) {
                pollfd p{master_, POLLIN, 0};
                if (::poll(&p, 1, 50) <= 0)
                    continue;
                char buf[512];
                ssize_t n = ::read(master_, buf, sizeof buf);
                if (n <= 0)
                    continue;
                {
                    std::lock_guard lock(waitable_.mutex());
                    received_.append(buf, std::size_t(n));
                }
                waitable_.changed();
            }
        });
    }
    ~PtyPeer()
    {
        reader_.request_stop();
        reader_.join();
        ::close(master_);
        ::close(slave_);
    }
    const std::string& path() const { return path_; }
    void write(const std::string& text) { ASSERT_EQ(::write(master_, text.data(), text.size()), ssize_t(text.size())); }
    // Waits until everything received so far contains `text` after the last mark.
    bool wait_for(const std::string& text, std::chrono::milliseconds limit = 10s)
    {
        return waitable_.wait([&] { return received_.find(text, mark_) != std::string::npos; }, limit);
    }
    // Forgets what came so far for later wait_for calls.
    void mark()
    {
        std::lock_guard lock(waitable_.mutex());
        mark_ = received_.size();
    }
    std::string received()
    {
        std::lock_guard lock(waitable_.mutex());
        return received_;
    }

private:
    int master_ = -1, slave_ = -1;
    std::string path_;
    Waitable waitable_;
    std::string received_;
    std::size_t mark_ = 0;
    std::jthread reader_;
};

inline int free_loopback_port()
{
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    int port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

inline int connect_loopback(int port)
{
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

// rotctld or rigctld with the dummy model on a free loopback port, and a plain client of its
// text protocol to read back what it holds.
class HamlibDaemon {
public:
    HamlibDaemon(const std::string& program, const std::filesystem::path& log) : port_(free_loopback_port())
    {
        child_ = test_support::Child({program, "-m", "1", "-T", "127.0.0.1", "-t", std::to_string(port_)}, log, false);
        // The daemon is ready when it accepts a connection.
        for (int i = 0; i < 500 && fd_ < 0; ++i) {
            fd_ = connect_loopback(port_);
            if (fd_ < 0)
                std::this_thread::sleep_for(10ms);
        }
        EXPECT_GE(fd_, 0) << program << " did not come up";
    }
    ~HamlibDaemon()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Sends one command and returns the reply's lines (as many as expected).
    std::vector<std::string> ask(const std::string& command, std::size_t lines)
    {
        std::string c = command + "\n";
        EXPECT_EQ(::write(fd_, c.data(), c.size()), ssize_t(c.size()));
        std::vector<std::string> out;
        std::string line;
        while (out.size() < lines) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                break;
            char ch;
            if (::read(fd_, &ch, 1) != 1)
                break;
            if (ch == '\n') {
                out.push_back(line);
                line.clear();
            } else {
                line += ch;
            }
        }
        return out;
    }

private:
    int port_;
    int fd_ = -1;
    test_support::Child child_;
};

} // namespace orva::station::testing

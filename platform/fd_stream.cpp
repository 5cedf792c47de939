#include "platform/fd_stream.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace orva::platform {

std::string errno_text(int error)
{
    return std::strerror(error);
}

FdStream::FdStream(int fd, Kind kind, std::string name, std::size_t read_chunk)
    : fd_(fd), wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), kind_(kind), name_(std::move(name)),
      read_chunk_(read_chunk == 0 ? 750 : read_chunk)
{
}

FdStream::~FdStream()
{
    if (receiver_id_.load() == std::this_thread::get_id()) {
        // Destroyed from one of our own handlers: the thread ends when the handler returns.
        closing_->store(true);
        receiver_.detach();
        release();
        return;
    }
    close();
}

bool FdStream::is_open() const
{
    return !closing_->load();
}

namespace {

void receive_loop(int fd, int wake_fd, const std::string& name, bool socket, std::size_t chunk,
                  std::shared_ptr<std::atomic<bool>> closing, const ByteStream::DataHandler& on_data,
                  const ByteStream::ErrorHandler& on_error)
{
    std::vector<std::uint8_t> buffer(chunk);
    auto fail = [&](std::string message, int code) {
        if (!closing->load() && on_error)
            on_error(make_error(std::move(message), code));
    };
    while (!closing->load()) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
        int n = ::poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("waiting on " + name + ": " + errno_text(errno), errno);
            return;
        }
        if (closing->load() || (fds[1].revents & POLLIN))
            return;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got > 0) {
                if (on_data && !closing->load())
                    on_data(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)));
                continue;
            }
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (got == 0)
                fail(socket ? name + ": the server closed the connection" : name + ": the device is gone (hung up)", 0);
            else
                fail(name + ": " + errno_text(errno) + (errno == EIO ? " (device unplugged?)" : ""), errno);
            return;
        }
        if (fds[0].revents & POLLNVAL) {
            fail(name + " is no longer open", EBADF);
            return;
        }
    }
}

} // namespace

Status FdStream::start_receiving(DataHandler on_data, ErrorHandler on_error)
{
    std::lock_guard lock(close_mutex_);
    if (closed_ || closing_->load())
        return make_error(name_ + " is closed");
    if (receiver_.joinable())
        return make_error(name_ + " is already receiving");
    if (wake_fd_ < 0)
        return make_error("cannot create the receive thread's wake-up for " + name_, errno);
    // The thread gets copies of everything it touches, so it never reads this object.
    receiver_ = std::thread([fd = fd_, wake = wake_fd_, name = name_, socket = kind_ == Kind::Socket,
                             chunk = read_chunk_, closing = closing_, on_data = std::move(on_data),
                             on_error = std::move(on_error)] {
        receive_loop(fd, wake, name, socket, chunk, closing, on_data, on_error);
    });
    receiver_id_ = receiver_.get_id();
    return {};
}

Status FdStream::write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout)
{
    std::lock_guard lock(write_mutex_);
    if (closing_->load())
        return make_error(name_ + " is closed");
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = kind_ == Kind::Socket ? ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL)
                                          : ::write(fd_, bytes.data() + sent, bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return make_error("writing to " + name_ + ": " + errno_text(errno), errno);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || closing_->load())
            return make_error("writing to " + name_ + " timed out: " + std::to_string(sent) + " of " +
                                  std::to_string(bytes.size()) + " bytes sent",
                              ETIMEDOUT);
        pollfd fds[2] = {{fd_, POLLOUT, 0}, {wake_fd_, POLLIN, 0}};
        int r = ::poll(fds, 2, static_cast<int>(left.count()) + 1);
        if (r < 0 && errno != EINTR)
            return make_error("waiting to write to " + name_ + ": " + errno_text(errno), errno);
        if (fds[0].revents & (POLLERR | POLLHUP) && !(fds[0].revents & POLLOUT))
            return make_error("writing to " + name_ + ": the device is gone", EIO);
    }
    return {};
}

std::size_t FdStream::output_queued() const
{
    int queued = 0;
    if (closing_->load() || ::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued < 0)
        return 0;
    return static_cast<std::size_t>(queued);
}

void FdStream::close()
{
    closing_->store(true);
    if (wake_fd_ >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto ignored = ::write(wake_fd_, &one, sizeof one);
    }
    // From a handler the receive thread cannot be joined; the owner's close or destructor frees the rest.
    if (receiver_id_.load() == std::this_thread::get_id())
        return;
    std::lock_guard lock(close_mutex_);
    if (closed_)
        return;
    if (receiver_.joinable())
        receiver_.join();
    release();
}

void FdStream::release()
{
    // A writer blocked in poll wakes on the eventfd too; taking its lock waits for it to leave.
    std::lock_guard writer(write_mutex_);
    if (fd_ >= 0) {
        // Unsent output would make close() wait for the device to drain it. Output already sent
        // stays: on a pseudo-terminal flushing would discard what the far end has not read yet.
        if (kind_ == Kind::Tty) {
            int queued = 0;
            const bool stuck = ::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0;
            ::tcflush(fd_, stuck ? TCIOFLUSH : TCIFLUSH);
        }
        ::close(fd_);
    }
    fd_ = -1;
    if (wake_fd_ >= 0)
        ::close(wake_fd_);
    wake_fd_ = -1;
    closed_ = true;
}

} // namespace orva::platform

#include "engine/link/byte_stream.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace orva::engine {
namespace {

using std::chrono::milliseconds;

// A write that cannot make progress for this long has a peer that stopped reading.
constexpr milliseconds kWriteStall{2000};

Error sys_error(const std::string& what, int err) { return make_error(what + ": " + std::strerror(err), err); }

class FdStream : public ByteStream {
public:
    FdStream(int fd, std::string name, bool is_tty) : fd_(fd), name_(std::move(name)), tty_(is_tty) {
        if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    }
    // The descriptor is released only here, once no thread can be waiting on it.
    ~FdStream() override {
        close();
        ::close(fd_);
        for (int f : wake_)
            if (f >= 0) ::close(f);
    }

    Result<std::size_t> read_some(std::span<std::uint8_t> buffer, milliseconds timeout) override {
        const int fd = fd_;
        if (closed_) return make_error(name_ + " is closed");
        pollfd p[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int n = ::poll(p, wake_[0] >= 0 ? 2 : 1, int(timeout.count()));
        if (n < 0) {
            if (errno == EINTR) return std::size_t(0);
            return sys_error(name_, errno);
        }
        if (n == 0) return std::size_t(0);
        if (p[1].revents) return make_error(name_ + " is closed");
        if (p[0].revents & (POLLERR | POLLNVAL)) return make_error(name_ + ": device error");
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got > 0) return std::size_t(got);
        if (got == 0) return make_error(name_ + ": the other end closed the connection");
        if (errno == EAGAIN || errno == EINTR) return std::size_t(0);
        return sys_error(name_, errno);
    }

    Status write_all(std::span<const std::uint8_t> bytes) override {
        const int fd = fd_;
        if (closed_) return make_error(name_ + " is closed");
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return sys_error(name_, errno);
            pollfd p{fd, POLLOUT, 0};
            const int r = ::poll(&p, 1, int(kWriteStall.count()));
            if (r == 0) return make_error(name_ + ": the TNC is not taking data");
            if (r < 0 && errno != EINTR) return sys_error(name_, errno);
        }
        return {};
    }

    std::size_t output_queued() const override {
        int queued = 0;
        const int fd = fd_;
        if (closed_ || ::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
        return std::size_t(queued);
    }

    std::uint32_t take_overruns() override {
        if (!tty_) return 0;
        serial_icounter_struct c{};
        if (::ioctl(fd_, TIOCGICOUNT, &c) != 0) return 0;
        const auto total = std::uint32_t(c.overrun + c.buf_overrun);
        const auto fresh = total - last_overruns_;
        last_overruns_ = total;
        return fresh;
    }

    void purge() override {
        // Input only: the last bytes of the exit sequence must still reach the TNC.
        if (tty_ && !closed_) ::tcflush(fd_, TCIFLUSH);
    }

    void close() override {
        if (closed_.exchange(true)) return;
        if (wake_[1] >= 0) {
            const char b = 1;
            [[maybe_unused]] auto ignored = ::write(wake_[1], &b, 1);
        }
        // A TCP peer sees the end at once; the descriptor itself waits for the destructor.
        ::shutdown(fd_, SHUT_RDWR);
    }

    std::string describe() const override { return name_; }

private:
    int fd_;
    std::atomic<bool> closed_{false};
    std::string name_;
    bool tty_;
    int wake_[2] = {-1, -1};
    std::uint32_t last_overruns_ = 0;
};

speed_t baud(std::uint32_t speed) {
    switch (speed) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
    }
}

} // namespace

Result<std::unique_ptr<ByteStream>> open_serial_stream(const std::string& device, std::uint32_t speed) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return sys_error(device, errno);
    auto fail = [&](const std::string& what) -> Result<std::unique_ptr<ByteStream>> {
        const int err = errno;
        ::close(fd);
        return sys_error(device + ": " + what, err);
    };
    if (!::isatty(fd)) {
        ::close(fd);
        return make_error(device + " is not a serial device");
    }
    if (::ioctl(fd, TIOCEXCL) != 0) return fail("cannot open exclusively");
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return fail("cannot read the line settings");
    ::cfmakeraw(&t);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    // 76800 bit/s has no POSIX constant; such a port keeps the speed it has.
    if (const speed_t b = baud(speed); b != B0) {
        ::cfsetispeed(&t, b);
        ::cfsetospeed(&t, b);
    }
    if (::tcsetattr(fd, TCSANOW, &t) != 0) return fail("cannot set the line settings");
    return std::unique_ptr<ByteStream>(new FdStream(fd, device, true));
}

Result<std::unique_ptr<ByteStream>> connect_tcp_stream(const std::string& address, milliseconds connect_timeout) {
    const auto colon = address.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == address.size())
        return make_error("TNC address \"" + address + "\" is not host:port");
    std::string host = address.substr(0, colon);
    const std::string port = address.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0)
        return make_error("TNC address \"" + address + "\": " + ::gai_strerror(rc));
    std::string last_error = "no address";
    for (addrinfo* ai = found; ai; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) continue;
        int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            rc = ::poll(&p, 1, int(connect_timeout.count()));
            if (rc == 0) {
                last_error = "no answer within " + std::to_string(connect_timeout.count()) + " ms";
                ::close(fd);
                continue;
            }
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
            rc = err == 0 ? 0 : -1;
            errno = err;
        }
        if (rc != 0) {
            last_error = std::strerror(errno);
            ::close(fd);
            continue;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ::freeaddrinfo(found);
        return std::unique_ptr<ByteStream>(new FdStream(fd, address, false));
    }
    ::freeaddrinfo(found);
    return make_error("TNC address \"" + address + "\": " + last_error);
}

} // namespace orva::engine

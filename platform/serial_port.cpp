#include "platform/serial_port.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "platform/fd_stream.h"

namespace orva::platform {

int set_serial_speed_any(int fd, unsigned speed);

namespace {

speed_t speed_constant(std::uint32_t speed)
{
    switch (speed) {
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    default: return 0;
    }
}

Error failure(const std::string& what, const std::string& device, int code)
{
    return make_error(what + " " + device + ": " + errno_text(code), code);
}

} // namespace

Result<std::unique_ptr<ByteStream>> open_serial_port(const std::string& device, const SerialSettings& settings)
{
    if (settings.speed == 0)
        return make_error("serial speed 0 is not a speed (" + device + ")");
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failure("cannot open serial port", device, errno);
    auto give_up = [fd](Error error) {
        ::close(fd);
        return Result<std::unique_ptr<ByteStream>>(std::move(error));
    };
    if (!::isatty(fd))
        return give_up(make_error(device + " is not a serial device", ENOTTY));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return give_up(errno == EWOULDBLOCK ? make_error("serial port " + device + " is in use by another program", EBUSY)
                                            : failure("cannot lock serial port", device, errno));
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return give_up(failure("cannot read the settings of", device, errno));
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (settings.flow == FlowControl::Hardware)
        tio.c_cflag |= CRTSCTS;
    if (settings.flow == FlowControl::XonXoff)
        tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    speed_t constant = speed_constant(settings.speed);
    if (constant != 0) {
        ::cfsetispeed(&tio, constant);
        ::cfsetospeed(&tio, constant);
    }
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return give_up(failure("cannot configure serial port", device, errno));
    if (constant == 0 && set_serial_speed_any(fd, settings.speed) != 0)
        return give_up(make_error("serial port " + device + " does not take " + std::to_string(settings.speed) + " bit/s",
                                  EINVAL));
    // Modem lines: devices without them (pseudo-terminals, some USB adaptors) refuse, which is fine.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ::ioctl(fd, settings.dtr ? TIOCMBIS : TIOCMBIC, &dtr);
    if (settings.flow != FlowControl::Hardware)
        ::ioctl(fd, settings.rts ? TIOCMBIS : TIOCMBIC, &rts);
    ::tcflush(fd, TCIOFLUSH);
    return std::unique_ptr<ByteStream>(std::make_unique<FdStream>(fd, FdStream::Kind::Tty, device, settings.read_chunk));
}

Result<std::unique_ptr<ByteStream>> open_tcp_stream(std::string_view host_port, std::chrono::milliseconds connect_timeout,
                                                    std::size_t read_chunk)
{
    const std::string name(host_port);
    auto colon = host_port.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == host_port.size())
        return make_error("\"" + name + "\" is not host:port");
    std::string host(host_port.substr(0, colon));
    std::string port(host_port.substr(colon + 1));
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0)
        return make_error("cannot find " + name + ": " + ::gai_strerror(rc));
    int last_error = ECONNREFUSED;
    for (addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) {
            last_error = errno;
            continue;
        }
        int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS) {
            pollfd pfd{fd, POLLOUT, 0};
            int ready = ::poll(&pfd, 1, static_cast<int>(connect_timeout.count()));
            if (ready == 1) {
                int error = 0;
                socklen_t len = sizeof error;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
                rc = error == 0 ? 0 : -1;
                errno = error;
            } else {
                rc = -1;
                if (ready == 0)
                    errno = ETIMEDOUT;
            }
        }
        if (rc == 0) {
            ::freeaddrinfo(found);
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one); // one frame, one segment
            return std::unique_ptr<ByteStream>(std::make_unique<FdStream>(fd, FdStream::Kind::Socket, name, read_chunk));
        }
        last_error = errno;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return make_error("cannot connect to KISS server " + name + ": " + errno_text(last_error), last_error);
}

Result<std::unique_ptr<ByteStream>> open_byte_stream(std::string_view name, const SerialSettings& settings,
                                                     const PortLookup& lookup)
{
    auto target = resolve_port_name(name, lookup);
    if (!target)
        return target.error();
    if (target->kind == PortKind::Tcp)
        return open_tcp_stream(target->address, std::chrono::seconds(5), settings.read_chunk);
    return open_serial_port(target->address, settings);
}

} // namespace orva::platform

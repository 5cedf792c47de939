#include "engine/app/link_port.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace orva::engine {

namespace {

speed_t baud(std::uint32_t speed)
{
    switch (speed) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B19200;
    }
}

} // namespace

Result<int> open_serial_device(const std::string& device, std::uint32_t speed)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return make_error("cannot open the TNC port " + device + ": " + std::strerror(errno), errno);
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&t, baud(speed));
        ::cfsetospeed(&t, baud(speed));
        ::tcsetattr(fd, TCSANOW, &t);
    }
    return fd;
}

Result<int> open_tcp_tnc(const std::string& address)
{
    const auto colon = address.rfind(':');
    if (colon == std::string::npos)
        return make_error("TNC address \"" + address + "\" is not host:port");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(std::uint16_t(std::atoi(address.c_str() + colon + 1)));
    std::string host = address.substr(0, colon);
    if (host == "localhost")
        host = "127.0.0.1";
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1)
        return make_error("TNC address \"" + address + "\": not a numeric IPv4 address");
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const int e = errno;
        if (fd >= 0)
            ::close(fd);
        return make_error("cannot connect to the TNC at " + address + ": " + std::strerror(e), e);
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

} // namespace orva::engine

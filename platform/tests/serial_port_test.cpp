#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include "platform/serial_port.h"

using namespace orva::platform;
using namespace std::chrono_literals;

namespace {

// Everything a stream delivered, with a wait for "at least n bytes" or "an error".
struct Collector {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> chunks;
    std::vector<orva::Error> errors;

    ByteStream::DataHandler on_data()
    {
        return [this](std::span<const std::uint8_t> chunk) {
            std::lock_guard lock(mutex);
            bytes.insert(bytes.end(), chunk.begin(), chunk.end());
            chunks.push_back(chunk.size());
            cv.notify_all();
        };
    }
    ByteStream::ErrorHandler on_error()
    {
        return [this](const orva::Error& error) {
            std::lock_guard lock(mutex);
            errors.push_back(error);
            cv.notify_all();
        };
    }
    bool wait_bytes(std::size_t n)
    {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, 10s, [&] { return bytes.size() >= n; });
    }
    bool wait_error()
    {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, 10s, [&] { return !errors.empty(); });
    }
};

struct Pty {
    int master = -1;
    std::string device;
    Pty()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            ADD_FAILURE() << "openpty failed";
        // Raw on both sides, so line discipline does not rewrite 0x0D or echo anything.
        termios tio{};
        ::tcgetattr(slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
        device = name;
    }
    ~Pty() { close_master(); }
    void close_master()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    std::vector<std::uint8_t> read_master(std::size_t n)
    {
        std::vector<std::uint8_t> got;
        while (got.size() < n) {
            pollfd pfd{master, POLLIN, 0};
            if (::poll(&pfd, 1, 10000) != 1)
                break;
            std::uint8_t buf[4096];
            ssize_t r = ::read(master, buf, sizeof buf);
            if (r <= 0)
                break;
            got.insert(got.end(), buf, buf + r);
        }
        return got;
    }
    void write_master(const std::vector<std::uint8_t>& bytes)
    {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t w = ::write(master, bytes.data() + sent, bytes.size() - sent);
            ASSERT_GT(w, 0);
            sent += static_cast<std::size_t>(w);
        }
    }
};

std::vector<std::uint8_t> every_byte_value(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF); // includes C0, DB, 11, 13, 0D, 0A
    return bytes;
}

class SerialSpeed : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(SerialSpeed, BytesBothWaysUnchanged)
{
    Pty pty;
    SerialSettings settings;
    settings.speed = GetParam();
    auto port = open_serial_port(pty.device, settings);
    ASSERT_TRUE(port) << port.error().message;
    Collector in;
    ASSERT_TRUE((*port)->start_receiving(in.on_data(), in.on_error()));

    auto out = every_byte_value(3000);
    ASSERT_TRUE((*port)->write(out, 5s));
    EXPECT_EQ(pty.read_master(out.size()), out);

    auto back = every_byte_value(5000);
    std::reverse(back.begin(), back.end());
    pty.write_master(back);
    ASSERT_TRUE(in.wait_bytes(back.size()));
    EXPECT_EQ(in.bytes, back);
    for (std::size_t chunk : in.chunks)
        EXPECT_LE(chunk, 750u);
    EXPECT_TRUE(in.errors.empty());
    (*port)->close();
    EXPECT_FALSE((*port)->is_open());
}

INSTANTIATE_TEST_SUITE_P(Pty, SerialSpeed, ::testing::Values(9600u, 115200u, 76800u));

TEST(SerialPort, SpeedIsApplied)
{
    Pty pty;
    auto port = open_serial_port(pty.device, SerialSettings{.speed = 115200});
    ASSERT_TRUE(port);
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.master, &tio), 0);
    // The pty pair shares one set of termios settings.
    EXPECT_EQ(::cfgetospeed(&tio), B115200);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
}

TEST(SerialPort, MissingDeviceIsAClearError)
{
    auto port = open_serial_port("/dev/orva-no-such-port", {});
    ASSERT_FALSE(port);
    EXPECT_NE(port.error().message.find("/dev/orva-no-such-port"), std::string::npos);
    EXPECT_EQ(port.error().code, ENOENT);
}

TEST(SerialPort, NotATerminalIsRefused)
{
    auto port = open_serial_port("/dev/null", {});
    ASSERT_FALSE(port);
    EXPECT_NE(port.error().message.find("not a serial device"), std::string::npos);
}

TEST(SerialPort, SecondOpenOfTheSamePortIsRefused)
{
    Pty pty;
    auto first = open_serial_port(pty.device, {});
    ASSERT_TRUE(first);
    auto second = open_serial_port(pty.device, {});
    ASSERT_FALSE(second);
    EXPECT_NE(second.error().message.find("in use"), std::string::npos);
    (*first)->close();
    EXPECT_TRUE(open_serial_port(pty.device, {}));
}

TEST(SerialPort, UnpluggedDeviceIsAnErrorNotAHang)
{
    Pty pty;
    auto port = open_serial_port(pty.device, {});
    ASSERT_TRUE(port);
    Collector in;
    ASSERT_TRUE((*port)->start_receiving(in.on_data(), in.on_error()));
    pty.write_master({1, 2, 3});
    ASSERT_TRUE(in.wait_bytes(3));
    pty.close_master();
    ASSERT_TRUE(in.wait_error());
    EXPECT_EQ(in.errors.size(), 1u);
    EXPECT_NE(in.errors[0].message.find(pty.device), std::string::npos);
    std::uint8_t byte = 0x55;
    EXPECT_FALSE((*port)->write({&byte, 1}, 1s));
    (*port)->close();
}

TEST(SerialPort, CloseWhileThePeerIsWriting)
{
    Pty pty;
    auto port = open_serial_port(pty.device, {});
    ASSERT_TRUE(port);
    Collector in;
    ASSERT_TRUE((*port)->start_receiving(in.on_data(), in.on_error()));
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        std::vector<std::uint8_t> burst(512, 0xC0);
        ::fcntl(pty.master, F_SETFL, O_NONBLOCK);
        while (!stop)
            [[maybe_unused]] auto ignored = ::write(pty.master, burst.data(), burst.size());
    });
    ASSERT_TRUE(in.wait_bytes(4096));
    (*port)->close();
    std::size_t after_close;
    {
        std::lock_guard lock(in.mutex);
        after_close = in.bytes.size();
    }
    stop = true;
    peer.join();
    std::lock_guard lock(in.mutex);
    EXPECT_EQ(in.bytes.size(), after_close); // nothing delivered once close returned
    EXPECT_TRUE(in.errors.empty());
}

TEST(SerialPort, WriteToAStalledDeviceTimesOut)
{
    Pty pty; // nobody reads the master: the pty buffer fills
    auto port = open_serial_port(pty.device, {});
    ASSERT_TRUE(port);
    std::vector<std::uint8_t> big(1 << 20, 0x41);
    auto status = (*port)->write(big, 50ms);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().code, ETIMEDOUT);
    EXPECT_NE(status.error().message.find("timed out"), std::string::npos);
    (*port)->close(); // must not wait for the stuck output to drain
}

TEST(SerialPort, HandlerMayCloseTheStream)
{
    Pty pty;
    auto port = open_serial_port(pty.device, {});
    ASSERT_TRUE(port);
    ByteStream* stream = port->get();
    Collector in;
    auto record = in.on_data();
    ASSERT_TRUE(stream->start_receiving(
        [&](std::span<const std::uint8_t> chunk) {
            stream->close();
            record(chunk);
        },
        in.on_error()));
    pty.write_master({9});
    ASSERT_TRUE(in.wait_bytes(1));
    EXPECT_FALSE(stream->is_open());
    port->reset(); // frees what the handler could not
}

// A loopback KISS server as direwolf offers one.
struct TcpServer {
    int listener = -1;
    int port = 0;
    TcpServer()
    {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(::listen(listener, 1), 0);
        socklen_t len = sizeof addr;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
        port = ntohs(addr.sin_port);
    }
    ~TcpServer() { ::close(listener); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port); }
};

TEST(TcpStream, KissOverTcpBothWaysAndServerCloseSeen)
{
    TcpServer server;
    auto stream = open_byte_stream(server.address(), {}, nullptr);
    ASSERT_TRUE(stream) << stream.error().message;
    int peer = ::accept(server.listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    Collector in;
    ASSERT_TRUE((*stream)->start_receiving(in.on_data(), in.on_error()));

    const std::vector<std::uint8_t> frame = {0xC0, 0x00, 0x96, 0xDB, 0xDC, 0xC0};
    ASSERT_TRUE((*stream)->write(frame, 1s));
    std::vector<std::uint8_t> got(frame.size());
    std::size_t have = 0;
    while (have < got.size()) {
        ssize_t r = ::read(peer, got.data() + have, got.size() - have);
        ASSERT_GT(r, 0);
        have += static_cast<std::size_t>(r);
    }
    EXPECT_EQ(got, frame);

    auto back = every_byte_value(2000);
    ASSERT_EQ(::write(peer, back.data(), back.size()), static_cast<ssize_t>(back.size()));
    ASSERT_TRUE(in.wait_bytes(back.size()));
    EXPECT_EQ(in.bytes, back);

    ::close(peer);
    ASSERT_TRUE(in.wait_error());
    EXPECT_NE(in.errors[0].message.find("closed the connection"), std::string::npos);
}

TEST(TcpStream, RefusedConnectionIsAClearError)
{
    int port;
    {
        TcpServer server;
        port = server.port;
    } // closed: nothing listens there now
    auto stream = open_tcp_stream("127.0.0.1:" + std::to_string(port), 2s);
    ASSERT_FALSE(stream);
    EXPECT_NE(stream.error().message.find("cannot connect"), std::string::npos);
    EXPECT_EQ(stream.error().code, ECONNREFUSED);
}

} // namespace

// orva satsim: a simulated PACSAT satellite behind a KISS TNC, on a pseudo-terminal or a TCP port.
#include "engine/link/kiss_decoder.h"
#include "engine/link/kiss_encoder.h"
#include "cli/satsim/channel.h"
#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/ftl0/uploaded_file.h"
#include "cli/satsim/satellite.h"
#include "cli/hash/sha256.h"

#include "common/atomic_file.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace orva;

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

void usage()
{
    std::fprintf(stderr,
                 "usage: orva satsim --folder DIR [--pty | --tcp PORT | --kiss-connect HOST:PORT] [--real-server] [--loss P] [--corrupt P] [--reorder P]\n"
                 "                   [--seed N] [--rate BYTES_PER_S] [--speed X] [--queue-line S] [--duration S]\n"
                 "                   [--bdcst-call CALL] [--bbs-call CALL] [--refuse CODE] [--cut-at SHARE]\n"
                 "                   [--uplink-loss P] [--manifest FILE] [--log-requests]\n"
                 "Serves the files of DIR as a PACSAT satellite. With --pty it prints \"PTY <path>\" on the first\n"
                 "line; --speed runs the simulated clock X times faster than real time. --loss drops that share\n"
                 "of the frames both ways (--uplink-loss sets the uplink's share apart); --seed N repeats a run's\n"
                 "losses in both directions. Uploads to the BBS\n"
                 "callsign are stored in DIR; --refuse answers each with that FTL0 error code, --cut-at drops\n"
                 "the link once that share of a file has arrived. --manifest writes one line per served file:\n"
                 "its number in hexadecimal, its size and the SHA-256 of the whole file as broadcast.\n"
                 "--real-server behaves as the servers in service do (texts with a NUL, \"OK CALL\" answers,\n"
                 "fixed 191-byte chunks, no N bit, uploads filed under the number in their header).\n"
                 "--kiss-connect reaches a KISS TNC on TCP (a soundcard modem) as its client; losses are\n"
                 "then the radio's own unless --loss is given. --log-requests prints a line for each\n"
                 "request heard and each queue line sent.\n");
}

struct Uplink : engine::KissSink {
    satsim::Satellite* sat = nullptr;
    satsim::Ftl0Server* server = nullptr;
    satsim::Channel* channel = nullptr;
    std::uint64_t now = 0;
    std::uint64_t bytes = 0;
    bool log_requests = false;
    void on_kiss_frame(std::uint8_t port, std::span<const std::uint8_t> frame) override
    {
        if (port != 0)
            return;
        bytes += frame.size();
        for (const auto& f : channel->pass(std::vector<std::uint8_t>(frame.begin(), frame.end()))) {
            const auto before = sat->counters();
            sat->on_uplink_frame(f, now);
            server->on_uplink_frame(f, now);
            if (!log_requests)
                continue;
            const auto& after = sat->counters();
            if (after.dir_requests > before.dir_requests)
                std::printf("REQUEST DIRECTORY at %.1f s\n", double(now) / 1000);
            if (after.requests > before.requests)
                std::printf("REQUEST FILE at %.1f s\n", double(now) / 1000);
            std::fflush(stdout);
        }
    }
};

int set_nonblocking(int fd) { return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Connects to a KISS TNC's TCP port, trying for a few seconds while the modem comes up.
int connect_kiss(const std::string& address)
{
    const auto colon = address.rfind(':');
    if (colon == std::string::npos) {
        std::fprintf(stderr, "orva satsim: --kiss-connect needs HOST:PORT, not \"%s\"\n", address.c_str());
        return -1;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    const int port = std::atoi(address.c_str() + colon + 1);
    std::string host = address.substr(0, colon);
    if (host == "localhost")
        host = "127.0.0.1";
    if (port <= 0 || port > 65535 || ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
        std::fprintf(stderr, "orva satsim: --kiss-connect needs HOST:PORT with a numeric address, not \"%s\"\n",
                     address.c_str());
        return -1;
    }
    addr.sin_port = htons(std::uint16_t(port));
    int last_error = 0;
    for (int attempt = 0; attempt < 50 && !g_stop; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            break;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            set_nonblocking(fd);
            return fd;
        }
        last_error = errno;
        ::close(fd);
        ::usleep(100 * 1000);
    }
    std::fprintf(stderr, "orva satsim: cannot reach the TNC at %s: %s\n", address.c_str(), std::strerror(last_error));
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder;
    bool pty = true;
    int tcp_port = 0;
    satsim::ChannelConfig channel_config;
    satsim::SatelliteConfig config;
    satsim::Ftl0ServerConfig upload_config;
    double speed = 1.0;
    double duration = 0;
    std::optional<double> uplink_loss;
    std::string manifest;
    std::string kiss_connect;
    bool log_requests = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "orva satsim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--folder") folder = next();
        else if (a == "--pty") pty = true;
        else if (a == "--tcp") { pty = false; tcp_port = std::atoi(next()); }
        else if (a == "--loss") channel_config.loss = std::atof(next());
        else if (a == "--uplink-loss") uplink_loss = std::atof(next());
        else if (a == "--corrupt") channel_config.corrupt = std::atof(next());
        else if (a == "--reorder") channel_config.reorder = std::atof(next());
        else if (a == "--seed") channel_config.seed = std::strtoull(next(), nullptr, 10);
        else if (a == "--rate") config.bytes_per_second = std::uint32_t(std::atol(next()));
        else if (a == "--speed") speed = std::atof(next());
        else if (a == "--queue-line") config.queue_line_ms = std::uint64_t(std::atof(next()) * 1000);
        else if (a == "--duration") duration = std::atof(next());
        else if (a == "--bdcst-call") config.bdcst_call = next();
        else if (a == "--bbs-call") config.bbs_call = next();
        else if (a == "--refuse") upload_config.refuse = std::atoi(next());
        else if (a == "--cut-at") upload_config.cut_at = std::atof(next());
        else if (a == "--manifest") manifest = next();
        else if (a == "--log-requests") log_requests = true;
        else if (a == "--real-server") config.real_server = upload_config.real_server = true;
        else if (a == "--kiss-connect") { pty = false; kiss_connect = next(); }
        else if (a == "--help" || a == "-h") { usage(); return 0; }
        else { std::fprintf(stderr, "orva satsim: unknown option %s\n", a.c_str()); usage(); return 2; }
    }
    if (folder.empty() || speed <= 0 || config.bytes_per_second == 0) {
        usage();
        return 2;
    }
    const auto wall = std::uint32_t(std::chrono::duration_cast<std::chrono::seconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
    config.epoch = wall;
    auto files = satsim::load_folder(folder, wall);
    if (!files) {
        std::fprintf(stderr, "orva satsim: %s\n", files.error().message.c_str());
        return 1;
    }
    if (!manifest.empty()) {
        std::string text;
        for (const satsim::ServedFile& f : *files) {
            char line[128];
            std::snprintf(line, sizeof line, "%X %zu %s\n", unsigned(f.file_number), f.bytes.size(),
                          tools::sha256_hex(f.bytes).c_str());
            text += line;
        }
        if (Status s = write_file_atomic(manifest, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
            !s) {
            std::fprintf(stderr, "orva satsim: cannot write %s: %s\n", manifest.c_str(), s.error().message.c_str());
            return 1;
        }
    }
    satsim::Satellite sat(config, std::move(*files));
    satsim::Channel channel(channel_config);
    satsim::Channel uplink_channel(satsim::uplink_channel_config(channel_config, uplink_loss));
    upload_config.folder = folder;
    upload_config.bbs_call = config.bbs_call;
    upload_config.epoch = wall;
    satsim::Ftl0Server server(upload_config);

    int listen_fd = -1, io_fd = -1, slave_keep = -1;
    if (!kiss_connect.empty()) {
        io_fd = connect_kiss(kiss_connect);
        if (io_fd < 0)
            return 1;
        std::printf("KISS %s\n", kiss_connect.c_str());
    } else if (pty) {
        io_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (io_fd < 0 || ::grantpt(io_fd) != 0 || ::unlockpt(io_fd) != 0) {
            std::fprintf(stderr, "orva satsim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
        const char* slave = ::ptsname(io_fd);
        // Held open so the line stays up between passes, and raw so no byte is translated.
        slave_keep = ::open(slave, O_RDWR | O_NOCTTY);
        termios t{};
        ::tcgetattr(slave_keep, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_keep, TCSANOW, &t);
        set_nonblocking(io_fd);
        std::printf("PTY %s\n", slave);
    } else {
        listen_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(listen_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(std::uint16_t(tcp_port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listen_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listen_fd, 1) != 0) {
            std::fprintf(stderr, "orva satsim: cannot listen on 127.0.0.1:%d: %s\n", tcp_port, std::strerror(errno));
            return 1;
        }
        socklen_t len = sizeof addr;
        ::getsockname(listen_fd, reinterpret_cast<sockaddr*>(&addr), &len);
        std::printf("TCP 127.0.0.1:%d\n", ntohs(addr.sin_port));
    }
    std::printf("Serving %zu files as %s\n", sat.files().size(), config.bdcst_call.c_str());
    std::fflush(stdout);
    std::signal(SIGTERM, on_signal);
    std::signal(SIGINT, on_signal);
    std::signal(SIGPIPE, SIG_IGN);

    engine::KissDecoder decoder;
    Uplink uplink;
    uplink.sat = &sat;
    uplink.server = &server;
    uplink.channel = &uplink_channel;
    uplink.log_requests = log_requests;
    std::vector<std::uint8_t> out;
    const auto start = std::chrono::steady_clock::now();
    constexpr std::size_t kOutLimit = 16384;
    while (!g_stop) {
        const double real_ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const auto now_ms = std::uint64_t(real_ms * speed);
        if (duration > 0 && double(now_ms) > duration * 1000)
            break;
        uplink.now = now_ms;
        if (io_fd >= 0 && out.size() < kOutLimit) {
            for (auto& frame : sat.poll(now_ms)) {
                if (log_requests && frame.size() > 6 && std::memcmp(frame.data(), "\xA0\x84\x98\x92\xA6\xA8", 6) == 0) {
                    std::printf("QUEUE LINE at %.1f s\n", double(now_ms) / 1000);
                    std::fflush(stdout);
                }
                for (auto& f : channel.pass(std::move(frame)))
                    engine::encode_kiss_frame(f, 0, false, out);
            }
            for (auto& frame : server.poll(now_ms))
                for (auto& f : channel.pass(std::move(frame)))
                    engine::encode_kiss_frame(f, 0, false, out);
            for (const auto& up : server.take_finished())
                if (auto served = satsim::served_upload(up, config.epoch + std::uint32_t(now_ms / 1000)))
                    sat.add_file(std::move(*served));
        }
        pollfd fds[2];
        int n = 0;
        if (io_fd >= 0)
            fds[n++] = {io_fd, short(POLLIN | (out.empty() ? 0 : POLLOUT)), 0};
        if (listen_fd >= 0 && io_fd < 0)
            fds[n++] = {listen_fd, POLLIN, 0};
        ::poll(fds, nfds_t(n), 5);
        for (int k = 0; k < n; ++k) {
            if (fds[k].fd == listen_fd && (fds[k].revents & POLLIN)) {
                io_fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                out.clear();
                continue;
            }
            if (fds[k].fd != io_fd)
                continue;
            if (fds[k].revents & POLLIN) {
                std::uint8_t buf[4096];
                const ssize_t r = ::read(io_fd, buf, sizeof buf);
                if (r > 0)
                    decoder.feed(std::span(buf, std::size_t(r)), uplink);
                else if (r == 0 && !pty) {
                    ::close(io_fd);
                    io_fd = -1;
                    if (!kiss_connect.empty()) {
                        std::fprintf(stderr, "orva satsim: the TNC at %s closed the connection\n", kiss_connect.c_str());
                        g_stop = 1;
                    }
                    continue;
                }
            }
            if ((fds[k].revents & POLLOUT) && !out.empty()) {
                const ssize_t w = ::write(io_fd, out.data(), out.size());
                if (w > 0)
                    out.erase(out.begin(), out.begin() + w);
                else if (w < 0 && errno != EAGAIN && !pty) {
                    ::close(io_fd);
                    io_fd = -1;
                }
            }
            if ((fds[k].revents & (POLLHUP | POLLERR)) && !pty && io_fd >= 0) {
                ::close(io_fd);
                io_fd = -1;
            }
        }
        if (!kiss_connect.empty() && io_fd < 0 && !g_stop) {
            std::fprintf(stderr, "orva satsim: lost the TNC at %s\n", kiss_connect.c_str());
            break;
        }
    }
    const auto& c = sat.counters();
    const auto& ch = channel.counters();
    std::fprintf(stderr,
                 "satsim: %llu frames (%llu file, %llu directory), %llu fill and %llu directory requests, "
                 "%llu lost, %llu corrupted, %llu reordered; uplink %llu frames, %llu lost; "
                 "uploads %llu filed, %llu refused for their header's file number; "
                 "%llu bytes broadcast, %llu bytes heard\n",
                 (unsigned long long)c.frames_sent, (unsigned long long)c.file_frames, (unsigned long long)c.dir_frames,
                 (unsigned long long)c.requests, (unsigned long long)c.dir_requests, (unsigned long long)ch.lost,
                 (unsigned long long)ch.corrupted, (unsigned long long)ch.reordered,
                 (unsigned long long)(uplink_channel.counters().passed + uplink_channel.counters().lost),
                 (unsigned long long)uplink_channel.counters().lost,
                 (unsigned long long)server.counters().uploads_done,
                 (unsigned long long)server.counters().header_refusals,
                 (unsigned long long)sat.bytes_broadcast(), (unsigned long long)uplink.bytes);
    if (slave_keep >= 0)
        ::close(slave_keep);
    return 0;
}

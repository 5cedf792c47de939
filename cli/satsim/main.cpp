// orva satsim: a simulated PACSAT satellite behind a KISS TNC, on a pseudo-terminal or a TCP port.
#include "engine/link/kiss_decoder.h"
#include "engine/link/kiss_encoder.h"
#include "cli/satsim/channel.h"
#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/ftl0/server_downlink.h"
#include "cli/satsim/ftl0/uploaded_file.h"
#include "cli/satsim/satellite.h"
#include "cli/satsim/transmitter.h"
#include "cli/hash/sha256.h"

#include "common/atomic_file.h"
#include "platform/options/program_options.h"
#include "platform/shared_clock.h"

#include <algorithm>
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
    long tnc_queue = long(satsim::TransmitterConfig{}.queue_bytes);
    double loss = 0, corrupt = 0, reorder = 0, uplink_share = 0, queue_line = double(config.queue_line_ms) / 1000, cut_at = 0;
    long tcp = 0, seed = long(channel_config.seed), rate = long(config.bytes_per_second), refuse = 0;
    bool pty_flag = false;
    platform::ProgramOptions cli("orva satsim", "Serves the files of a folder as a simulated PACSAT satellite behind a KISS TNC.");
    cli.option("--folder", folder, "The satellite's files; uploads are stored here too", "DIR")
        .flag("--pty", pty_flag, "Serve on a new pseudo-terminal and print \"PTY <path>\" first (the default)")
        .option("--tcp", tcp, "Serve KISS on 127.0.0.1:PORT instead", "PORT", 0, 65535)
        .option("--kiss-connect", kiss_connect, "Reach a KISS TNC on TCP (a soundcard modem) as its client", "HOST:PORT")
        .flag("--real-server", config.real_server, "Behave as the servers in service do (see orva-satsim(1))")
        .option("--loss", loss, "Share of frames lost both ways (with --kiss-connect: none unless given)",
                "P", 0, 1)
        .option("--uplink-loss", uplink_share, "The uplink's share of lost frames, apart from --loss", "P", 0, 1)
        .option("--corrupt", corrupt, "Share of frames with one byte changed", "P", 0, 1)
        .option("--reorder", reorder, "Share of frames held back behind the next one", "P", 0, 1)
        .option("--seed", seed, "Repeats a run's losses in both directions (default 1)", "N", 0, 2147483647)
        .option("--rate", rate, "Downlink bytes per second (default 1200)", "BYTES_PER_S", 1, 100000000)
        .option("--speed", speed, "Run the simulated clock X times faster than real time (default 1; not used when ORVA_CLOCK_FILE names a shared clock)", "X", 0.001, 10000)
        .option("--queue-line", queue_line, "Seconds between queue lines (default 3)", "S", 0, 3600)
        .option("--duration", duration, "End after this many seconds (0: run until stopped)", "S", 0, 864000)
        .option("--bdcst-call", config.bdcst_call, "The broadcast callsign (default PACSAT-11)", "CALL")
        .option("--bbs-call", config.bbs_call, "The BBS callsign uploads go to (default PACSAT-12)", "CALL")
        .option("--refuse", refuse, "Answer each upload with this FTL0 error code", "CODE", 0, 255)
        .option("--cut-at", cut_at, "Drop the link once this share of a file has arrived", "SHARE", 0, 1)
        .option("--manifest", manifest, "Write one line per served file: number (hex), size, SHA-256", "FILE")
        .flag("--log-requests", log_requests, "Print a line for each request heard and each queue line sent")
        .option("--tnc-queue", tnc_queue,
                "With --real-server: bytes of broadcast frames kept queued in the TNC, link answers behind them "
                "(default 900)",
                "BYTES", 0, 1000000);
    if (auto code = cli.parse(argc, argv))
        return *code;
    if (folder.empty())
        return cli.usage_error("--folder DIR is required");
    pty = !cli.given("--tcp") && !cli.given("--kiss-connect");
    tcp_port = int(tcp);
    channel_config.loss = loss;
    channel_config.corrupt = corrupt;
    channel_config.reorder = reorder;
    channel_config.seed = std::uint64_t(seed);
    if (cli.given("--uplink-loss"))
        uplink_loss = uplink_share;
    config.bytes_per_second = std::uint32_t(rate);
    config.queue_line_ms = std::uint64_t(queue_line * 1000);
    upload_config.real_server = config.real_server;
    if (cli.given("--refuse"))
        upload_config.refuse = int(refuse);
    if (cli.given("--cut-at"))
        upload_config.cut_at = cut_at;
    // A station clock shared with the ground station's programs (a test bench's) replaces --speed.
    const platform::Clock& clock = platform::station_clock();
    const bool shared_clock = platform::station_clock_is_shared();
    const platform::TimePoint clock_start = clock.now();
    const auto wall = std::uint32_t(std::chrono::duration_cast<std::chrono::seconds>(clock_start.time_since_epoch()).count());
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
    upload_config.first_number = satsim::next_free_number(sat.files(), upload_config.first_number);
    upload_config.bbs_call = config.bbs_call;
    upload_config.epoch = wall;
    satsim::Ftl0Server server(upload_config);
    // A server in service hands its frames to a TNC that sends them at the air rate. Behind a
    // real TNC this models its queue, to know when to hand it more; otherwise it is the TNC.
    std::optional<satsim::Transmitter> tnc;
    if (config.real_server)
        tnc.emplace(satsim::TransmitterConfig{config.bytes_per_second * 8, 300, std::size_t(tnc_queue)});

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
        const auto now_ms = shared_clock ? std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                             clock.now() - clock_start).count())
                                         : std::uint64_t(real_ms * speed);
        if (duration > 0 && double(now_ms) > duration * 1000)
            break;
        uplink.now = now_ms;
        if (io_fd >= 0 && out.size() < kOutLimit) {
            std::vector<satsim::Frame> frames;
            if (tnc) {
                auto handed = satsim::hand_to_transmitter(sat, server, *tnc, now_ms);
                auto sent = tnc->poll(now_ms);
                frames = kiss_connect.empty() ? std::move(sent) : std::move(handed);
            } else {
                frames = sat.poll(now_ms);
                for (auto& f : server.poll(now_ms))
                    frames.push_back(std::move(f));
            }
            for (auto& frame : frames) {
                if (log_requests && frame.size() > 6 && std::memcmp(frame.data(), "\xA0\x84\x98\x92\xA6\xA8", 6) == 0) {
                    std::printf("QUEUE LINE at %.1f s\n", double(now_ms) / 1000);
                    std::fflush(stdout);
                }
                for (auto& f : channel.pass(std::move(frame)))
                    engine::encode_kiss_frame(f, 0, false, out);
            }
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
                 "uploads %llu filed, %llu refused for their header's file number, %llu logins reset; "
                 "%llu bytes broadcast, %llu bytes heard\n",
                 (unsigned long long)c.frames_sent, (unsigned long long)c.file_frames, (unsigned long long)c.dir_frames,
                 (unsigned long long)c.requests, (unsigned long long)c.dir_requests, (unsigned long long)ch.lost,
                 (unsigned long long)ch.corrupted, (unsigned long long)ch.reordered,
                 (unsigned long long)(uplink_channel.counters().passed + uplink_channel.counters().lost),
                 (unsigned long long)uplink_channel.counters().lost,
                 (unsigned long long)server.counters().uploads_done,
                 (unsigned long long)server.counters().header_refusals,
                 (unsigned long long)server.counters().login_resets,
                 (unsigned long long)sat.bytes_broadcast(), (unsigned long long)uplink.bytes);
    if (slave_keep >= 0)
        ::close(slave_keep);
    return 0;
}

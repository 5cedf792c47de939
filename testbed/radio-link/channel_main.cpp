// radio-channel: carries the audio of two soundcard TNCs to each other in real time, through
// the losses of an AirPath each way. Started by radio-link; see README.md there.
#include "testbed/radio-link/air_path.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace orva::testbed;

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

void usage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: radio-channel --a-tx FIFO --a-rx FIFO --b-tx FIFO --b-rx FIFO [--rate HZ] [--bit-rate N]\n"
                 "                     [--loss P] [--corrupt P] [--seed N] [--hit-bits N] [--lead-ms MS] [--tail-ms MS]\n"
                 "                     [--gain G]\n"
                 "       radio-channel --free-ports N [--from PORT]\n"
                 "Reads what TNC A transmits from --a-tx (raw 16-bit mono audio at --rate, 48000 by default)\n"
                 "and writes it, in real time, to --b-rx, which TNC B reads as its received audio; the same\n"
                 "from B to A. Between transmissions the receivers hear silence. Each transmission is lost\n"
                 "(--loss, the receiver hears nothing) or corrupted (--corrupt, --hit-bits bit times of it at\n"
                 "--bit-rate become noise, away from the first --lead-ms and last --tail-ms when it is long\n"
                 "enough) with those shares; --seed repeats the fates. Prints one line per transmission on\n"
                 "standard error and stops on SIGTERM or SIGINT, or when its parent ends. The receivers hear\n"
                 "the audio times --gain (0.25 by default: the level direwolf wants from a radio).\n"
                 "--free-ports prints N loopback TCP ports nobody listens on, from PORT (below 49152) up.\n");
}

// Ports a TNC can take: direwolf ignores numbers above the registered range.
int free_ports(int count, int from)
{
    int found = 0;
    for (int port = from; port <= 49151 && found < count; ++port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            break;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(std::uint16_t(port));
        const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok) {
            std::printf("%d\n", port);
            ++found;
        }
    }
    if (found < count) {
        std::fprintf(stderr, "radio-channel: only %d free ports from %d to 49151\n", found, from);
        return 1;
    }
    return 0;
}

// One direction: the transmitter's pipe, the receiver's pipe and the path between.
struct Direction {
    Direction(const char* n, const AirPathConfig& c) : name(n), path(c) {}
    const char* name;
    int from = -1, to = -1;
    AirPath path;
    bool odd = false;
    std::uint8_t odd_byte = 0;
    std::vector<std::uint8_t> pending; // audio the receiver has not taken yet
    std::size_t pending_at = 0;
};

bool read_transmitter(Direction& d, std::uint64_t now)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t buf[65536];
    for (;;) {
        const ssize_t n = ::read(d.from, buf, sizeof buf);
        if (n > 0) {
            bytes.insert(bytes.end(), buf, buf + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            std::fprintf(stderr, "radio-channel: reading %s's transmitter: %s\n", d.name, std::strerror(errno));
            return false;
        }
        break;
    }
    if (bytes.empty())
        return true;
    if (d.odd)
        bytes.insert(bytes.begin(), d.odd_byte);
    d.odd = bytes.size() % 2 != 0;
    if (d.odd) {
        d.odd_byte = bytes.back();
        bytes.pop_back();
    }
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) // little-endian, as the TNCs write it
        samples[i] = std::int16_t(std::uint16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    d.path.transmit(samples, now);
    return true;
}

bool write_receiver(Direction& d)
{
    while (d.pending_at < d.pending.size()) {
        const ssize_t n = ::write(d.to, d.pending.data() + d.pending_at, d.pending.size() - d.pending_at);
        if (n > 0) {
            d.pending_at += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        std::fprintf(stderr, "radio-channel: the receiver of %s is gone: %s\n", d.name, std::strerror(errno));
        return false;
    }
    if (d.pending_at == d.pending.size()) {
        d.pending.clear();
        d.pending_at = 0;
    } else if (d.pending_at > (1u << 20)) {
        d.pending.erase(d.pending.begin(), d.pending.begin() + std::ptrdiff_t(d.pending_at));
        d.pending_at = 0;
    }
    return true;
}

int open_fifo(const std::string& path, int flags, const char* what)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC);
    while (fd < 0 && errno == EINTR && !g_stop);
    if (fd < 0 && !g_stop)
        std::fprintf(stderr, "radio-channel: cannot open %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    return fd;
}

} // namespace

int main(int argc, char** argv)
{
    std::string a_tx, a_rx, b_tx, b_rx;
    AirPathConfig config;
    config.gain = 0.25;
    int port_count = 0;
    int port_from = 20000 + int(::getpid() % 6000) * 2;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "radio-channel: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--a-tx") a_tx = next();
        else if (a == "--a-rx") a_rx = next();
        else if (a == "--b-tx") b_tx = next();
        else if (a == "--b-rx") b_rx = next();
        else if (a == "--rate") config.sample_rate = std::uint32_t(std::atol(next()));
        else if (a == "--bit-rate") config.bit_rate = std::uint32_t(std::atol(next()));
        else if (a == "--loss") config.loss = std::atof(next());
        else if (a == "--corrupt") config.corrupt = std::atof(next());
        else if (a == "--seed") config.seed = std::strtoull(next(), nullptr, 10);
        else if (a == "--hit-bits") config.hit_bits = std::uint32_t(std::atol(next()));
        else if (a == "--lead-ms") config.lead_ms = std::uint32_t(std::atol(next()));
        else if (a == "--tail-ms") config.tail_ms = std::uint32_t(std::atol(next()));
        else if (a == "--gain") config.gain = std::atof(next());
        else if (a == "--free-ports") port_count = std::atoi(next());
        else if (a == "--from") port_from = std::atoi(next());
        else if (a == "--help" || a == "-h") { usage(stdout); return 0; }
        else { std::fprintf(stderr, "radio-channel: unknown option %s\n", a.c_str()); usage(stderr); return 2; }
    }
    if (port_count > 0)
        return free_ports(port_count, port_from);
    if (a_tx.empty() || a_rx.empty() || b_tx.empty() || b_rx.empty() || config.sample_rate < 8000 ||
        config.bit_rate == 0 || config.loss < 0 || config.corrupt < 0 || config.loss + config.corrupt > 1 || config.gain <= 0) {
        usage(stderr);
        return 2;
    }

    // Whoever started us is the one to stop us; should it die without doing so, go too.
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        return 1;
    struct sigaction sa{};
    sa.sa_handler = on_signal; // no SA_RESTART: a blocked open of a pipe gives way to a stop
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    AirPathConfig a_to_b = config, b_to_a = config;
    b_to_a.seed = config.seed + 1; // the two directions do not lose the same bursts
    Direction dirs[2] = {{"A>B", a_to_b}, {"B>A", b_to_a}};
    // The transmit pipes are opened for reading and writing so that opening never waits for the
    // TNC and its closing them never reads as an end; the receive pipes wait for their TNC.
    dirs[0].from = open_fifo(a_tx, O_RDWR | O_NONBLOCK, "A's transmit pipe");
    dirs[1].from = open_fifo(b_tx, O_RDWR | O_NONBLOCK, "B's transmit pipe");
    if (dirs[0].from < 0 || dirs[1].from < 0)
        return g_stop ? 0 : 1;
    for (Direction& d : dirs) // a whole transmission fits, so the TNC never waits on us
        ::fcntl(d.from, F_SETPIPE_SZ, 1 << 20);
    dirs[1].to = open_fifo(a_rx, O_WRONLY, "A's receive pipe");
    if (dirs[1].to >= 0)
        dirs[0].to = open_fifo(b_rx, O_WRONLY, "B's receive pipe");
    if (dirs[0].to < 0 || dirs[1].to < 0)
        return g_stop ? 0 : 1;
    for (Direction& d : dirs)
        ::fcntl(d.to, F_SETFL, ::fcntl(d.to, F_GETFL) | O_NONBLOCK);
    std::fprintf(stderr, "radio-channel: carrying A>B and B>A at %u Hz, loss %g, corrupt %g, seed %llu\n",
                 config.sample_rate, config.loss, config.corrupt, static_cast<unsigned long long>(config.seed));

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const std::uint64_t rate = config.sample_rate;
    std::uint64_t produced = 0;
    std::vector<std::int16_t> block;
    int status = 0;
    int wait_ms = 10;
    while (!g_stop && status == 0) {
        pollfd p[4] = {{dirs[0].from, POLLIN, 0}, {dirs[1].from, POLLIN, 0}, {dirs[0].to, 0, 0}, {dirs[1].to, 0, 0}};
        for (int i = 0; i < 2; ++i)
            if (dirs[i].pending_at < dirs[i].pending.size())
                p[2 + i].events = POLLOUT;
        ::poll(p, 4, wait_ms);
        const std::uint64_t now =
            std::uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count()) * rate /
            1000000;
        // At most a second per round, so a channel held up (a loaded machine) catches up in steps.
        const std::uint64_t due = std::min(now - std::min(now, produced), rate);
        wait_ms = now - std::min(now, produced) > rate ? 0 : 10;
        for (Direction& d : dirs) {
            if (!read_transmitter(d, now)) {
                status = 1;
                break;
            }
            if (due > 0) {
                block.resize(due);
                d.path.receive(block, now);
                for (const std::int16_t s : block) {
                    d.pending.push_back(std::uint8_t(std::uint16_t(s) & 0xff));
                    d.pending.push_back(std::uint8_t(std::uint16_t(s) >> 8));
                }
            }
            if (!write_receiver(d)) {
                status = 1;
                break;
            }
            if (d.pending.size() - d.pending_at > 20 * rate * 2) {
                std::fprintf(stderr, "radio-channel: the receiver of %s has taken no audio for 20 s\n", d.name);
                status = 1;
                break;
            }
            for (const auto& line : d.path.take_events())
                std::fprintf(stderr, "radio-channel: %s %s\n", d.name, line.c_str());
        }
        produced += due;
    }
    for (const Direction& d : dirs) {
        const AirPathCounters& c = d.path.counters();
        std::fprintf(stderr, "radio-channel: %s %llu transmissions, %llu lost, %llu corrupted, %.1f s of audio heard\n",
                     d.name, static_cast<unsigned long long>(c.bursts), static_cast<unsigned long long>(c.lost),
                     static_cast<unsigned long long>(c.corrupted), double(c.samples_heard) / double(rate));
    }
    return status;
}

// The upload client against the `orva satsim` program on a pseudo-terminal, through KISS, with 10%
// of the downlink frames lost.
#include "engine/link/kiss_decoder.h"
#include "engine/link/kiss_encoder.h"
#include "engine/tests/upload_message.h"
#include "engine/tests/upload_test_peer.h"
#include "engine/upload/upload_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace orva {
namespace {
using namespace engine;
using namespace engine::test;
namespace fs = std::filesystem;

class Satsim {
public:
    explicit Satsim(const std::vector<std::string>& args) {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addclose(&fa, out[0]);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, args[0].c_str(), &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        // First line: "PTY <path>".
        std::string line;
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line.push_back(c);
        ::close(out[0]);
        if (line.rfind("PTY ", 0) == 0) pty_ = line.substr(4);
    }
    ~Satsim() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int st;
            ::waitpid(pid_, &st, 0);
        }
    }
    const std::string& pty() const { return pty_; }

private:
    pid_t pid_ = -1;
    std::string pty_;
};

struct Host : KissSink {
    UploadClient* client = nullptr;
    Ax25Address me, bbs;
    LinkTime now{};
    std::vector<std::uint8_t> out;
    void take(UploadOutput o) {
        for (const auto& f : o.frames) encode_kiss_frame(f, 0, false, out);
    }
    void on_kiss_frame(std::uint8_t, std::span<const std::uint8_t> frame) override {
        auto f = parse_ax25_frame(frame);
        if (!f) return;
        if (f->source == bbs && f->destination.callsign() == "BBSTAT")
            take(client->on_bbs_status(std::string_view(reinterpret_cast<const char*>(f->info.data()), f->info.size()), now));
        else if (f->source == bbs && f->destination == me)
            take(client->on_connected_frame(*f, now));
    }
};

TEST(SatsimProgramUpload, FiveFilesOverAPtyWithLoss) {
    TempDir queue, sat;
    const std::size_t sizes[] = {1024, 4000, 10000, 30000, 100 * 1024};
    std::vector<Bytes> bodies;
    for (std::size_t i = 0; i < 5; ++i) {
        bodies.push_back(upload_message(pattern_bytes(sizes[i], std::uint32_t(200 + i))));
        write_bytes(queue / ("F" + std::to_string(i) + ".OUT"), bodies.back());
    }
    Satsim satsim({std::string(ORVA_BIN_DIR) + "/orva-satsim", "--folder", sat.path().string(), "--pty", "--loss", "0.1",
                   "--seed", "5", "--speed", "10", "--bbs-call", "PACSAT-12", "--bdcst-call", "PACSAT-11"});
    ASSERT_FALSE(satsim.pty().empty());
    const int fd = ::open(satsim.pty().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);

    UploadConfig c;
    c.my_call = addr("G0ABC");
    c.bbs_call = addr("PACSAT-12");
    c.folder = queue.path();
    c.link.t1 = LinkTime(150); // satsim runs ten times faster than the wall clock
    c.link.adaptive_t1 = false;
    c.link.window = 7;
    c.seed = 9;
    UploadClient client(c);
    Host host;
    host.client = &client;
    host.me = c.my_call;
    host.bbs = c.bbs_call;
    KissDecoder decoder;
    const auto start = std::chrono::steady_clock::now();
    auto is_done = [&] {
        for (const auto& e : fs::directory_iterator(queue.path()))
            if (e.path().extension() != ".UL") return false;
        return true;
    };
    bool done = false;
    while (!done && std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        host.now = std::chrono::duration_cast<LinkTime>(std::chrono::system_clock::now().time_since_epoch());
        host.take(client.poll(host.now));
        if (!host.out.empty()) {
            const ssize_t w = ::write(fd, host.out.data(), host.out.size());
            if (w > 0) host.out.erase(host.out.begin(), host.out.begin() + w);
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            std::uint8_t buf[4096];
            const ssize_t r = ::read(fd, buf, sizeof buf);
            if (r > 0) decoder.feed(std::span(buf, std::size_t(r)), host);
        }
        done = is_done() && !client.busy();
    }
    ::close(fd);
    ASSERT_TRUE(is_done()) << "uploads left in the queue";
    ASSERT_EQ(client.log_entries().size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        const auto number = client.log_entries()[i].file_number;
        EXPECT_EQ(client.log_entries()[i].reason, 1);
        char name[16];
        std::snprintf(name, sizeof name, "%X.UPL", number);
        EXPECT_EQ(read_all(sat / name), numbered_upload(bodies[i], number)) << name;
    }
}

} // namespace
} // namespace orva

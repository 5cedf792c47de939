#include "engine/link/kiss_decoder.h"
#include "engine/link/kiss_encoder.h"
#include "engine/link/tnc_link.h"
#include "engine/frames/ax25_frame.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <condition_variable>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace orva::engine {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
using TimePoint = TncLink::TimePoint;

const TimePoint t0{std::chrono::seconds(5000)};
constexpr auto kPatience = 10s; // safety net for every wait; nothing here sleeps

Bytes bytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// The far end of the link: a TNC that prompts in command mode until it is put into KISS, then
// speaks KISS. Reads on its own thread unless told to stay deaf.
class TestTnc {
public:
    TestTnc(int fd, bool prompts, bool deaf) : fd_(fd), prompts_(prompts) {
        if (!deaf) reader_ = std::jthread([this](std::stop_token st) { run(st); });
    }
    ~TestTnc() {
        reader_.request_stop();
        if (reader_.joinable()) reader_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    void hang_up() {
        reader_.request_stop();
        if (reader_.joinable()) reader_.join();
        ::close(fd_);
        fd_ = -1;
    }
    void send(const Bytes& b) { ASSERT_EQ(::write(fd_, b.data(), b.size()), ssize_t(b.size())); }
    bool wait_for_bytes(std::size_t n) {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, kPatience, [&] { return received_.size() >= n; });
    }
    Bytes received() {
        std::lock_guard lock(m_);
        return received_;
    }
    int prompts_sent() const { return prompts_sent_; }

private:
    void run(std::stop_token st) {
        std::uint8_t buf[512];
        while (!st.stop_requested()) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) continue;
            // Each command line ends in CR and gets a prompt, until one of them selects KISS.
            for (ssize_t i = 0; i < n; ++i) {
                line_.push_back(char(buf[i]));
                if (buf[i] != '\r' || kiss_) continue;
                kiss_ = line_.find("kiss on") != std::string::npos || line_.find("in kiss") != std::string::npos ||
                        line_.find("kiss $03") != std::string::npos || line_.find("@K") != std::string::npos;
                if (prompts_ && !kiss_ && ::write(fd_, "cmd:", 4) == 4) ++prompts_sent_;
            }
            {
                std::lock_guard lock(m_);
                received_.insert(received_.end(), buf, buf + n);
            }
            cv_.notify_all();
        }
    }

    int fd_;
    bool prompts_;
    std::string line_;
    bool kiss_ = false;
    std::atomic<int> prompts_sent_{0};
    std::mutex m_;
    std::condition_variable cv_;
    Bytes received_;
    std::jthread reader_;
};

struct Pty {
    int master = -1;
    std::string slave;
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        EXPECT_EQ(::grantpt(master), 0);
        EXPECT_EQ(::unlockpt(master), 0);
        slave = ::ptsname(master);
    }
};

struct Recorder : StatusSink, Ax25FrameSink, TncLinkEvents {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::string> posts;
    std::vector<Bytes> frames;
    std::vector<ConnectedLinkParams> params;
    int armed = 0, closed = 0, finished = 0;

    void post(std::string text, LineColour) override {
        std::lock_guard lock(m);
        posts.push_back(std::move(text));
        cv.notify_all();
    }
    void on_ax25_frame(std::span<const std::uint8_t> f) override {
        std::lock_guard lock(m);
        frames.emplace_back(f.begin(), f.end());
        cv.notify_all();
    }
    void on_link_params(const ConnectedLinkParams& p) override { params.push_back(p); }
    void on_session_armed() override { ++armed; }
    void on_port_closed() override { ++closed; }
    void on_finished() override { ++finished; }

    bool wait_frames(std::size_t n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, kPatience, [&] { return frames.size() >= n; });
    }
    bool wait_post(const std::string& text) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, kPatience, [&] { return std::find(posts.begin(), posts.end(), text) != posts.end(); });
    }
    bool has_post(const std::string& text) {
        std::lock_guard lock(m);
        return std::find(posts.begin(), posts.end(), text) != posts.end();
    }
};

// A UI frame as the satellite would send it.
Bytes ui_frame(std::string_view text) {
    return build_ui_frame(*Ax25Address::parse("QST-1"), *Ax25Address::parse("PACB-11"), 0, 0xF0, bytes(text));
}

void run_to_end(TncLink& link) {
    for (int i = 0; i < 100; ++i) {
        const auto d = link.next_deadline();
        if (!d) return;
        link.poll(*d);
    }
    FAIL() << "sequence did not end";
}

struct ModelCase {
    int type;
    std::string startup; // what the TNC sees before the parameter block
    std::string exit;    // what it sees after our data frame
};

class TncOnPty : public ::testing::TestWithParam<ModelCase> {};

TEST_P(TncOnPty, StartupFramesBothWaysAndExit) {
    const ModelCase& c = GetParam();
    Pty pty;
    TestTnc tnc(pty.master, c.type != 8, false);
    Recorder rec;
    TncLink link(rec, rec, rec);
    LinkSettings s;
    s.device = pty.slave;
    s.tnc.tnc_type = c.type;
    ASSERT_TRUE(link.open(s, std::nullopt, t0));

    const auto block = kiss_parameter_block(0, 200, 50);
    std::string expected = c.startup + std::string(block.begin(), block.end());
    link.poll(t0 + 150ms);
    link.poll(t0 + 5000ms);
    EXPECT_EQ(rec.armed, 1);
    ASSERT_EQ(rec.params.size(), 1u);
    ASSERT_TRUE(tnc.wait_for_bytes(expected.size()));

    // Now in KISS: a frame from the satellite arrives whole, prompts or not before it.
    const auto heard = ui_frame("PB: Empty.");
    tnc.send(encode_kiss_frame(heard, 0, false));
    ASSERT_TRUE(rec.wait_frames(1));
    EXPECT_EQ(rec.frames.back(), heard);
    EXPECT_GE(link.counters().bytes, heard.size());

    const auto sent = ui_frame("request");
    ASSERT_TRUE(link.send_kiss_frame(sent));
    const auto wire = encode_kiss_frame(sent, 0, false);
    expected += std::string(wire.begin(), wire.end());
    ASSERT_TRUE(tnc.wait_for_bytes(expected.size()));

    link.begin_exit(std::nullopt, t0 + 10s);
    run_to_end(link);
    EXPECT_FALSE(link.is_open());
    EXPECT_EQ(rec.closed, 1);
    EXPECT_EQ(rec.finished, 1);
    expected += c.exit;
    ASSERT_TRUE(tnc.wait_for_bytes(expected.size()));
    const Bytes got = tnc.received();
    EXPECT_EQ(std::string(got.begin(), got.end()), expected);
    if (c.type != 5 && c.type != 8) { // TheFirmWare's first command has no CR
        EXPECT_GT(tnc.prompts_sent(), 0);
    }
}

const std::string kExitFrame("\xC0\xFF\xC0\x0D", 4);
const std::string kTail = "\rmon off\rfulldup off\r";

INSTANTIATE_TEST_SUITE_P(
    EveryModel, TncOnPty,
    ::testing::Values(
        ModelCase{1, "\rkiss on\rrestart\r", kExitFrame + kTail},
        ModelCase{2, "hb 9600\rxon $00\rxoff $00\rstart $00\rstop $00\rdcd on\r", "\x03\x03\x03" + kTail},
        ModelCase{3, "\rkiss on\rrestart\r", kExitFrame + kTail},
        ModelCase{4, "\rkiss on\rrestart\r", kExitFrame + kTail},
        ModelCase{5, "\x11\x18\x1B@K\r", kExitFrame + kTail},
        ModelCase{6, "\rport 2\rfulldup on\rin terminal\rmaxusers 0/1\rmydrop 1/0\rin kiss\rreset\r",
                  kExitFrame + "\rint term\rreset\rmydrop 0/1\r" + kTail},
        ModelCase{7, "modem /9\rhbaud /9600\rradio 0/2\rxon $00\rxoff $00\rstart $00\rstop $00\rdcd on\rkiss $03\r",
                  "\x03\x03\x03" + kTail},
        ModelCase{8, "", ""}),
    [](const auto& info) { return "Type" + std::to_string(info.param.type); });

TEST(TncLinkPty, StartupAndExitFilesAndSmack) {
    Pty pty;
    TestTnc tnc(pty.master, false, false);
    Recorder rec;
    TncLink link(rec, rec, rec);
    LinkSettings s;
    s.device = pty.slave;
    s.smack = true;
    s.tnc.tnc_type = 8;
    ASSERT_TRUE(link.open(s, bytes("MYCALL G0ABC\r"), t0));
    ASSERT_TRUE(tnc.wait_for_bytes(13));
    EXPECT_TRUE(rec.has_post("Sending \"Brek TNC Startup\" file."));

    const auto heard = ui_frame("hello");
    tnc.send(encode_kiss_frame(heard, 0, true));
    ASSERT_TRUE(rec.wait_frames(1));
    EXPECT_EQ(rec.frames[0], heard);
    EXPECT_TRUE(link.counters().smack_seen);
    EXPECT_TRUE(rec.wait_post("TNC set for SMACK mode"));
    auto bad = encode_kiss_frame(heard, 0, true);
    bad[bad.size() - 2] ^= 0x01;
    tnc.send(bad);
    tnc.send(encode_kiss_frame(heard, 0, true));
    ASSERT_TRUE(rec.wait_frames(2));
    EXPECT_EQ(link.counters().bad_smack, 1u);

    // Sent frames are SMACK too: they decode with their CRC.
    ASSERT_TRUE(link.send_kiss_frame(heard));
    const auto wire = encode_kiss_frame(heard, 0, true);
    ASSERT_TRUE(tnc.wait_for_bytes(13 + wire.size()));
    link.close();
    EXPECT_FALSE(link.is_open());
}

TEST(TncLinkPty, ADeafTncGivesTheBufferErrorNotAHang) {
    Pty pty;
    TestTnc tnc(pty.master, false, true);
    Recorder rec;
    TncLink link(rec, rec, rec);
    LinkSettings s;
    s.device = pty.slave;
    s.tx_buffer = 1024;
    s.tnc.tnc_type = 8;
    ASSERT_TRUE(link.open(s, std::nullopt, t0));
    const Bytes frame(300, 0x55);
    bool refused = false;
    for (int i = 0; i < 5000 && !refused; ++i) refused = !link.send_kiss_frame(frame);
    EXPECT_TRUE(refused);
    link.close();
}

TEST(TncLinkPty, MissingDeviceIsReported) {
    Recorder rec;
    TncLink link(rec, rec, rec);
    LinkSettings s;
    s.device = "/dev/orva-no-such-tty";
    EXPECT_FALSE(link.open(s, std::nullopt, t0));
    EXPECT_TRUE(rec.has_post("Unable to initialise communications port."));
    EXPECT_FALSE(link.send_kiss_frame(Bytes{1}));
}

// A TCP listener on 127.0.0.1 standing in for a soundcard modem's KISS port.
struct Listener {
    int fd = -1;
    int port = 0;
    explicit Listener(int rcvbuf = 0) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (rcvbuf) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        EXPECT_EQ(::listen(fd, 1), 0);
    }
    ~Listener() {
        if (fd >= 0) ::close(fd);
    }
    int accept_one() {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) != 1) return -1;
        return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(port); }
};

TEST(TncLinkTcp, KissOverTcpBothWays) {
    Listener listener;
    Recorder rec;
    TncLink link(rec, rec, rec);
    LinkSettings s;
    s.tnc_address = listener.address();
    s.tnc.tnc_type = 8; // a soundcard modem is in KISS already
    ASSERT_TRUE(link.open(s, std::nullopt, t0));
    TestTnc modem(listener.accept_one(), false, false);
    link.poll(t0 + 5s);
    const auto block = kiss_parameter_block(0, 200, 50);
    ASSERT_TRUE(modem.wait_for_bytes(block.size()));
    EXPECT_EQ(modem.received(), block);

    const auto heard = ui_frame("PB: G0ABC");
    auto wire = encode_kiss_frame(heard, 0, false);
    // Split across writes as a network delivers it.
    modem.send(Bytes(wire.begin(), wire.begin() + 5));
    modem.send(Bytes(wire.begin() + 5, wire.end()));
    ASSERT_TRUE(rec.wait_frames(1));
    EXPECT_EQ(rec.frames[0], heard);
    EXPECT_EQ(link.counters().bytes, heard.size());
    ASSERT_TRUE(link.send_kiss_frame(heard));
    ASSERT_TRUE(modem.wait_for_bytes(block.size() + wire.size()));

    // The modem goes away: reported, and closing does not hang.
    modem.hang_up();
    EXPECT_TRUE(rec.wait_post("TNC link lost: 127.0.0.1:" + std::to_string(listener.port) +
                              ": the server closed the connection"));
    link.close();
}

TEST(TncLinkTcp, AModemThatNeverReadsGivesTheBufferErrorNotAHang) {
    Listener listener(4096);
    Recorder rec;
    TncLink link(rec, rec, rec);
    LinkSettings s;
    s.tnc_address = listener.address();
    s.tx_buffer = 4096;
    s.tnc.tnc_type = 1;
    ASSERT_TRUE(link.open(s, std::nullopt, t0));
    const int peer = listener.accept_one();
    ASSERT_GE(peer, 0);
    const Bytes frame(300, 0x55);
    bool refused = false;
    for (int i = 0; i < 20000 && !refused; ++i) refused = !link.send_kiss_frame(frame);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(rec.has_post("TX Buffer error. Increase the TX buffer size."));
    link.begin_exit(std::nullopt, t0 + 1s);
    run_to_end(link);
    EXPECT_FALSE(link.is_open());
    ::close(peer);
}

TEST(TncLinkTcp, NobodyListeningIsReported) {
    int port = 0;
    {
        Listener gone;
        port = gone.port;
    }
    Recorder rec;
    TncLink link(rec, rec, rec);
    LinkSettings s;
    s.tnc_address = "127.0.0.1:" + std::to_string(port);
    EXPECT_FALSE(link.open(s, std::nullopt, t0));
    EXPECT_TRUE(rec.has_post("Unable to initialise communications port."));
    LinkSettings bad;
    bad.tnc_address = "no-port-here";
    EXPECT_FALSE(link.open(bad, std::nullopt, t0));
}

} // namespace
} // namespace orva::engine

// Brek's TNC path as the program runs it: the session's start-up and exit sequences, KISS and
// SMACK both ways, the TX buffer check, the overrun count and the port-failure texts, through
// the port's threads to a TNC on a pseudo-terminal or a modem on a loopback socket. The
// session's clock is manual; the tests wait only for bytes to cross the real device.
#include "engine/frames/ax25_frame.h"
#include "engine/link/kiss_encoder.h"
#include "engine/link/tnc_port.h"
#include "engine/session/brek_session.h"
#include "engine/tests/reception_test_util.h"
#include "platform/serial_port.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <fstream>
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

struct RefusingClock final : SystemClockSetter {
    Status set_utc(std::chrono::system_clock::time_point) override { return make_error("not permitted"); }
};

// Brek's host reduced to its TNC: the port opened and driven as the program does it, on a manual
// station clock. What the port's threads leave is handed to the session on the test's thread.
struct PortHost final : SessionHost, SessionObserver {
    std::uint64_t now = 1'700'000'000'000ull;
    std::vector<settings::SatelliteRecord> sats;
    std::string device;
    TncPortOptions options;
    std::unique_ptr<TncPort> port;
    RefusingClock clock;
    BrekSession* session = nullptr;
    std::vector<std::string> lines;
    std::mutex m;
    std::condition_variable cv;
    int wakes = 0;

    std::uint64_t now_ms() override { return now; }
    Status open_tnc(const settings::SatelliteRecord& rec) override {
        close_tnc();
        platform::SerialSettings serial;
        serial.speed = rec.speed;
        auto stream = platform::open_byte_stream(device, serial, [](std::string_view) { return std::nullopt; });
        if (!stream) return stream.error();
        port = std::make_unique<TncPort>(options, [this] {
            std::lock_guard lock(m);
            ++wakes;
            cv.notify_all();
        });
        if (auto s = port->attach(std::move(*stream)); !s) {
            session->post("ERROR!!! Brek will not receive!!!!", LineColour::Red);
        }
        return {};
    }
    void write_tnc(std::span<const std::uint8_t> b) override { (void)try_write_tnc(b); }
    bool try_write_tnc(std::span<const std::uint8_t> b) override {
        return port && port->write(b) == TncPort::WriteResult::Queued;
    }
    std::size_t tnc_output_queued() override { return port ? port->output_queued() : 0; }
    void close_tnc() override {
        if (port) port->close();
        port.reset();
    }
    bool window_exists(const platform::WindowAddress&) override { return false; }
    Status post_message(const platform::WindowAddress&, const platform::WindowMessage&) override { return {}; }
    void set_title(const std::string&) override {}
    Status launch(const std::vector<std::string>&, platform::ShowMode, const std::filesystem::path&) override {
        return {};
    }
    std::optional<settings::SatelliteRecord> find_satellite(const std::string&) override { return sats.at(0); }
    std::vector<settings::SatelliteRecord> satellites() override { return sats; }
    SystemClockSetter& clock_setter() override { return clock; }
    void play_sound(const settings::SoundChoice&) override {}
    void on_status_line(const StatusLine& line) override { lines.push_back(line.text); }

    bool has_line(const std::string& text) const {
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    // Hands the session what the port holds, as the program's drain does.
    void drain() {
        if (port) session->feed_tnc(port->take());
        session->poll();
    }
    // Drains until `done`, waiting on the port's wake-ups in between.
    bool drain_until(const std::function<bool()>& done) {
        const auto give_up = std::chrono::steady_clock::now() + kPatience;
        for (;;) {
            int seen;
            {
                std::lock_guard lock(m);
                seen = wakes;
            }
            drain();
            if (done()) return true;
            std::unique_lock lock(m);
            if (!cv.wait_until(lock, give_up, [&] { return wakes != seen; })) return done();
        }
    }
    // Station time moves on by `ms` in steps of 50 ms.
    void advance(std::uint64_t ms) {
        for (std::uint64_t t = 0; t < ms; t += 50) {
            now += 50;
            drain();
        }
    }
};

class TncPath : public ::testing::Test {
protected:
    void SetUp() override {
        auto r = settings::new_satellite("AO-16", settings::SatelliteType::PacSat, root.path().string());
        r.satellite_directory = (root / "AO-16").string();
        std::filesystem::create_directories(r.satellite_directory);
        r.bbs_callsign = "PACB-12";
        r.bdcst_callsign = "PACB-11";
        r.run_dispo = 0;
        r.tnc_type = 8;
        host.sats.push_back(r);
        config.station.callsign = "G0ABC";
        config.general.orva_directory = root.path().string();
        config.seed = 5;
    }
    settings::SatelliteRecord& sat() { return host.sats[0]; }
    void open(const std::string& device) {
        host.device = device;
        session.emplace(config, host);
        host.session = &*session;
        session->add_observer(&host);
        session->start("AO-16");
        ASSERT_TRUE(session->pass_open());
    }
    // Closes the pass and runs the exit sequence to its end.
    void close() {
        session->request_close();
        for (int i = 0; i < 200 && host.port; ++i) host.advance(50);
        EXPECT_EQ(host.port, nullptr);
    }

    test::TempFolder root;
    PortHost host;
    SessionConfig config;
    std::optional<BrekSession> session;
};

// A UI frame as the satellite would send it.
Bytes ui_frame(std::string_view text) {
    return build_ui_frame(*Ax25Address::parse("QST-1"), *Ax25Address::parse("PACB-11"), 0, 0xF0, bytes(text));
}

// Where the first KISS data frame after `from` starts in what the TNC heard; 0 if none came.
std::size_t wait_for_data_frame(TestTnc& tnc, std::size_t from) {
    for (std::size_t n = from + 2;; ++n) {
        if (!tnc.wait_for_bytes(n)) return 0;
        const Bytes got = tnc.received();
        for (std::size_t i = from; i + 1 < got.size(); ++i)
            if (got[i] == 0xC0 && (got[i + 1] == 0x00 || got[i + 1] == 0x80)) return i;
        n = got.size();
    }
}

struct ModelCase {
    int type;
    std::string startup; // what the TNC sees before the parameter block
    std::string exit;    // what it sees after our data frame
};

class TncOnPty : public TncPath, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(TncOnPty, StartupFramesBothWaysAndExit) {
    const ModelCase& c = GetParam();
    Pty pty;
    TestTnc tnc(pty.master, c.type != 8, false);
    sat().tnc_type = std::uint32_t(c.type);
    open(pty.slave);

    const auto block = kiss_parameter_block(0, sat().tx_delay, sat().tx_tail);
    std::string expected = c.startup + std::string(block.begin(), block.end());
    host.advance(5100);
    ASSERT_TRUE(tnc.wait_for_bytes(expected.size()));
    {
        const Bytes got = tnc.received();
        EXPECT_EQ(std::string(got.begin(), got.end()), expected);
    }

    // Now in KISS: a frame from the satellite arrives whole, prompts or not before it.
    const auto heard = ui_frame("PB: Empty.");
    tnc.send(encode_kiss_frame(heard, 0, false));
    ASSERT_TRUE(host.drain_until([&] { return session->information().total_bytes >= heard.size(); }));

    // Alt+U: one UI frame out.
    session->transmitter_request();
    const std::size_t frame_at = wait_for_data_frame(tnc, expected.size());
    ASSERT_NE(frame_at, 0u);
    const Bytes got = tnc.received();
    const std::size_t sent_end =
        std::size_t(std::find(got.begin() + std::ptrdiff_t(frame_at) + 2, got.end(), 0xC0) - got.begin());
    ASSERT_LT(sent_end, got.size());
    expected.append(got.begin() + std::ptrdiff_t(expected.size()), got.begin() + std::ptrdiff_t(sent_end) + 1);

    close();
    expected += c.exit;
    ASSERT_TRUE(tnc.wait_for_bytes(expected.size()));
    const Bytes all = tnc.received();
    EXPECT_EQ(std::string(all.begin(), all.end()), expected);
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

TEST_F(TncPath, StartupFileSmackAndUnknownCommands) {
    Pty pty;
    TestTnc tnc(pty.master, false, false);
    sat().test_smack = 1;
    {
        std::ofstream f(std::filesystem::path(sat().satellite_directory) / "Brek TNC Startup.TXT", std::ios::binary);
        f << "MYCALL G0ABC\r";
    }
    open(pty.slave);
    ASSERT_TRUE(tnc.wait_for_bytes(13));
    EXPECT_TRUE(host.has_line("Sending \"Brek TNC Startup\" file."));
    host.advance(5100);

    const auto heard = ui_frame("hello");
    tnc.send(encode_kiss_frame(heard, 0, true));
    ASSERT_TRUE(host.drain_until([&] { return host.has_line("TNC set for SMACK mode"); }));
    ASSERT_TRUE(session->information().bad_smack.has_value());
    auto bad = encode_kiss_frame(heard, 0, true);
    bad[bad.size() - 2] ^= 0x01;
    tnc.send(bad);
    tnc.send(encode_kiss_frame(heard, 0, true));
    ASSERT_TRUE(host.drain_until([&] { return session->information().total_bytes >= 2 * heard.size(); }));
    EXPECT_EQ(session->information().bad_smack, 1u);
    EXPECT_EQ(std::count(host.lines.begin(), host.lines.end(), "TNC set for SMACK mode"), 1);

    // The same unknown command six times: one error line; a seventh: two.
    const Bytes unknown{0xC0, 0x0E, 0x01, 0xC0};
    for (int i = 0; i < 6; ++i) tnc.send(unknown);
    ASSERT_TRUE(host.drain_until([&] { return host.has_line("Error - Unknown KISS data type 0E"); }));
    tnc.send(unknown);
    ASSERT_TRUE(host.drain_until([&] {
        return std::count(host.lines.begin(), host.lines.end(), "Error - Unknown KISS data type 0E") == 2;
    }));

    // Once SMACK is seen, what the station sends is SMACK too: it checks with its CRC.
    const std::size_t before = tnc.received().size();
    session->transmitter_request();
    const std::size_t at = wait_for_data_frame(tnc, before);
    ASSERT_NE(at, 0u);
    const Bytes got = tnc.received();
    EXPECT_EQ(got[at + 1], 0x80);
    close();
}

TEST_F(TncPath, AFullReceiveBufferLosesFramesAndCountsOverruns) {
    Pty pty;
    TestTnc tnc(pty.master, false, false);
    host.options.rx_buffer = 80;
    open(pty.slave);
    host.advance(5100);

    const auto a = ui_frame("first frame, 40 bytes or so");
    const auto b = ui_frame("second frame, lost to the buffer");
    const auto c = ui_frame("third");
    // Every frame heard shows its header line in the monitor.
    auto options = session->general_options();
    options.print_headers = true;
    session->set_general_options(options);
    const auto header_lines = [&] {
        std::vector<std::string> out;
        for (const auto& l : session->monitor_lines())
            if (l.starts_with("[PACB-11 to QST-1] Len ")) out.push_back(l.substr(23, l.find(',') - 23));
        return out;
    };

    // The session does not drain while the first frame waits, so the second finds room for its
    // first bytes only and its middle is lost. Its head and tail must not be read as one frame.
    const auto sent_and_held = [&](const Bytes& wire) {
        int seen;
        {
            std::lock_guard lock(host.m);
            seen = host.wakes;
        }
        tnc.send(wire);
        std::unique_lock lock(host.m);
        return host.cv.wait_for(lock, kPatience, [&] { return host.wakes != seen; });
    };
    const Bytes wire_b = encode_kiss_frame(b, 0, false);
    ASSERT_TRUE(sent_and_held(encode_kiss_frame(a, 0, false)));
    ASSERT_TRUE(sent_and_held(Bytes(wire_b.begin(), wire_b.begin() + 20)));
    EXPECT_EQ(host.port->overruns(), 0u);
    ASSERT_TRUE(sent_and_held(Bytes(wire_b.begin() + 20, wire_b.end() - 8)));
    EXPECT_EQ(host.port->overruns(), 1u);
    host.drain();
    tnc.send(Bytes(wire_b.end() - 8, wire_b.end()));
    tnc.send(encode_kiss_frame(c, 0, false));
    ASSERT_TRUE(host.drain_until([&] { return header_lines().size() >= 2; }));
    host.advance(200);
    EXPECT_EQ(header_lines(), (std::vector<std::string>{std::to_string(a.size()), std::to_string(c.size())}));
    EXPECT_EQ(session->information().overruns, 1u);

    // A frame longer than the reassembly buffer is an overrun too.
    host.options.rx_buffer = 1 << 20;
    Bytes huge(3000, 0x41);
    huge.insert(huge.begin(), {0xC0, 0x00});
    huge.push_back(0xC0);
    close();
    open(pty.slave);
    host.advance(5100);
    tnc.send(huge);
    ASSERT_TRUE(host.drain_until([&] { return session->information().overruns >= 1; }));
    close();
}

TEST_F(TncPath, ADeafTncGivesTheBufferErrorNotAHang) {
    Pty pty;
    TestTnc tnc(pty.master, false, true);
    // A start-up file far larger than the device buffers: most of it stays queued behind a TNC
    // that reads nothing, so a frame does not fit under "TxBuffer".
    {
        std::ofstream f(std::filesystem::path(sat().satellite_directory) / "Brek TNC Startup.TXT", std::ios::binary);
        f << std::string(1 << 20, 'x');
    }
    host.options.max_queued_write = 2 << 20;
    open(pty.slave);
    EXPECT_GT(host.port->output_queued(), 4096u);
    session->transmitter_request();
    EXPECT_TRUE(host.has_line("TX Buffer error. Increase the TX buffer size."));
    close();
}

TEST(TncPort, AStalledPortRefusesWritesOnceItsQueueIsFullAndClosesAtOnce) {
    Pty pty;
    TestTnc tnc(pty.master, false, true);
    TncPortOptions options;
    options.max_queued_write = 8192;
    TncPort port(options, [] {});
    auto stream = platform::open_serial_port(pty.slave, {});
    ASSERT_TRUE(stream);
    ASSERT_TRUE(port.attach(std::move(*stream)));
    const Bytes chunk(1000, 0x55);
    TncPort::WriteResult r = TncPort::WriteResult::Queued;
    int writes = 0;
    for (; writes < 1000 && r == TncPort::WriteResult::Queued; ++writes) r = port.write(chunk);
    EXPECT_EQ(r, TncPort::WriteResult::RefusedFirst);
    EXPECT_EQ(port.write(chunk), TncPort::WriteResult::Refused);
    EXPECT_GE(port.output_queued(), 8000u);
    const auto t = std::chrono::steady_clock::now();
    port.close();
    EXPECT_LT(std::chrono::steady_clock::now() - t, 5s);
    EXPECT_FALSE(port.is_open());
    EXPECT_EQ(port.write(chunk), TncPort::WriteResult::Refused);
}

TEST_F(TncPath, MissingDeviceIsReported) {
    open("/dev/orva-no-such-tty");
    EXPECT_TRUE(host.has_line("Unable to initialise communications port."));
    EXPECT_EQ(host.port, nullptr);
    session->transmitter_request(); // nothing to send it on, and no crash
}

TEST_F(TncPath, KissOverTcpBothWaysAndTheModemGoingAway) {
    Listener listener;
    open(listener.address());
    TestTnc modem(listener.accept_one(), false, false);
    host.advance(5100);
    const auto block = kiss_parameter_block(0, sat().tx_delay, sat().tx_tail);
    ASSERT_TRUE(modem.wait_for_bytes(block.size()));
    EXPECT_EQ(modem.received(), block);

    const auto heard = ui_frame("PB: G0ABC");
    auto wire = encode_kiss_frame(heard, 0, false);
    // Split across writes as a network delivers it.
    modem.send(Bytes(wire.begin(), wire.begin() + 5));
    modem.send(Bytes(wire.begin() + 5, wire.end()));
    ASSERT_TRUE(host.drain_until([&] { return session->information().total_bytes == heard.size(); }));

    modem.hang_up();
    ASSERT_TRUE(host.drain_until([&] {
        return std::any_of(host.lines.begin(), host.lines.end(),
                           [](const std::string& l) { return l.starts_with("The TNC link was lost: 127.0.0.1:"); });
    }));
    EXPECT_EQ(host.port, nullptr);
}

TEST_F(TncPath, NobodyListeningIsReported) {
    int port = 0;
    {
        Listener gone;
        port = gone.port;
    }
    open("127.0.0.1:" + std::to_string(port));
    EXPECT_TRUE(host.has_line("Unable to initialise communications port."));
}

} // namespace
} // namespace orva::engine

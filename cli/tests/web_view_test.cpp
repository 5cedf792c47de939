// The station's web page over a real `helmo --headless` working a simulated pass: the simulated
// satellite on a pseudo-terminal, brek started by helmo for the pass, the page's documents and
// event stream read over HTTP on 127.0.0.1, its controls with and without the access token,
// hostile request targets, and a real headless Chromium that logs in and watches the pass.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <QJsonArray>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <thread>

#include "common/atomic_file.h"
#include "common/elements/kep_database.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "cli/demo/child.h"
#include "cli/demo/demo_configure.h"
#include "cli/demo/demo_files.h"
#include "cli/demo/demo_pass.h"
#include "cli/setup/demo_station.h"
#include "cli/tests/cdp_client.h"
#include "station/orbit/sat_track.h"
#include "station/web/web_access.h"
#include "station/web/web_settings.h"

namespace orva::tools {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::int64_t wall_now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string bin(const char* name) { return (fs::path(ORVA_BIN_DIR) / name).string(); }

struct Reply {
    int status = 0;
    std::string head, body;
};

// One request exactly as written, over a fresh connection; the whole answer.
Reply raw_http(int port, const std::string& request)
{
    Reply r;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        if (fd >= 0)
            ::close(fd);
        return r;
    }
    (void)!::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string out;
    char buf[8192];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 10000) > 0) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        out.append(buf, std::size_t(n));
    }
    ::close(fd);
    std::smatch m;
    if (std::regex_search(out, m, std::regex("^HTTP/1\\.[01] ([0-9]{3})")))
        r.status = std::stoi(m[1].str());
    std::size_t split = out.find("\r\n\r\n");
    r.head = out.substr(0, split);
    if (split != std::string::npos)
        r.body = out.substr(split + 4);
    return r;
}

// The demo station working one pass of AO-16 against the simulated satellite, with its web page
// on a free port of 127.0.0.1, viewing and control behind the access token.
struct Station {
    fs::path dir, store_file, sat_dir;
    std::string token;
    int port = 0;
    std::int64_t aos = 0, los = 0;
    std::vector<std::string> env;
    std::unique_ptr<Child> satsim, helmo;
    std::mutex mutex;
    std::vector<std::string> lines; // helmo's (and brek's) output
    std::jthread reader;

    Status start();
    void stop();
    bool wait_line(const std::string& text, std::chrono::seconds limit);
    std::string output()
    {
        std::lock_guard lock(mutex);
        std::string out;
        for (const std::string& l : lines)
            out += l + "\n";
        return out;
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(port); }
    Reply get(const std::string& target, const std::string& headers = "")
    {
        return raw_http(port, "GET " + target + " HTTP/1.1\r\nHost: " + host() + "\r\nConnection: close\r\n" + headers + "\r\n");
    }
    Reply post(const std::string& target, const std::string& body, const std::string& headers = "")
    {
        return raw_http(port, "POST " + target + " HTTP/1.1\r\nHost: " + host() +
                                  "\r\nConnection: close\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                  std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body);
    }
    std::string bearer() const { return "Authorization: Bearer " + token + "\r\n"; }
    std::string control() const { return bearer() + "X-Orva-Control: 1\r\n"; }
};

Status Station::start()
{
    std::string tmpl = (fs::temp_directory_path() / "orva-web-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        return make_error("no temporary folder");
    dir = tmpl;
    store_file = dir / "store.db";
    env = {"ORVA_STORE=" + store_file.string(), "QT_QPA_PLATFORM=offscreen"};
    auto store = platform::Store::open(store_file, platform::Access::ReadWrite);
    if (!store)
        return store.error();
    if (auto made = create_demo_station(*store, dir / "station"); !made)
        return made.error();

    fs::create_directories(dir / "satellite");
    for (const DemoFile& f : demo_satellite_files())
        if (Status s = write_file_atomic(dir / "satellite" / f.name, std::string_view(f.text)); !s)
            return s;
    // One file that takes a good part of the pass to come down, so its share is seen growing.
    std::string log;
    for (int i = 0; log.size() < 24000; ++i)
        log += "Station log line " + std::to_string(i) + ": all well on the simulated satellite.\r\n";
    if (Status s = write_file_atomic(dir / "satellite" / "LOGBOOK.TXT", std::string_view(log)); !s)
        return s;
    auto c = Child::start({bin("orva-satsim"), "--folder", (dir / "satellite").string(), "--pty", "--loss", "0.02",
                           "--seed", "7"},
                          env);
    if (!c)
        return c.error();
    satsim = std::move(*c);
    std::string pty;
    for (auto until = std::chrono::steady_clock::now() + 10s; pty.empty() && std::chrono::steady_clock::now() < until;) {
        pollfd p{satsim->output_fd(), POLLIN, 0};
        ::poll(&p, 1, 200);
        for (const std::string& l : satsim->read_lines())
            if (l.rfind("PTY ", 0) == 0)
                pty = l.substr(4);
    }
    if (pty.empty())
        return make_error("orva satsim opened no pseudo-terminal");
    if (Status s = configure_demo_pass(*store, pty); !s)
        return s;

    // A pass of AO-16 that starts in 40 s and lasts two minutes or so.
    settings::StationSettings st = settings::read_station(*store, settings::Program::Helmo);
    elements::ObserverSite site = elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude, st.altitude);
    const std::int64_t now = wall_now();
    PassWanted wanted;
    wanted.aos = now + 40;
    wanted.shortest_s = 110;
    wanted.longest_s = 170;
    auto pass = element_set_for_pass(demo_orbit_ao16(), site, wanted);
    if (!pass)
        return pass.error();
    aos = pass->aos;
    los = pass->los;
    elements::KepDatabase db;
    db.add_record(pass->record);
    elements::KepRecord uo = demo_orbit_uo22();
    db.add_record(shifted_orbit(uo, double(now) - double(station::epoch_unix_seconds(uo.epoch_year, uo.epoch_day))));
    if (Status s = db.save(elements::kep_database_path(dir / "station")); !s)
        return s;
    auto ao = settings::read_satellite(*store, "AO-16", settings::Program::Brek);
    if (!ao)
        return ao.error();
    sat_dir = ao->satellite_directory;
    if (Status s = write_file_atomic(sat_dir / "Brek Equations.TXT", std::string_view("[AUTO] { FILESIZE > 1 }\r\n")); !s)
        return s;
    // Something outside the station's folders that no request may ever reach.
    if (Status s = write_file_atomic(dir / "secret.txt", std::string_view("SENTINEL-0xC0FFEE")); !s)
        return s;

    station::web::WebSettings web;
    web.enabled = true;
    web.address = "127.0.0.1";
    web.port = 0;
    web.private_view = true;
    token = station::web::new_token();
    web.token_record = station::web::token_record(token, station::web::random_bytes(16));
    if (Status s = station::web::write_web_settings(*store, web); !s)
        return s;

    auto h = Child::start({bin("helmo"), "--headless", "--no-table"}, env);
    if (!h)
        return h.error();
    helmo = std::move(*h);
    reader = std::jthread([this](std::stop_token stop) {
        while (!stop.stop_requested()) {
            pollfd p{helmo->output_fd(), POLLIN, 0};
            ::poll(&p, 1, 100);
            std::vector<std::string> got = helmo->read_lines();
            (void)satsim->read_lines(); // its pipe never fills
            std::lock_guard lock(mutex);
            lines.insert(lines.end(), got.begin(), got.end());
        }
    });
    if (!wait_line("web view at http://127.0.0.1:", 30s))
        return make_error("helmo did not start its web view:\n" + output());
    std::smatch m;
    const std::string out = output();
    if (!std::regex_search(out, m, std::regex("web view at http://127\\.0\\.0\\.1:([0-9]+)/")))
        return make_error("no port in helmo's output");
    port = std::stoi(m[1].str());
    return {};
}

bool Station::wait_line(const std::string& text, std::chrono::seconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (output().find(text) != std::string::npos)
            return true;
        if (helmo && helmo->poll_exit())
            return false;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

void Station::stop()
{
    if (helmo) {
        helmo->signal_group(SIGTERM);
        helmo->wait_for(15s);
    }
    reader = {};
    helmo.reset();
    if (satsim) {
        satsim->signal_group(SIGTERM);
        satsim->wait_for(5s);
    }
    satsim.reset();
    std::error_code ec;
    if (!dir.empty())
        fs::remove_all(dir, ec);
}

// Events of the stream until `done` says enough or `limit` passes; name and data of each.
std::vector<std::pair<std::string, std::string>> read_events(
    Station& s, const std::function<bool(const std::string&, const std::string&)>& done, std::chrono::seconds limit)
{
    std::vector<std::pair<std::string, std::string>> events;
    httplib::Client client("127.0.0.1", s.port);
    client.set_read_timeout(limit);
    client.set_url_encode(false);
    std::string buffer;
    const auto until = std::chrono::steady_clock::now() + limit;
    bool finished = false;
    client.Get("/api/events", {{"Authorization", "Bearer " + s.token}}, [&](const char* data, std::size_t n) {
        buffer.append(data, n);
        for (std::size_t end; (end = buffer.find("\n\n")) != std::string::npos;) {
            std::string block = buffer.substr(0, end);
            buffer.erase(0, end + 2);
            std::smatch m;
            if (std::regex_search(block, m, std::regex("^event: (\\w+)\ndata: (.*)$"))) {
                events.emplace_back(m[1].str(), m[2].str());
                if (done(m[1].str(), m[2].str()))
                    finished = true;
            }
        }
        return !finished && std::chrono::steady_clock::now() < until;
    });
    return events;
}

std::int64_t json_number(const std::string& json, const std::string& name)
{
    std::smatch m;
    if (std::regex_search(json, m, std::regex("\"" + name + "\":(-?[0-9]+)")))
        return std::stoll(m[1].str());
    return -1;
}

class WebView : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        station = new Station();
        Status s = station->start();
        if (!s) {
            failure = s.error().message;
            station->stop();
        }
    }
    static void TearDownTestSuite()
    {
        if (station) {
            station->stop();
            delete station;
            station = nullptr;
        }
    }
    void SetUp() override { ASSERT_TRUE(failure.empty()) << failure; }
    static inline Station* station = nullptr;
    static inline std::string failure;
};

// Listening beyond loopback without a token is refused with a clear message, and the station
// runs on without its page. (The station of the other tests is not running yet: one bus name.)
TEST(WebViewRefusal, ListeningOnEveryAddressWithoutATokenIsRefused)
{
    std::string tmpl = (fs::temp_directory_path() / "orva-web-refuse-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(tmpl.data()));
    fs::path dir = tmpl;
    {
        auto store = platform::Store::open(dir / "store.db", platform::Access::ReadWrite);
        ASSERT_TRUE(store.ok());
        ASSERT_TRUE(create_demo_station(*store, dir / "station").ok());
        station::web::WebSettings web;
        web.enabled = true;
        web.address = "0.0.0.0";
        web.port = 0;
        ASSERT_TRUE(station::web::write_web_settings(*store, web).ok());
    }
    auto c = Child::start({bin("helmo"), "--headless", "--no-table"}, {"ORVA_STORE=" + (dir / "store.db").string()});
    ASSERT_TRUE(c.ok());
    std::string out;
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (out.find("Helmo started") == std::string::npos && std::chrono::steady_clock::now() < until &&
           !(*c)->poll_exit()) {
        pollfd p{(*c)->output_fd(), POLLIN, 0};
        ::poll(&p, 1, 200);
        for (const std::string& l : (*c)->read_lines())
            out += l + "\n";
    }
    for (int i = 0; i < 10; ++i) { // the web view starts just after the host
        pollfd p{(*c)->output_fd(), POLLIN, 0};
        ::poll(&p, 1, 200);
        for (const std::string& l : (*c)->read_lines())
            out += l + "\n";
    }
    EXPECT_NE(out.find("web view not started: the web view may listen on 0.0.0.0 only with an access token: run "
                       "\"orva web token\" first, or listen on 127.0.0.1"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("web view at"), std::string::npos) << out;
    EXPECT_FALSE((*c)->poll_exit()) << "the station runs on without its page";
    (*c)->signal_group(SIGTERM);
    EXPECT_EQ((*c)->wait_for(15s), 0);
    fs::remove_all(dir);
}

TEST_F(WebView, DocumentsCarryTheTrackingRowsAndTheScheduleAndViewingNeedsTheToken)
{
    Station& s = *station;
    EXPECT_EQ(s.get("/api/live").status, 401) << "a private page asks for the token first";
    EXPECT_EQ(s.get("/api/live", "Authorization: Bearer wrong-token\r\n").status, 401);
    Reply page = s.get("/");
    EXPECT_EQ(page.status, 200) << "the page itself loads, to show the log-in";
    EXPECT_NE(page.head.find("Content-Security-Policy: default-src 'self'"), std::string::npos) << page.head;
    EXPECT_EQ(s.get("/app.js").status, 200);

    Reply live = s.get("/api/live", s.bearer());
    ASSERT_EQ(live.status, 200) << live.body;
    EXPECT_NE(live.body.find(R"({"satellite":"AO-16","azimuth":)"), std::string::npos) << live.body;
    EXPECT_NE(live.body.find(R"({"satellite":"UO-22","azimuth":)"), std::string::npos) << live.body;
    EXPECT_NE(live.body.find(R"({"satellite":"AO-16","aos":)"), std::string::npos) << "AO-16's pass in the schedule: "
                                                                                  << live.body;
    EXPECT_NE(live.body.find(R"("callsign":"N0CALL")"), std::string::npos);
    EXPECT_NEAR(double(json_number(live.body, "now")), double(wall_now()), 3);

    // The log-in form gives a session cookie that stands for the token.
    EXPECT_EQ(s.post("/login", "token=wrong").status, 401);
    Reply login = s.post("/login", "token=" + s.token);
    ASSERT_EQ(login.status, 200) << login.body;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(login.head, m, std::regex("Set-Cookie: orva_session=([0-9a-f]{64}); Path=/; HttpOnly; SameSite=Strict")))
        << login.head;
    EXPECT_EQ(login.head.find(s.token), std::string::npos);
    const std::string cookie = "Cookie: orva_session=" + m[1].str() + "\r\n";
    EXPECT_EQ(s.get("/api/live", cookie).status, 200);
    EXPECT_EQ(s.get("/api/live", "Cookie: orva_session=" + std::string(64, '0') + "\r\n").status, 401);
    EXPECT_EQ(s.post("/logout", "", cookie).status, 200);
    EXPECT_EQ(s.get("/api/live", cookie).status, 401) << "a session ends with the log-out";

    // The live stream: a new "live" document each second.
    std::vector<std::int64_t> nows;
    read_events(s, [&](const std::string& name, const std::string& data) {
        if (name == "live")
            nows.push_back(json_number(data, "now"));
        return nows.size() >= 3;
    }, 20s);
    ASSERT_GE(nows.size(), 3u);
    EXPECT_LT(nows.front(), nows.back()) << "the clock moves in the stream";
    EXPECT_EQ(s.output().find(s.token), std::string::npos) << "the token is never logged";
}

// Everything that could name a file outside the station gets 400 or 404, never a file.
TEST_F(WebView, RequestsThatCouldLeaveTheStationNeverReachAFile)
{
    Station& s = *station;
    const std::string long_name(300, 'A');
    const std::pair<std::string, int> targets[] = {
        {"/api/satellites/AO-16/files/..%2F..%2F..%2Fsecret.txt", 400},
        {"/api/satellites/AO-16/files/..%2f..%2fstore.db", 400},
        {"/api/satellites/../../secret.txt", 400},
        {"/api/satellites/%2E%2E/directory", 400},
        {"/api/satellites/%2Ftmp/directory", 400},
        {"/api/satellites/AO-16%5C..%5C../directory", 400},
        {"//etc/passwd", 400},
        {"/api/satellites/AO-16/messages/1%00", 400},
        {"/api/satellites/" + long_name + "/directory", 400},
        {"/api/satellites/AO-16/files/" + long_name, 400},
        {"/api/satellites/AO-1/directory", 404},
        {"/api/satellites/AO-16/files/secret.txt", 404},
        {"/api/satellites/AO-16/files/FFFFFFFF", 404},
        {"/api/satellites/AO-16/messages/123456789", 404},
        {"/secret.txt", 404},
        {"/" + std::string(3000, 'a'), 414},
    };
    for (const auto& [target, status] : targets) {
        Reply r = s.get(target, s.bearer());
        EXPECT_EQ(r.status, status) << target << "\n" << r.body;
        EXPECT_EQ(r.body.find("SENTINEL"), std::string::npos) << target;
        EXPECT_EQ(r.body.find("SQLite format"), std::string::npos) << target;
    }
    Reply absolute = raw_http(s.port, "GET http://" + s.host() + "/api/live HTTP/1.1\r\nHost: " + s.host() +
                                          "\r\nConnection: close\r\n" + s.bearer() + "\r\n");
    EXPECT_EQ(absolute.status, 400) << absolute.body;
    Reply rebound = raw_http(s.port, "GET /api/live HTTP/1.1\r\nHost: station.example:" + std::to_string(s.port) +
                                         "\r\nConnection: close\r\n" + s.bearer() + "\r\n");
    EXPECT_EQ(rebound.status, 421) << "a name rebound to loopback is not this station";
}

// During the pass the stream carries Brek's own state: the satellite, the bytes heard, its status
// lines and the files it receives.
TEST_F(WebView, TheEventStreamCarriesBreksProgressDuringThePass)
{
    Station& s = *station;
    std::string last;
    int files_seen = 0;
    const auto limit = std::chrono::seconds(std::max<std::int64_t>(60, s.los - wall_now()));
    read_events(s, [&](const std::string& name, const std::string& data) {
        if (name != "engine" || data.find(R"("state":"open")") == std::string::npos)
            return false;
        last = data;
        if (data.find(R"("downloads":[{"file":)") != std::string::npos)
            ++files_seen;
        return json_number(data, "total_bytes") > 2000 && files_seen > 0;
    }, limit);
    ASSERT_FALSE(last.empty()) << "no engine document while the pass ran\n" << s.output();
    EXPECT_NE(last.find(R"("satellite":"AO-16")"), std::string::npos) << last;
    EXPECT_GT(json_number(last, "total_bytes"), 2000) << last;
    EXPECT_GT(files_seen, 0) << "a file being received, with its share: " << last;
    EXPECT_NE(last.find(R"("lines":[{"colour":)"), std::string::npos) << last;
    EXPECT_GT(json_number(last, "pass_end"), 0) << "helmo gave brek the pass's end: " << last;
    Reply live = s.get("/api/live", s.bearer());
    EXPECT_NE(live.body.find(R"("pass":{"satellite":"AO-16")"), std::string::npos) << live.body;
}

// A real browser logs in with the token, and sees the clock and the pass's figures change.
TEST_F(WebView, ABrowserLogsInAndWatchesThePass)
{
    const char* chromium = "/usr/bin/chromium";
    if (!fs::exists(chromium))
        GTEST_SKIP() << "chromium is not installed";
    Station& s = *station;
    auto browser = Browser::start(chromium, s.dir / "chromium-profile");
    ASSERT_TRUE(browser.ok()) << browser.error().message;
    Browser& b = **browser;
    ASSERT_TRUE(b.call("Page.navigate", {{"url", QString::fromStdString("http://" + s.host() + "/")}}).ok());
    ASSERT_TRUE(b.wait_for("document.getElementById('login-dialog').open === true", 15s))
        << "a private page opens with its log-in";
    ASSERT_TRUE(b.evaluate("(() => { const f = document.getElementById('login-form'); f.token.value = '" + s.token +
                           "'; f.requestSubmit(); return true; })()")
                    .ok());
    ASSERT_TRUE(b.wait_for("!document.getElementById('login-dialog').open && document.getElementById('conn').className === 'dot on'", 15s));
    ASSERT_TRUE(b.wait_for("[...document.querySelectorAll('#tracking tbody td:first-child')].some((td) => td.textContent === 'AO-16')", 15s));
    ASSERT_TRUE(b.wait_for("document.getElementById('engine-state').textContent.includes('AO-16')", 60s))
        << "the pass shows in the page";
    auto first = b.evaluate("[document.getElementById('clock').textContent, document.getElementById('e-total').textContent]");
    ASSERT_TRUE(first.ok());
    const QJsonArray before = first->toArray();
    ASSERT_TRUE(b.wait_for("document.getElementById('clock').textContent !== '" + before[0].toString().toStdString() +
                           "' && document.getElementById('e-total').textContent !== '" +
                           before[1].toString().toStdString() + "'",
                           30s))
        << "the clock and the bytes received change without a reload";
    EXPECT_TRUE(b.wait_for("document.querySelectorAll('#map-svg polyline').length > 2 && document.getElementById('map-subject').textContent === 'AO-16'", 15s));
    EXPECT_TRUE(b.wait_for("document.querySelectorAll('#directory tbody tr').length > 0", 20s))
        << "the directory loads";
    auto commands = b.evaluate("document.querySelectorAll('#schedule button').length > 0");
    EXPECT_TRUE(commands.ok() && commands->toBool()) << "logged in, the schedule offers its commands";

    // The picture for the README: the whole page during the pass.
    ASSERT_TRUE(b.call("Emulation.setDeviceMetricsOverride",
                       {{"width", 1280}, {"height", 1800}, {"deviceScaleFactor", 1}, {"mobile", false}})
                    .ok());
    std::this_thread::sleep_for(1500ms); // a second's events and the bars' transitions
    auto png = b.screenshot();
    ASSERT_TRUE(png.ok()) << png.error().message;
    EXPECT_EQ(png->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    const char* out = std::getenv("ORVA_WEB_SCREENSHOT");
    std::ofstream(out ? fs::path(out) : fs::path(ORVA_BIN_DIR).parent_path() / "web.png", std::ios::binary) << *png;
    if (const char* phone = std::getenv("ORVA_WEB_SCREENSHOT_PHONE")) {
        (void)b.call("Emulation.setDeviceMetricsOverride", {{"width", 390}, {"height", 2400}, {"deviceScaleFactor", 1}, {"mobile", true}});
        (void)b.call("Emulation.setEmulatedMedia", {{"features", QJsonArray{QJsonObject{{"name", "prefers-color-scheme"}, {"value", "dark"}}}}});
        std::this_thread::sleep_for(1000ms);
        if (auto p = b.screenshot())
            std::ofstream(phone, std::ios::binary) << *p;
    }
}

// Controls need the token and the page's header; with both, a file is marked in the status table
// Brek reads, and the running pass ends at once.
TEST_F(WebView, ControlIsRefusedWithoutTheTokenAndWorksWithIt)
{
    Station& s = *station;
    // A file of the directory heard during the pass.
    Reply dir = s.get("/api/satellites/AO-16/directory", s.bearer());
    ASSERT_EQ(dir.status, 200) << dir.body;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(dir.body, m, std::regex(R"re(\{"file":"([0-9A-F]+)")re"))) << dir.body;
    const std::string file = m[1].str();
    const std::string mark = "satellite=AO-16&file=" + file + "&status=1";

    EXPECT_EQ(s.post("/api/mark", mark).status, 401);
    EXPECT_EQ(s.post("/api/mark", mark, "X-Orva-Control: 1\r\n").status, 401);
    EXPECT_EQ(s.post("/api/mark", mark, s.bearer()).status, 403) << "without the page's header";
    EXPECT_EQ(s.post("/api/mark", "satellite=AO-16&file=" + file + "&status=3", s.control()).status, 400);
    EXPECT_EQ(s.post("/api/mark", "satellite=NOPE&file=" + file + "&status=1", s.control()).status, 404);
    EXPECT_EQ(s.post("/api/mark", "satellite=..&file=" + file + "&status=1", s.control()).status, 404);
    Reply marked = s.post("/api/mark", mark, s.control());
    ASSERT_EQ(marked.status, 200) << marked.body;
    EXPECT_NE(marked.body.find(R"("status":"N")"), std::string::npos) << marked.body;
    Reply after = s.get("/api/satellites/AO-16/directory", s.bearer());
    EXPECT_NE(after.body.find("{\"file\":\"" + file + "\",\"status\":\"N\""), std::string::npos) << after.body;

    // End this pass now.
    Reply live = s.get("/api/live", s.bearer());
    ASSERT_NE(live.body.find(R"("pass":{"satellite":"AO-16")"), std::string::npos) << "the pass still runs: " << live.body;
    const std::int64_t pass_aos = json_number(live.body.substr(live.body.find(R"("pass":)")), "aos");
    const std::string which = "satellite=AO-16&aos=" + std::to_string(pass_aos);
    EXPECT_EQ(s.post("/api/pass/end", which).status, 401);
    EXPECT_EQ(s.post("/api/pass/end", which, s.bearer()).status, 403);
    EXPECT_EQ(s.post("/api/pass/run", which, s.control()).status, 409) << "a running pass is not started again";
    EXPECT_EQ(s.post("/api/pass/end", "satellite=AO-16&aos=12345", s.control()).status, 409);
    Reply ended = s.post("/api/pass/end", which, s.control());
    ASSERT_EQ(ended.status, 200) << ended.body;
    EXPECT_TRUE(s.wait_line("end this pass now: AO-16", 5s)) << s.output();
    EXPECT_TRUE(s.wait_line("pass of AO-16 over", 60s)) << s.output();
    EXPECT_LT(wall_now(), s.los) << "ended before its LOS";
    Reply over;
    for (int i = 0; i < 50 && over.body.find(R"("pass":null)") == std::string::npos; ++i) {
        over = s.get("/api/live", s.bearer());
        std::this_thread::sleep_for(100ms); // the next round of the tracking loop publishes it
    }
    EXPECT_NE(over.body.find(R"("pass":null)"), std::string::npos) << over.body;
}

} // namespace
} // namespace orva::tools

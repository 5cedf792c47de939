// orva demo [DIR]: the demo station worked end to end. Sets up a station in DIR (a new temporary
// folder when none is given), starts the simulated satellite on a pseudo-terminal, gives it an
// element set whose pass starts at once, queues a message for upload and runs helmo --headless,
// which schedules the pass and starts brek for it. After the pass it checks every file against
// the satellite's copy and the upload against the satellite's folder, files the downloads with
// dispo and prints a summary. Exit 0 only when everything checked out.
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "common/elements/kep_database.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "platform/port_names.h"
#include "platform/store/store.h"
#include "cli/demo/child.h"
#include "cli/demo/demo_check.h"
#include "cli/demo/demo_configure.h"
#include "cli/demo/demo_files.h"
#include "station/orbit/sat_track.h"
#include "cli/demo/demo_pass.h"
#include "platform/options/program_options.h"
#include "cli/setup/demo_station.h"
#include "station/web/web_settings.h"

namespace fs = std::filesystem;
using namespace orva;
using namespace std::chrono_literals;

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void on_signal(int) { g_interrupted = 1; }

struct Options {
    fs::path dir;
    double loss = 0.05;
    std::int64_t shortest = 60, longest = 100;
    std::int64_t lead = 30; // seconds from now to AOS
    bool quiet = false;     // no relayed program lines
    bool window = false;    // helmo with its main window (needs a display) instead of --headless
    bool web = false;       // helmo serves the station's web page on 127.0.0.1
};

std::int64_t wall_now()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string clock_of(std::int64_t t)
{
    std::string s = format_iso8601(StationTime(std::chrono::seconds(t)));
    return s.size() >= 19 ? s.substr(11, 8) : s;
}

void say(const std::string& line)
{
    std::printf("orva demo: %s\n", line.c_str());
    std::fflush(stdout);
}

int fail(const std::string& why)
{
    std::fprintf(stderr, "orva demo: FAILED: %s\n", why.c_str());
    return 1;
}

fs::path program_dir()
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path(".") : self.parent_path();
}

std::string read_text_file(const fs::path& p)
{
    auto bytes = read_file(p);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// Lines of a file, at most the last `n`.
std::vector<std::string> last_lines(const fs::path& p, std::size_t n)
{
    std::vector<std::string> lines;
    std::string text = read_text_file(p), cur;
    for (char c : text) {
        if (c == '\n') {
            if (!cur.empty() && cur.back() == '\r')
                cur.pop_back();
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        lines.push_back(cur);
    if (lines.size() > n)
        lines.erase(lines.begin(), lines.end() - std::ptrdiff_t(n));
    return lines;
}

std::set<fs::path> files_under(const fs::path& dir)
{
    std::set<fs::path> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file())
            out.insert(it->path());
    return out;
}

fs::path find_file_nocase(const fs::path& dir, const std::string& name)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        std::string a = e.path().filename().string(), b = name;
        if (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
            }))
            return e.path();
    }
    return {};
}

class Demo {
public:
    explicit Demo(Options o) : opt_(std::move(o)) {}
    int run();

private:
    int setup();
    int start_satsim();
    int prepare_pass();
    int run_pass();
    int check();
    // Program lines, indented: "station" is helmo and the programs it starts (brek, its output
    // goes to helmo's terminal).
    void relay(const char* who, const std::vector<std::string>& lines);
    void stop_all();

    Options opt_;
    fs::path bin_, store_file_, suite_, satsim_dir_, sat_dir_, manifest_;
    std::vector<std::string> env_;
    std::unique_ptr<tools::Child> satsim_, helmo_;
    std::string pty_;
    std::vector<std::uint8_t> message_;
    tools::DemoPass pass_;
    std::vector<std::string> satsim_lines_;
};

void Demo::relay(const char* who, const std::vector<std::string>& lines)
{
    for (const std::string& l : lines) {
        if (std::string_view(who) == "satsim")
            satsim_lines_.push_back(l);
        if (!opt_.quiet) {
            std::printf("  %-7s | %s\n", who, l.c_str());
            std::fflush(stdout);
        }
    }
}

void Demo::stop_all()
{
    if (helmo_) {
        relay("station", helmo_->read_lines());
        helmo_->stop(15s);
        relay("station", helmo_->read_lines());
        helmo_.reset();
    }
    if (satsim_) {
        satsim_->signal_group(SIGTERM);
        satsim_->wait_for(5s);
        relay("satsim", satsim_->read_lines());
        satsim_->stop(2s);
        satsim_.reset();
    }
    // Anything of ours left behind (we are their reaper).
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

int Demo::run()
{
    bin_ = program_dir();
    for (const char* p : {"orva-setup", "orva-satsim", "helmo", "brek", "dispo"})
        if (!fs::exists(bin_ / p))
            return fail(std::string(p) + " is not built next to orva-demo in " + bin_.string());
    store_file_ = opt_.dir / "store.db";
    suite_ = opt_.dir / "station";
    satsim_dir_ = opt_.dir / "satellite";
    manifest_ = opt_.dir / "satellite-manifest.txt";
    env_ = {"ORVA_STORE=" + fs::absolute(store_file_).string(), "QT_QPA_PLATFORM=offscreen"};
    say("demo station in " + opt_.dir.string());
    int rc = setup();
    if (rc == 0)
        rc = start_satsim();
    if (rc == 0)
        rc = prepare_pass();
    if (rc == 0)
        rc = run_pass();
    stop_all();
    if (g_interrupted) {
        std::fprintf(stderr, "orva demo: interrupted; every program it started has been stopped\n");
        return 130;
    }
    if (rc == 0)
        rc = check();
    return rc;
}

int Demo::setup()
{
    say("[1/5] orva setup --demo " + suite_.string());
    auto c = tools::Child::start({(bin_ / "orva-setup").string(), "--store", store_file_.string(), "--demo", suite_.string()},
                                 env_);
    if (!c)
        return fail(c.error().message);
    auto code = (*c)->wait_for(30s);
    relay("setup", (*c)->read_lines());
    if (!code || *code != 0)
        return fail("orva setup did not complete");
    return 0;
}

int Demo::start_satsim()
{
    fs::create_directories(satsim_dir_);
    std::vector<tools::DemoFile> files = tools::demo_satellite_files();
    for (const tools::DemoFile& f : files)
        if (Status s = write_file_atomic(satsim_dir_ / f.name, std::string_view(f.text)); !s)
            return fail(s.error().message);
    char loss[32];
    std::snprintf(loss, sizeof loss, "%.3f", opt_.loss);
    auto c = tools::Child::start({(bin_ / "orva-satsim").string(), "--folder", satsim_dir_.string(), "--pty", "--loss",
                                  loss, "--seed", std::to_string(wall_now() % 100000), "--manifest", manifest_.string()},
                                 env_);
    if (!c)
        return fail(c.error().message);
    satsim_ = std::move(*c);
    auto until = std::chrono::steady_clock::now() + 10s;
    while (pty_.empty() && std::chrono::steady_clock::now() < until && !g_interrupted) {
        pollfd p{satsim_->output_fd(), POLLIN, 0};
        ::poll(&p, 1, 200);
        for (const std::string& l : satsim_->read_lines()) {
            relay("satsim", {l});
            if (l.rfind("PTY ", 0) == 0)
                pty_ = l.substr(4);
        }
        if (satsim_->poll_exit())
            break;
    }
    if (pty_.empty())
        return g_interrupted ? 1 : fail("orva satsim did not open its pseudo-terminal");
    char text[160];
    std::snprintf(text, sizeof text, "[2/5] satellite simulator on %s: %zu files, %.0f%% of frames lost", pty_.c_str(),
                  files.size(), opt_.loss * 100);
    say(text);
    return 0;
}

int Demo::prepare_pass()
{
    auto store = platform::Store::open(store_file_, platform::Access::ReadWrite);
    if (!store)
        return fail(store.error().message);
    if (Status s = tools::configure_demo_pass(*store, pty_); !s)
        return fail(s.error().message);
    settings::StationSettings st = settings::read_station(*store, settings::Program::Helmo);
    elements::ObserverSite site = elements::ObserverSite::from_station(st.callsign, st.latitude, st.longitude, st.altitude);
    const std::int64_t now = wall_now();
    tools::PassWanted wanted;
    wanted.aos = now + opt_.lead;
    wanted.shortest_s = opt_.shortest;
    wanted.longest_s = opt_.longest;
    auto pass = tools::element_set_for_pass(tools::demo_orbit_ao16(), site, wanted);
    if (!pass)
        return fail(pass.error().message);
    pass_ = *pass;
    elements::KepDatabase db;
    db.add_record(pass_.record);
    // UO-22 as flown, its epoch brought up to date.
    elements::KepRecord uo = tools::demo_orbit_uo22();
    uo = tools::shifted_orbit(uo, double(now) - double(orva::station::epoch_unix_seconds(uo.epoch_year, uo.epoch_day)));
    db.add_record(uo);
    if (Status s = db.save(elements::kep_database_path(suite_)); !s)
        return fail(s.error().message);
    char text[200];
    std::snprintf(text, sizeof text, "[3/5] element sets written: AO-16 rises at %s UTC and sets at %s (%lld s pass)",
                  clock_of(pass_.aos).c_str(), clock_of(pass_.los).c_str(), (long long)(pass_.los - pass_.aos));
    say(text);

    auto ao = settings::read_satellite(*store, "AO-16", settings::Program::Brek);
    if (!ao)
        return fail(ao.error().message);
    sat_dir_ = ao->satellite_directory;
    // The engine fetches only what an equation wants: here, everything.
    if (Status s = write_file_atomic(sat_dir_ / "Brek Equations.TXT", std::string_view("[AUTO] { FILESIZE > 1 }\r\n")); !s)
        return fail(s.error().message);
    auto message = tools::demo_upload_message(st.callsign, std::uint32_t(now));
    if (!message)
        return fail(message.error().message);
    message_ = std::move(*message);
    if (Status s = write_file_atomic(sat_dir_ / "DEMO.OUT", std::span<const std::uint8_t>(message_)); !s)
        return fail(s.error().message);
    say("[4/5] queued DEMO.OUT (" + std::to_string(message_.size()) + " bytes) in " + sat_dir_.string());
    if (opt_.web) {
        station::web::WebSettings web;
        web.enabled = true;
        if (Status s = station::web::write_web_settings(*store, web); !s)
            return fail(s.error().message);
        say("      watch it on " + station::web::web_url(web.address, web.port));
    }
    return 0;
}

int Demo::run_pass()
{
    say(std::string("[5/5] helmo") + (opt_.window ? "" : " --headless") +
        ": the pass of AO-16 is scheduled and brek runs it");
    std::vector<std::string> helmo = {(bin_ / "helmo").string()};
    if (!opt_.window)
        helmo.insert(helmo.end(), {"--headless", "--no-table"});
    std::vector<std::string> env = env_;
    if (opt_.window) // on the display the demo was started with
        std::erase_if(env, [](const std::string& e) { return e.rfind("QT_QPA_PLATFORM=", 0) == 0; });
    auto c = tools::Child::start(helmo, env);
    if (!c)
        return fail(c.error().message);
    helmo_ = std::move(*c);
    // Long enough for the pass, the pass end and the program's own closing.
    const std::int64_t give_up = pass_.los + 120;
    bool over = false, started = false;
    // After the pass Helmo finishes its after-pass steps: a moment before it is stopped.
    std::optional<std::chrono::steady_clock::time_point> settle;
    while (!g_interrupted && (!settle || std::chrono::steady_clock::now() < *settle)) {
        pollfd p[2] = {{helmo_->output_fd(), POLLIN, 0}, {satsim_->output_fd(), POLLIN, 0}};
        ::poll(p, 2, 500);
        for (const std::string& l : helmo_->read_lines()) {
            relay("station", {l});
            if (l.find("started ") != std::string::npos && l.find("brek") != std::string::npos)
                started = true;
            if (l.find("pass of AO-16 over") != std::string::npos && !over) {
                over = true;
                settle = std::chrono::steady_clock::now() + 2s;
            }
        }
        relay("satsim", satsim_->read_lines());
        if (auto code = helmo_->poll_exit()) {
            relay("station", helmo_->read_lines());
            return fail("helmo ended early (exit " + std::to_string(*code) + ")");
        }
        if (satsim_->poll_exit())
            return fail("orva satsim ended during the pass");
        if (!over && wall_now() > give_up)
            return fail(started ? "the pass did not end by " + clock_of(give_up) + " UTC"
                                : "helmo did not start brek for the pass");
    }
    if (g_interrupted)
        return 1;
    // Helmo saves its schedule on SIGTERM; the satellite prints its counters.
    helmo_->signal_group(SIGTERM);
    auto code = helmo_->wait_for(15s);
    relay("station", helmo_->read_lines());
    if (!code)
        return fail("helmo did not stop within 15 s of SIGTERM");
    return 0;
}

int Demo::check()
{
    bool all_ok = true;
    std::printf("\n==== Summary ====\n");
    auto manifest = tools::parse_manifest(read_text_file(manifest_));
    if (!manifest || manifest->empty())
        return fail("no manifest from the simulator: " + (manifest ? std::string("empty") : manifest.error().message));
    std::printf("Files from the satellite (checked against its copy, SHA-256):\n");
    for (const tools::DownloadCheck& c : tools::check_downloads(*manifest, sat_dir_)) {
        std::printf("  %-8X %-14s %7llu bytes  %s\n", unsigned(c.expected.file_number), c.name.c_str(),
                    (unsigned long long)c.expected.size,
                    c.path.empty() ? "MISSING" : c.ok() ? ("ok " + c.sha256.substr(0, 16)).c_str() : "HASH DIFFERS");
        all_ok = all_ok && c.ok();
    }
    tools::UploadCheck up = tools::check_upload(message_, satsim_dir_, sat_dir_);
    std::printf("Upload of DEMO.OUT (%zu bytes):\n", message_.size());
    std::printf("  on the satellite: %s\n", up.on_satellite.empty() ? "MISSING" : up.on_satellite.filename().c_str());
    std::printf("  acknowledged:     %s\n", up.sent.empty() ? "NO .UL" : up.sent.filename().c_str());
    for (const fs::path& q : up.still_queued)
        std::printf("  still queued:     %s\n", q.filename().c_str());
    all_ok = all_ok && up.ok();

    settings::SatelliteRecord rec;
    if (auto store = platform::Store::open(store_file_, platform::Access::ReadOnly))
        if (auto r = settings::read_satellite(*store, "AO-16", settings::Program::Brek))
            rec = *r;
    fs::path log = find_file_nocase(rec.log_directory.empty() ? sat_dir_ : fs::path(rec.log_directory), "Brek.LOG");
    if (log.empty())
        log = find_file_nocase(sat_dir_, "Brek.LOG");
    std::printf("Session log %s:\n", log.empty() ? "(none found)" : log.c_str());
    for (const std::string& l : last_lines(log, 20))
        std::printf("  %s\n", l.c_str());
    if (log.empty())
        all_ok = false;
    for (const std::string& l : satsim_lines_)
        if (l.rfind("satsim:", 0) == 0)
            std::printf("Satellite: %s\n", l.substr(8).c_str());

    // The mail processor files what came down, as brek would have started it.
    if (all_ok) {
        std::set<fs::path> before = files_under(sat_dir_);
        auto d = tools::Child::start({(bin_ / "dispo").string(), "S~AO-16", "F~*.DL"}, env_);
        if (!d)
            return fail(d.error().message);
        auto code = (*d)->wait_for(60s);
        std::vector<std::string> lines = (*d)->read_lines();
        if (!code)
            (*d)->stop(2s);
        std::printf("Dispo (exit %s):\n", code ? std::to_string(*code).c_str() : "none, stopped after 60 s");
        for (const std::string& l : lines)
            std::printf("  %s\n", l.c_str());
        std::size_t filed = 0;
        for (const fs::path& p : files_under(sat_dir_))
            if (!before.count(p) && p.parent_path() != sat_dir_) {
                std::printf("  filed %s\n", fs::relative(p, sat_dir_).c_str());
                ++filed;
            }
        if (!code || *code != 0 || filed == 0) {
            std::printf("  dispo filed nothing\n");
            all_ok = false;
        }
    }
    std::printf("\n%s\n", all_ok ? "Everything verified." : "NOT everything was verified (see above).");
    return all_ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options opt;
    long pass = 0;
    std::string dir;
    platform::ProgramOptions cli("orva demo", "Runs the demo station for one short pass against the simulated satellite "
                                              "and checks what came down and what went up.");
    cli.positional("DIR", dir, "Keeps the station, its store and the simulator's folder (default: a new temporary folder)",
                   false)
        .option("--loss", opt.loss, "Share of frames the simulated radio loses (default 0.05)", "P", 0, 0.5)
        .option("--pass", pass, "The shortest pass wanted, in seconds (default 60)", "S", 20, 600)
        .flag("--quiet", opt.quiet, "Print only the summary")
        .flag("--window", opt.window, "Run helmo with its main window (needs a display) instead of --headless")
        .flag("--web", opt.web, "Serve the station's web page at http://127.0.0.1:8073/ to watch the pass");
    if (auto code = cli.parse(argc, argv))
        return *code;
    opt.dir = dir;
    if (cli.given("--pass")) {
        opt.shortest = pass;
        opt.longest = pass * 5 / 3;
    }
    if (opt.dir.empty()) {
        std::string tmpl = (fs::temp_directory_path() / "orva-demo-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            std::perror("orva demo: cannot create a temporary folder");
            return 1;
        }
        opt.dir = tmpl;
    } else {
        std::error_code ec;
        fs::create_directories(opt.dir, ec);
        if (ec)
            return fail("cannot create " + opt.dir.string() + ": " + ec.message());
        if (!fs::is_empty(opt.dir, ec))
            return fail(opt.dir.string() + " is not empty; give a new or empty folder");
    }
    opt.dir = fs::absolute(opt.dir);
    // Programs our children start (brek, dispo) come back to us if their parent goes first.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    Demo demo(opt);
    return demo.run();
}

// orva-soak: days of unattended operation in minutes. Sets up the demo station, runs helmo
// --headless as its service unit would (restarted when it dies, what it started stopped with
// it), and at every pass lets `orva satsim` on a pseudo-terminal be the satellite, serving a
// folder that other stations keep uploading to. Every program keeps one shared station clock,
// fast between passes and slow during them. Faults strike at moments drawn from one seed. At the
// end one table says what ran, what came down, what went up and how the station recovered.
#include <signal.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/hash/sha256.h"
#include "cli/setup/demo_station.h"
#include "common/atomic_file.h"
#include "common/elements/kep_database.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/subkey_records.h"
#include "common/settings/suite_settings.h"
#include "common/station_time.h"
#include "platform/options/program_options.h"
#include "platform/port_names.h"
#include "platform/shared_clock.h"
#include "platform/store/store.h"
#include "station/core/pass_listing.h"
#include "testbed/soak/soak_checks.h"
#include "testbed/soak/soak_files.h"
#include "testbed/soak/soak_plan.h"
#include "testbed/soak/soak_processes.h"

namespace fs = std::filesystem;
using namespace orva;
using namespace orva::soak;
using namespace std::chrono_literals;

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void on_signal(int) { g_interrupted = 1; }

// The service unit's values (packaging/systemd/orva-helmo.service.in), read at configure time.
#ifndef ORVA_UNIT_EXEC_ARGS
#define ORVA_UNIT_EXEC_ARGS "--headless"
#endif
#ifndef ORVA_UNIT_RESTART_SEC
#define ORVA_UNIT_RESTART_SEC 10
#endif
#ifndef ORVA_UNIT_TIMEOUT_STOP_SEC
#define ORVA_UNIT_TIMEOUT_STOP_SEC 30
#endif

constexpr std::int64_t kDay = 86400;
// Housekeeping runs daily at these UTC hours.
const std::vector<int> kHousekeepingHours = {4, 16};

struct Options {
    fs::path dir;
    double days = 7;
    std::uint64_t seed = 0;
    bool seed_given = false;
    double fast = 2500, slow = 80;
    double loss = 0.05;
    std::uint32_t keep_days = 2;
    std::string start = "2026-12-08T00:00:00Z";
    bool verbose = false;
    bool clean = false; // remove the run's folder when it passed
};

std::string stamp(std::int64_t t) { return format_iso8601(StationTime(std::chrono::seconds(t))); }
std::string clock_of(std::int64_t t)
{
    std::string s = stamp(t);
    return s.size() >= 16 ? s.substr(11, 5) : s;
}
std::string day_clock(std::int64_t start, std::int64_t t)
{
    char b[48];
    std::snprintf(b, sizeof b, "day %lld %s", (long long)((t - start) / kDay + 1), clock_of(t).c_str());
    return b;
}
std::string hex(std::uint32_t n)
{
    char b[16];
    std::snprintf(b, sizeof b, "%X", unsigned(n));
    return b;
}
std::string format(const char* f, ...)
{
    char b[1024];
    va_list a;
    va_start(a, f);
    std::vsnprintf(b, sizeof b, f, a);
    va_end(a);
    return b;
}
std::string read_text(const fs::path& p)
{
    auto bytes = read_file(p);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

fs::path program_dir()
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path(".") : self.parent_path();
}

// A file on the satellite, as the bench put it there.
struct SatFile {
    std::uint32_t number = 0;
    std::vector<std::uint8_t> bytes;
    std::string sha256;
    bool corrupt = false;
    std::int64_t added = 0;
    bool served = false;                  // a pass's satellite has offered it
    std::optional<std::int64_t> received; // first seen whole on the station
    std::string where;                    // where it was seen
    bool differs = false;                 // a whole copy with other bytes was seen
};

struct Satellite {
    std::string name;
    settings::SatelliteRecord record;
    fs::path sim_dir, tnc_link, station_dir, dlx_dir;
    std::map<std::uint32_t, SatFile> files;
    std::uint32_t next_number = 0x1000;
    std::uint64_t peak_bytes = 0;
};

struct Message {
    std::string satellite;
    int index = 0;
    std::vector<std::uint8_t> bytes;
    std::string sha256;
    std::int64_t queued = 0;
    bool marked_sent = false; // a ".UL" with its bytes was seen on the station
    std::set<fs::path> copies; // on the satellite
};

// One pass as the bench runs it: the satellite (or a silent line) from a little before the
// program starts to a little after the pass ends.
struct PassRun {
    SoakPass pass;
    std::int64_t from = 0, to = 0;
    enum class State { Waiting, On, Done } state = State::Waiting;
    pid_t satsim = -1;
    std::optional<SilentLine> silent;
    bool tnc_killed = false;
    fs::path satsim_log;
    std::string satellite_counters;
};

struct FaultRecord {
    PlannedFault plan;
    bool injected = false;
    std::string what;      // what was done
    std::string recovery;  // how the station came back
    std::int64_t done_at = 0;
};

struct Sample {
    std::int64_t t = 0;
    pid_t helmo = 0;
    std::int64_t helmo_started = 0;
    std::uint64_t rss_kb = 0;
    int fds = 0;
    int threads = 0;
    std::vector<std::string> targets; // what the descriptors are
};

class Soak {
public:
    explicit Soak(Options o) : opt_(std::move(o)) {}
    int run();

private:
    int setup();
    int configure();
    int make_the_plan();
    void loop();
    void step(std::int64_t t);
    void reap();
    void supervise(std::int64_t t);
    void start_helmo(std::int64_t t);
    std::vector<ProcessInfo> unit_processes() const;
    bool brek_running() const;
    mutable std::chrono::steady_clock::time_point brek_checked_{};
    mutable bool brek_seen_ = false;
    void run_passes(std::int64_t t);
    void start_satellite(PassRun& r);
    void stop_satellite(PassRun& r);
    void after_pass(PassRun& r);
    void apply_faults(std::int64_t t);
    std::string download_in_progress(const std::string& satellite, std::int64_t t);
    void inject(FaultRecord& f, std::int64_t t);
    void add_files(std::int64_t t);
    void queue_uploads(std::int64_t t);
    void hold_store_lock(std::int64_t t);
    void scan(std::int64_t t);
    void sample(std::int64_t t);
    void progress(std::int64_t t, const std::string& line);
    int finish();
    void stop_everything();
    Satellite& sat(const std::string& name);
    const std::vector<std::uint8_t>* original(const std::string& satellite, std::uint32_t number);
    std::vector<std::string> env() const;
    std::string helmo_log_since(std::uintmax_t& offset) const;

    Options opt_;
    fs::path bin_, store_file_, suite_, logs_, clock_file_;
    std::vector<Satellite> sats_;
    std::string callsign_;
    SoakPlan plan_;
    std::int64_t start_ = 0;
    std::optional<platform::SharedClockFile> clock_;
    double rate_ = 0;

    // The helmo unit.
    pid_t helmo_ = -1;
    std::int64_t helmo_started_ = 0;
    int helmo_starts_ = 0;
    std::vector<std::int64_t> helmo_start_times_;
    std::optional<std::int64_t> restart_at_; // station time
    std::optional<std::chrono::steady_clock::time_point> stop_deadline_;
    std::int64_t down_since_ = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> down_; // helmo not running, station times
    std::vector<std::string> exits_;
    bool final_stop_ = false;
    std::vector<std::string> leftovers_; // processes found alive when they should have ended

    std::vector<PassRun> runs_;
    std::vector<FaultRecord> faults_;
    std::size_t next_file_ = 0, next_upload_ = 0;
    std::vector<Message> messages_;
    std::map<pid_t, int> exited_; // reaped statuses of our own children
    std::set<pid_t> satsims_;

    // Store lock.
    sqlite3* lock_db_ = nullptr;
    std::chrono::steady_clock::time_point lock_until_;
    FaultRecord* lock_fault_ = nullptr;
    std::uintmax_t lock_log_offset_ = 0;

    WholeFileScanner scanner_;
    std::vector<PartialProblem> partial_problems_;
    std::vector<Sample> samples_;
    std::int64_t next_sample_ = 0;
    std::int64_t last_slow_ = 0; // the last moment a pass was on or brek ran
    std::int64_t next_day_ = 0;
    std::int64_t passes_started_ = 0;
    std::uintmax_t progress_offset_ = 0;
    std::vector<std::pair<int, std::map<std::string, std::uint64_t>>> day_sizes_;
};

Satellite& Soak::sat(const std::string& name)
{
    for (Satellite& s : sats_)
        if (s.name == name)
            return s;
    return sats_.front();
}

const std::vector<std::uint8_t>* Soak::original(const std::string& satellite, std::uint32_t number)
{
    Satellite& s = sat(satellite);
    auto it = s.files.find(number);
    return it == s.files.end() ? nullptr : &it->second.bytes;
}

std::vector<std::string> Soak::env() const
{
    return {"ORVA_STORE=" + store_file_.string(), std::string(platform::kClockFileVariable) + "=" + clock_file_.string(),
            "QT_QPA_PLATFORM=offscreen"};
}

void Soak::progress(std::int64_t t, const std::string& line)
{
    std::printf("[%s] %s\n", day_clock(start_, t).c_str(), line.c_str());
    std::fflush(stdout);
}

int Soak::run()
{
    bin_ = program_dir();
    for (const char* p : {"orva-setup", "orva-satsim", "helmo", "brek", "dispo"})
        if (!fs::exists(bin_ / p)) {
            std::fprintf(stderr, "orva-soak: %s is not built next to orva-soak in %s\n", p, bin_.c_str());
            return 1;
        }
    store_file_ = opt_.dir / "store.db";
    suite_ = opt_.dir / "station";
    logs_ = opt_.dir / "logs";
    clock_file_ = opt_.dir / "station.clock";
    fs::create_directories(logs_);
    std::printf("orva-soak: %.3g station day(s) from %s, seed %" PRIu64 ", in %s\n", opt_.days, opt_.start.c_str(),
                opt_.seed, opt_.dir.c_str());
    std::printf("orva-soak: the same run again: orva-soak --days %g --seed %" PRIu64 " --fast %g --slow %g\n", opt_.days,
                opt_.seed, opt_.fast, opt_.slow);
    std::fflush(stdout);
    if (int rc = setup(); rc != 0)
        return rc;
    if (int rc = configure(); rc != 0)
        return rc;
    if (int rc = make_the_plan(); rc != 0)
        return rc;
    loop();
    stop_everything();
    if (g_interrupted) {
        std::fprintf(stderr, "orva-soak: interrupted; every program it started has been stopped\n");
        return 130;
    }
    return finish();
}

int Soak::setup()
{
    const fs::path log = logs_ / "setup.log";
    auto pid = spawn({(bin_ / "orva-setup").string(), "--store", store_file_.string(), "--demo", suite_.string()},
                     {"ORVA_STORE=" + store_file_.string()}, log);
    if (!pid) {
        std::fprintf(stderr, "orva-soak: %s\n", pid.error().message.c_str());
        return 1;
    }
    int status = 0;
    ::waitpid(*pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "orva-soak: orva setup --demo failed:\n%s", read_text(log).c_str());
        return 1;
    }
    return 0;
}

int Soak::configure()
{
    auto store = platform::Store::open(store_file_, platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "orva-soak: %s\n", store.error().message.c_str());
        return 1;
    }
    using namespace settings;
    callsign_ = read_station(*store, Program::Helmo).callsign;
    fs::create_directories(opt_.dir / "tnc");
    int port = 1;
    for (const char* name : {"AO-16", "UO-22"}) {
        auto key = find_satellite_key(*store, name, CaseRule::IgnoreCase);
        if (!key) {
            std::fprintf(stderr, "orva-soak: orva setup wrote no %s\n", name);
            return 1;
        }
        SatelliteRecord r = read_satellite_key(*store, *key);
        r.program = "BREK.EXE --headless %s";
        r.state = 0;
        r.priority = port == 1 ? 10 : 20;
        r.port = std::uint32_t(port);
        r.tnc_type = 8; // the simulator speaks KISS from the start
        r.min_elevation = 0;
        r.min_pass_time = 0;
        r.run_dispo = 1;
        if (auto w = write_satellite(*store, *key, r); !w) {
            std::fprintf(stderr, "orva-soak: %s\n", w.error().message.c_str());
            return 1;
        }
        Satellite s;
        s.name = name;
        s.record = read_satellite_key(*store, *key);
        s.sim_dir = opt_.dir / "satellites" / name;
        s.tnc_link = opt_.dir / "tnc" / name;
        s.station_dir = s.record.satellite_directory;
        s.dlx_dir = s.record.dlx_directory.empty() ? s.station_dir : fs::path(s.record.dlx_directory);
        fs::create_directories(s.sim_dir);
        // The engine fetches what an equation wants: here, everything.
        (void)write_file_atomic(s.station_dir / "Brek Equations.TXT", std::string_view("[AUTO] { FILESIZE > 1 }\r\n"));
        // Each satellite's line is a fixed name the bench points at the pass's pseudo-terminal.
        if (Status st = store->write_string(platform::serial_ports_key, "COM" + std::to_string(port), s.tnc_link.string());
            !st) {
            std::fprintf(stderr, "orva-soak: %s\n", st.error().message.c_str());
            return 1;
        }
        sats_.push_back(std::move(s));
        ++port;
    }
    HelmoSettings h = read_helmo(*store);
    h.tracking = "AO-16~UO-22~";
    h.schedule_days = 1;
    h.message_pop_ups = 0;
    h.map_display = 0;
    h.fh_oldest_files = opt_.keep_days;
    h.fh_oldest_messages = opt_.keep_days;
    h.fh_delete_dlx = h.fh_delete_msg = h.fh_delete_mymsg = h.fh_delete_ul = h.fh_delete_act = 1;
    h.fh_pfh_action = 1;
    h.fh_keep_pfh_files = 10;
    if (auto s = write_helmo(*store, h); !s) {
        std::fprintf(stderr, "orva-soak: %s\n", s.error().message.c_str());
        return 1;
    }
    for (int hour : kHousekeepingHours) {
        EventRecord e;
        e.name = format("Housekeeping %02d00", hour);
        e.associate = 3; // housekeeping
        e.run = 2;       // daily
        e.time = std::uint32_t(hour * 3600);
        e.active = 1;
        e.minimise = 1;
        e.satellite = "[None]";
        if (auto s = write_event(*store, std::string(keys::helmo_events) + "\\" + e.name, e); !s) {
            std::fprintf(stderr, "orva-soak: %s\n", s.error().message.c_str());
            return 1;
        }
    }
    return 0;
}

int Soak::make_the_plan()
{
    auto t = parse_iso8601(opt_.start);
    if (!t) {
        std::fprintf(stderr, "orva-soak: --start \"%s\" is not a UTC time like 2026-12-08T00:00:00Z\n", opt_.start.c_str());
        return 2;
    }
    start_ = t->time_since_epoch().count();
    auto store = platform::Store::open(store_file_, platform::Access::ReadOnly);
    if (!store)
        return 1;
    auto db = elements::KepDatabase::load(elements::kep_database_path(suite_));
    if (!db) {
        std::fprintf(stderr, "orva-soak: %s\n", db.error().message.c_str());
        return 1;
    }
    station::PassListing listing = station::list_passes(*store, *db, start_, std::int64_t(std::ceil(opt_.days)) + 1);
    std::vector<SoakPass> passes;
    for (const station::ListedPass& p : listing.passes) {
        if (!p.entry.elevation_ok || p.entry.dont_run)
            continue;
        SoakPass s;
        s.satellite = p.entry.name;
        s.aos = p.entry.aos;
        s.los = p.entry.los;
        s.run_start = p.entry.run_start;
        s.run_end = p.entry.run_end;
        s.start_lead = p.entry.start_lead;
        s.max_elevation = p.entry.max_elevation;
        s.scheduled = p.scheduled;
        passes.push_back(s);
    }
    PlanSettings ps;
    ps.start = start_;
    ps.days = opt_.days;
    ps.seed = opt_.seed;
    for (const Satellite& s : sats_)
        ps.satellites.push_back(s.name);
    ps.housekeeping_hours = kHousekeepingHours;
    plan_ = make_plan(std::move(passes), ps);
    for (const SoakPass& p : plan_.passes) {
        PassRun r;
        r.pass = p;
        r.from = p.run_start - p.start_lead - ps.lead_seconds;
        r.to = p.run_end + ps.tail_seconds;
        runs_.push_back(std::move(r));
    }
    for (const PlannedFault& f : plan_.faults) {
        FaultRecord r;
        r.plan = f;
        faults_.push_back(std::move(r));
    }
    std::int64_t scheduled = 0;
    for (const SoakPass& p : plan_.passes)
        scheduled += p.scheduled;
    std::printf("orva-soak: %zu passes over the station, %lld of them to run; %zu faults planned:\n", plan_.passes.size(),
                (long long)scheduled, plan_.faults.size());
    for (const PlannedFault& f : plan_.faults)
        std::printf("  %s  %-30s %s\n", day_clock(start_, f.at).c_str(), fault_name(f.kind),
                    f.satellite.empty() ? "" : (f.satellite + (f.pass_aos ? " pass AOS " + clock_of(f.pass_aos) : "")).c_str());
    std::fflush(stdout);
    return 0;
}

std::string Soak::helmo_log_since(std::uintmax_t& offset) const
{
    std::ifstream in(logs_ / "helmo.log", std::ios::binary);
    in.seekg(std::streamoff(offset));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Whole lines only.
    const auto last = text.rfind('\n');
    if (last == std::string::npos)
        return {};
    text.resize(last + 1);
    offset += text.size();
    return text;
}

void Soak::loop()
{
    auto c = platform::SharedClockFile::create(clock_file_, platform::TimePoint{std::chrono::seconds{start_}}, opt_.fast);
    if (!c) {
        std::fprintf(stderr, "orva-soak: %s\n", c.error().message.c_str());
        return;
    }
    clock_ = std::move(*c);
    rate_ = opt_.fast;
    next_sample_ = start_ + 3600;
    next_day_ = start_ + kDay;
    start_helmo(start_);
    while (!g_interrupted) {
        const std::int64_t t = std::chrono::duration_cast<std::chrono::seconds>(clock_->now().time_since_epoch()).count();
        step(t);
        if (t >= plan_.end && !brek_running() && std::all_of(runs_.begin(), runs_.end(), [](const PassRun& r) {
                return r.state != PassRun::State::On;
            }))
            break;
        std::this_thread::sleep_for(5ms);
    }
}

void Soak::step(std::int64_t t)
{
    reap();
    supervise(t);
    run_passes(t);
    apply_faults(t);
    add_files(t);
    queue_uploads(t);
    hold_store_lock(t);
    for (PassRun& r : runs_)
        if (r.silent)
            r.silent->drain();
    // Slow while a pass is on or its engine still runs; fast otherwise.
    const bool slow = in_window(plan_.windows, t) || brek_running();
    const double want = slow ? opt_.slow : opt_.fast;
    if (want != rate_) {
        if (Status s = clock_->set_rate(want); s)
            rate_ = want;
    }
    // Memory is sampled at quiet moments only: no pass on, none just ended, helmo up a while.
    if (slow)
        last_slow_ = t;
    const bool quiet = !slow && t - last_slow_ > 600 && helmo_ > 0 && t - helmo_started_ > 600;
    if (t >= next_sample_ && quiet) {
        sample(t);
        next_sample_ = t - t % 3600 + 3600;
    }
    if (t >= next_day_) {
        std::map<std::string, std::uint64_t> sizes;
        std::string text;
        for (Satellite& s : sats_) {
            sizes[s.name] = folder_bytes(s.station_dir);
            text += format("%s %.1f kB  ", s.name.c_str(), double(sizes[s.name]) / 1024);
        }
        day_sizes_.push_back({int((next_day_ - start_) / kDay), sizes});
        std::size_t down = 0, total = 0;
        for (const Satellite& s : sats_)
            for (const auto& [n, f] : s.files) {
                ++total;
                down += f.received.has_value();
            }
        progress(t, format("end of day %lld: %lld passes started, %zu of %zu files down; satellite folders: %s",
                           (long long)((next_day_ - start_) / kDay), (long long)passes_started_, down, total, text.c_str()));
        next_day_ += kDay;
    }
}

void Soak::reap()
{
    for (;;) {
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, WNOHANG);
        if (pid <= 0)
            break;
        exited_[pid] = status;
    }
}

std::vector<ProcessInfo> Soak::unit_processes() const
{
    std::vector<ProcessInfo> out;
    for (const ProcessInfo& p : descendants(::getpid()))
        if (!satsims_.count(p.pid) && !satsims_.count(p.parent))
            out.push_back(p);
    return out;
}

bool Soak::brek_running() const
{
    // Looked up in /proc at most every 20 ms of wall time: the loop asks far more often.
    const auto now = std::chrono::steady_clock::now();
    if (now - brek_checked_ < 20ms)
        return brek_seen_;
    brek_checked_ = now;
    brek_seen_ = false;
    for (const ProcessInfo& p : unit_processes())
        if (p.program == "brek" && !exited_.count(p.pid))
            brek_seen_ = true;
    return brek_seen_;
}

void Soak::start_helmo(std::int64_t t)
{
    std::vector<std::string> argv = {(bin_ / "helmo").string()};
    std::istringstream words(ORVA_UNIT_EXEC_ARGS);
    for (std::string w; words >> w;)
        argv.push_back(w);
    {
        std::ofstream(logs_ / "helmo.log", std::ios::app)
            << stamp(t) << " === orva-soak: starting helmo (start " << (helmo_starts_ + 1) << ") ===\n";
    }
    auto pid = spawn(argv, env(), logs_ / "helmo.log");
    if (!pid) {
        progress(t, "cannot start helmo: " + pid.error().message);
        restart_at_ = t + ORVA_UNIT_RESTART_SEC;
        return;
    }
    helmo_ = *pid;
    helmo_started_ = t;
    ++helmo_starts_;
    helmo_start_times_.push_back(t);
    if (down_since_ != 0) {
        down_.push_back({down_since_, t});
        down_since_ = 0;
    }
}

// What the unit does: when helmo ends, everything it started is asked to stop (SIGTERM), killed
// after the stop timeout, and helmo is started again after the restart delay unless it ended
// cleanly.
void Soak::supervise(std::int64_t t)
{
    if (helmo_ > 0) {
        auto it = exited_.find(helmo_);
        if (it == exited_.end())
            return;
        const int status = it->second;
        exited_.erase(it);
        const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        const std::string how = WIFSIGNALED(status) ? std::string("killed by signal ") + std::to_string(WTERMSIG(status))
                                                    : "exit " + std::to_string(WEXITSTATUS(status));
        exits_.push_back(stamp(t) + " helmo (pid " + std::to_string(helmo_) + ") " + how);
        if (!final_stop_)
            progress(t, "helmo ended (" + how + ")");
        helmo_ = -1;
        down_since_ = t;
        for (const ProcessInfo& p : unit_processes())
            ::kill(p.pid, SIGTERM);
        stop_deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(ORVA_UNIT_TIMEOUT_STOP_SEC);
        if (!clean && !final_stop_)
            restart_at_ = t + ORVA_UNIT_RESTART_SEC;
        return;
    }
    if (stop_deadline_) {
        auto left = unit_processes();
        if (!left.empty() && std::chrono::steady_clock::now() < *stop_deadline_)
            return;
        for (const ProcessInfo& p : left) {
            leftovers_.push_back(stamp(t) + " " + p.program + " (pid " + std::to_string(p.pid) +
                                 ") still running at the unit's stop timeout: killed");
            ::kill(p.pid, SIGKILL);
        }
        stop_deadline_.reset();
    }
    if (restart_at_ && t >= *restart_at_ && !final_stop_) {
        restart_at_.reset();
        start_helmo(t);
        progress(t, "helmo started again (start " + std::to_string(helmo_starts_) + ")");
    }
}

void Soak::run_passes(std::int64_t t)
{
    for (PassRun& r : runs_) {
        if (r.state == PassRun::State::Waiting && t >= r.from) {
            r.state = PassRun::State::On;
            start_satellite(r);
        } else if (r.state == PassRun::State::On && t >= r.to) {
            // The engine may still be closing its pass: the satellite stays until it has.
            if (brek_running() && t < r.to + 600)
                continue;
            r.state = PassRun::State::Done;
            stop_satellite(r);
            after_pass(r);
        }
    }
}

void Soak::start_satellite(PassRun& r)
{
    Satellite& s = sat(r.pass.satellite);
    for (auto& [n, f] : s.files)
        f.served = true;
    std::string line;
    const bool silent = std::any_of(faults_.begin(), faults_.end(), [&](const FaultRecord& f) {
        return f.plan.kind == FaultKind::SatelliteSilent && f.plan.satellite == r.pass.satellite && f.plan.pass_aos == r.pass.aos;
    });
    if (silent) {
        auto l = SilentLine::open();
        if (!l) {
            progress(r.from, "cannot open a silent line: " + l.error().message);
            return;
        }
        r.silent = std::move(*l);
        line = r.silent->path();
    } else {
        std::string log_name = format("satsim-%s-%s.log", s.name.c_str(), stamp(r.pass.aos).substr(0, 16).c_str());
        std::replace(log_name.begin(), log_name.end(), ':', '-');
        r.satsim_log = logs_ / log_name;
        auto pid = spawn({(bin_ / "orva-satsim").string(), "--folder", s.sim_dir.string(), "--pty", "--loss",
                          format("%.3f", opt_.loss), "--seed", std::to_string(opt_.seed + std::uint64_t(r.pass.aos)),
                          "--rate", "1200", "--bdcst-call", s.record.bdcst_callsign, "--bbs-call", s.record.bbs_callsign},
                         env(), r.satsim_log);
        if (!pid) {
            progress(r.from, "cannot start orva satsim: " + pid.error().message);
            return;
        }
        r.satsim = *pid;
        satsims_.insert(*pid);
        // Its first line names the pseudo-terminal.
        const auto until = std::chrono::steady_clock::now() + 10s;
        while (line.empty() && std::chrono::steady_clock::now() < until) {
            std::string text = read_text(r.satsim_log);
            if (auto at = text.find("PTY "); at != std::string::npos && text.find('\n', at) != std::string::npos)
                line = text.substr(at + 4, text.find('\n', at) - at - 4);
            else
                std::this_thread::sleep_for(5ms);
        }
        if (line.empty()) {
            progress(r.from, "orva satsim did not open its pseudo-terminal");
            return;
        }
    }
    const fs::path temp = s.tnc_link.string() + ".new";
    std::error_code ec;
    fs::remove(temp, ec);
    fs::create_symlink(line, temp, ec);
    fs::rename(temp, s.tnc_link, ec);
    if (opt_.verbose)
        progress(r.from, "pass of " + s.name + " (AOS " + clock_of(r.pass.aos) + "): " +
                             (silent ? "a satellite that never answers on " : "satellite on ") + line);
}

void Soak::stop_satellite(PassRun& r)
{
    if (r.satsim > 0) {
        if (!exited_.count(r.satsim))
            ::kill(r.satsim, SIGTERM);
        const auto until = std::chrono::steady_clock::now() + 3s;
        while (!exited_.count(r.satsim) && std::chrono::steady_clock::now() < until) {
            reap();
            std::this_thread::sleep_for(2ms);
        }
        if (!exited_.count(r.satsim)) {
            ::kill(r.satsim, SIGKILL);
            ::waitpid(r.satsim, nullptr, 0);
        }
        exited_.erase(r.satsim);
        satsims_.erase(r.satsim);
        std::string text = read_text(r.satsim_log);
        if (auto at = text.rfind("satsim: "); at != std::string::npos)
            r.satellite_counters = text.substr(at + 8, text.find('\n', at) - at - 8);
        r.satsim = -1;
    }
    r.silent.reset();
}

void Soak::after_pass(PassRun& r)
{
    const std::int64_t t = r.to;
    // Every hole list on the station must describe the data beside it.
    for (Satellite& s : sats_) {
        auto problems = check_partials(s.station_dir, [&](std::uint32_t n) { return original(s.name, n); });
        for (PartialProblem& p : problems) {
            p.file = s.name + "/" + p.file + " after the pass of " + r.pass.satellite + " at " + clock_of(r.pass.aos);
            progress(t, "HOLE LIST: " + p.file + ": " + p.problem);
            partial_problems_.push_back(p);
        }
    }
    scan(t);
    std::uintmax_t before = progress_offset_;
    std::string text = helmo_log_since(progress_offset_);
    (void)before;
    bool ran = false;
    for (const PassStart& p : parse_pass_starts(text)) {
        ++passes_started_;
        ran = ran || (p.satellite == r.pass.satellite && p.aos == r.pass.aos);
    }
    std::size_t down = 0, total = 0;
    for (const Satellite& s : sats_)
        for (const auto& [n, f] : s.files) {
            ++total;
            down += f.received.has_value();
        }
    progress(r.pass.run_start,
             format("pass %-5s %s-%s el %2d%s: %lld passes started so far, %zu/%zu files down", r.pass.satellite.c_str(),
                    clock_of(r.pass.run_start).c_str(), clock_of(r.pass.run_end).c_str(), r.pass.max_elevation,
                    r.pass.scheduled ? "" : " (yields)", (long long)passes_started_, down, total));
}

void Soak::scan(std::int64_t t)
{
    for (Satellite& s : sats_) {
        std::map<std::uint32_t, std::uint64_t> sizes;
        for (const auto& [n, f] : s.files)
            sizes[n] = f.bytes.size();
        for (const WholeFile& w : scanner_.scan(s.station_dir, sizes)) {
            SatFile& f = s.files[w.number];
            if (w.sha256 != f.sha256) {
                if (!f.differs)
                    progress(t, "FILE " + s.name + " " + hex(w.number) + " at " + w.path.string() +
                                    " differs from the satellite's copy");
                f.differs = true;
                continue;
            }
            if (!f.received) {
                f.received = t;
                f.where = fs::relative(w.path, s.station_dir).string();
            }
        }
        // Queued messages: sent when the station has marked them (".UL").
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(s.station_dir, ec)) {
            std::string ext = e.path().extension().string();
            for (char& c : ext)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            if (ext != ".UL")
                continue;
            auto bytes = read_file(e.path());
            if (!bytes)
                continue;
            const std::string sha = tools::sha256_hex(*bytes);
            for (Message& m : messages_)
                if (m.satellite == s.name && m.sha256 == sha)
                    m.marked_sent = true;
        }
        for (const auto& e : fs::directory_iterator(s.sim_dir, ec)) {
            std::string ext = e.path().extension().string();
            if (ext != ".UPL")
                continue;
            auto bytes = read_file(e.path());
            if (!bytes)
                continue;
            for (Message& m : messages_)
                if (m.satellite == s.name && is_upload_of(m.bytes, *bytes))
                    m.copies.insert(e.path());
        }
    }
}

void Soak::sample(std::int64_t t)
{
    if (helmo_ <= 0)
        return;
    auto rss = resident_kb(helmo_);
    auto fds = open_descriptors(helmo_);
    if (!rss || !fds)
        return;
    samples_.push_back({t, helmo_, helmo_started_, *rss, *fds, thread_count(helmo_).value_or(0), descriptor_targets(helmo_)});
    if (opt_.verbose)
        progress(t, format("helmo pid %d: %" PRIu64 " kB resident, %d descriptors, %d threads", int(helmo_), *rss, *fds,
                           samples_.back().threads));
}

void Soak::add_files(std::int64_t t)
{
    while (next_file_ < plan_.files.size() && plan_.files[next_file_].at <= t) {
        const PlannedFile& p = plan_.files[next_file_++];
        Satellite& s = sat(p.satellite);
        s.next_number = std::max(s.next_number, highest_file_number(s.sim_dir) + 1);
        SatFile f;
        f.number = s.next_number++;
        f.corrupt = p.corrupt;
        f.added = t;
        f.bytes = others_file(f.number, std::uint32_t(t), p.size, p.corrupt, opt_.seed);
        f.sha256 = tools::sha256_hex(f.bytes);
        if (Status st = write_file_atomic(s.sim_dir / (hex(f.number) + ".PSF"), std::span<const std::uint8_t>(f.bytes)); !st) {
            progress(t, "cannot add a file to the satellite: " + st.error().message);
            continue;
        }
        if (p.corrupt)
            for (FaultRecord& fr : faults_)
                if (fr.plan.kind == FaultKind::CorruptBody && fr.plan.at == p.at && !fr.injected) {
                    fr.injected = true;
                    fr.done_at = t;
                    fr.what = "file " + hex(f.number) + " (" + std::to_string(f.bytes.size()) + " bytes) on " + s.name +
                              " with a body that fails its checksum";
                    break;
                }
        s.files[f.number] = std::move(f);
    }
}

void Soak::queue_uploads(std::int64_t t)
{
    while (next_upload_ < plan_.uploads.size() && plan_.uploads[next_upload_].at <= t) {
        const PlannedUpload& p = plan_.uploads[next_upload_++];
        Satellite& s = sat(p.satellite);
        Message m;
        m.satellite = s.name;
        m.index = int(messages_.size()) + 1;
        m.bytes = station_message(callsign_, std::uint32_t(t), m.index, p.size);
        if (m.bytes.empty()) {
            progress(t, "cannot compose a message from " + callsign_);
            continue;
        }
        m.sha256 = tools::sha256_hex(m.bytes);
        m.queued = t;
        if (Status st = write_file_atomic(s.station_dir / format("SOAK%04d.OUT", m.index), std::span<const std::uint8_t>(m.bytes));
            !st) {
            progress(t, "cannot queue a message: " + st.error().message);
            continue;
        }
        messages_.push_back(std::move(m));
    }
}

// The partial file the engine wrote to in the last few station seconds, if any.
std::string Soak::download_in_progress(const std::string& satellite, std::int64_t t)
{
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(sat(satellite).station_dir, ec)) {
        std::string ext = e.path().extension().string();
        for (char& c : ext)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        if (ext != ".ACT")
            continue;
        std::error_code fe;
        const auto written = fs::last_write_time(e.path(), fe);
        if (fe)
            continue;
        const auto wall = std::chrono::file_clock::to_sys(written);
        const std::int64_t at = std::chrono::duration_cast<std::chrono::seconds>(
                                    clock_->station_at_wall(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                                wall.time_since_epoch()).count())
                                        .time_since_epoch())
                                    .count();
        if (at >= t - 5)
            return e.path().filename().string();
    }
    return {};
}

void Soak::apply_faults(std::int64_t t)
{
    for (FaultRecord& f : faults_) {
        if (f.done_at != 0 || f.plan.at > t)
            continue;
        switch (f.plan.kind) {
        case FaultKind::CorruptBody:
            break; // with the file
        case FaultKind::SatelliteSilent:
            f.injected = true;
            f.done_at = t;
            f.what = "the " + f.plan.satellite + " pass at " + clock_of(f.plan.pass_aos) + " had a TNC but no satellite";
            break;
        case FaultKind::StoreLocked:
            if (!lock_db_) // one lock at a time: a second waits for the first to end
                inject(f, t);
            break;
        case FaultKind::HelmoKillInPass:
        case FaultKind::BrekKill:
        case FaultKind::TncVanishes: {
            // In the middle of a download when one comes, else by the latest moment.
            const std::string partial = download_in_progress(f.plan.satellite, t);
            if (partial.empty() && t < f.plan.latest)
                break;
            inject(f, t);
            if (f.injected)
                f.what += partial.empty() ? " (no download in progress)" : " while " + partial + " was being received";
            break;
        }
        case FaultKind::HelmoKillBetweenPasses:
            inject(f, t);
            break;
        }
    }
}

void Soak::inject(FaultRecord& f, std::int64_t t)
{
    f.done_at = t;
    switch (f.plan.kind) {
    case FaultKind::HelmoKillBetweenPasses:
    case FaultKind::HelmoKillInPass: {
        if (helmo_ <= 0) {
            f.what = "helmo was not running";
            return;
        }
        const bool engine = brek_running();
        ::kill(helmo_, SIGKILL);
        f.injected = true;
        f.what = "helmo (pid " + std::to_string(helmo_) + ") killed" + (engine ? " while brek ran a pass" : "");
        progress(t, "FAULT: " + f.what);
        return;
    }
    case FaultKind::BrekKill:
        for (const ProcessInfo& p : unit_processes())
            if (p.program == "brek") {
                ::kill(p.pid, SIGKILL);
                f.injected = true;
                f.what = "brek (pid " + std::to_string(p.pid) + ") killed during the " + f.plan.satellite + " pass";
                progress(t, "FAULT: " + f.what);
                return;
            }
        f.what = "no brek was running at that moment";
        return;
    case FaultKind::TncVanishes:
        for (PassRun& r : runs_)
            if (r.pass.satellite == f.plan.satellite && r.pass.aos == f.plan.pass_aos && r.satsim > 0) {
                ::kill(r.satsim, SIGKILL);
                r.tnc_killed = true;
                f.injected = true;
                f.what = "orva satsim of " + f.plan.satellite + " killed: its pseudo-terminal closed mid-pass";
                progress(t, "FAULT: " + f.what);
                return;
            }
        f.what = "no satellite was on the air at that moment";
        return;
    case FaultKind::StoreLocked: {
        if (lock_db_) {
            f.what = "the store was already locked";
            return;
        }
        if (sqlite3_open_v2(store_file_.c_str(), &lock_db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            f.what = "cannot open the store";
            sqlite3_close(lock_db_);
            lock_db_ = nullptr;
            return;
        }
        sqlite3_busy_timeout(lock_db_, 30000);
        if (sqlite3_exec(lock_db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
            f.what = std::string("cannot take the write lock: ") + sqlite3_errmsg(lock_db_);
            sqlite3_close(lock_db_);
            lock_db_ = nullptr;
            return;
        }
        f.injected = true;
        f.what = format("the store's write lock held for %.0f s of wall time from %s", f.plan.hold_seconds,
                        clock_of(t).c_str());
        lock_until_ = std::chrono::steady_clock::now() +
                      std::chrono::milliseconds(std::int64_t(f.plan.hold_seconds * 1000));
        lock_fault_ = &f;
        lock_log_offset_ = fs::file_size(logs_ / "helmo.log");
        progress(t, "FAULT: " + f.what);
        return;
    }
    case FaultKind::CorruptBody:
    case FaultKind::SatelliteSilent:
        return;
    }
}

void Soak::hold_store_lock(std::int64_t t)
{
    if (!lock_db_ || std::chrono::steady_clock::now() < lock_until_)
        return;
    sqlite3_exec(lock_db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(lock_db_);
    lock_db_ = nullptr;
    if (lock_fault_) {
        // What the station said about the store while it was locked.
        std::string said;
        std::istringstream lines(helmo_log_since(lock_log_offset_));
        for (std::string l; std::getline(lines, l);)
            if (l.find("event ") != std::string::npos || l.find("store") != std::string::npos)
                said += (said.empty() ? "" : "; ") + l.substr(l.find(' ') + 1);
        lock_fault_->recovery = "released at " + clock_of(t) + (said.empty() ? "; helmo wrote nothing meanwhile" : "; helmo: " + said);
    }
    lock_fault_ = nullptr;
}

void Soak::stop_everything()
{
    final_stop_ = true;
    if (lock_db_) {
        sqlite3_exec(lock_db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(lock_db_);
        lock_db_ = nullptr;
    }
    if (clock_)
        (void)clock_->set_rate(opt_.slow);
    const std::int64_t t = clock_ ? std::chrono::duration_cast<std::chrono::seconds>(clock_->now().time_since_epoch()).count() : start_;
    // What the last pass started (dispo) may still be at work: a few seconds for it to finish.
    for (auto until = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < until;) {
        reap();
        const auto left = unit_processes();
        if (std::all_of(left.begin(), left.end(), [&](const ProcessInfo& p) { return p.pid == helmo_; }))
            break;
        std::this_thread::sleep_for(20ms);
    }
    // Anything still running besides helmo at the end was left over.
    for (const ProcessInfo& p : unit_processes())
        if (p.pid != helmo_ && p.program != "helmo")
            leftovers_.push_back(stamp(t) + " " + p.program + " (pid " + std::to_string(p.pid) + ") still running at the end");
    if (helmo_ > 0) {
        ::kill(helmo_, SIGTERM);
        const auto until = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < until) {
            reap();
            if (exited_.count(helmo_))
                break;
            std::this_thread::sleep_for(10ms);
        }
        if (!exited_.count(helmo_)) {
            leftovers_.push_back(stamp(t) + " helmo did not stop within 20 s of SIGTERM");
            ::kill(helmo_, SIGKILL);
        }
        supervise(t);
    }
    for (PassRun& r : runs_)
        if (r.state == PassRun::State::On)
            stop_satellite(r);
    std::this_thread::sleep_for(300ms);
    reap();
    for (const ProcessInfo& p : unit_processes()) {
        leftovers_.push_back(stamp(t) + " " + p.program + " (pid " + std::to_string(p.pid) + ") still running after helmo stopped");
        ::kill(p.pid, SIGKILL);
    }
    reap();
}

int Soak::finish()
{
    const std::int64_t t = plan_.end;
    scan(t);
    for (Satellite& s : sats_) {
        auto problems = check_partials(s.station_dir, [&](std::uint32_t n) { return original(s.name, n); });
        for (PartialProblem& p : problems) {
            p.file = s.name + "/" + p.file + " at the end";
            partial_problems_.push_back(p);
        }
    }
    bool ok = true;
    auto fail = [&](const std::string& why) {
        ok = false;
        std::printf("  FAILED: %s\n", why.c_str());
    };
    const std::string helmo_log = read_text(logs_ / "helmo.log");
    const std::vector<PassStart> starts = parse_pass_starts(helmo_log);
    const std::vector<PassEnd> ends = parse_pass_ends(helmo_log);
    int restarted_passes = 0;

    std::printf("\n================ orva-soak: %.3g station day(s), seed %" PRIu64 " ================\n", opt_.days, opt_.seed);

    // Passes.
    std::int64_t due = 0, ran = 0, missed = 0, extra = 0;
    std::map<std::string, int> reasons;
    std::printf("\nPasses\n");
    auto down_during = [&](std::int64_t a, std::int64_t b) -> std::optional<std::pair<std::int64_t, std::int64_t>> {
        for (const auto& d : down_)
            if (d.first <= b && d.second >= a)
                return d;
        if (down_since_ != 0 && down_since_ <= b)
            return std::make_pair(down_since_, plan_.end);
        return std::nullopt;
    };
    for (const PassRun& r : runs_) {
        const SoakPass& p = r.pass;
        int count = 0;
        for (const PassStart& s : starts)
            count += s.satellite == p.satellite && s.aos == p.aos;
        if (!p.scheduled) {
            if (count > 0)
                ++extra;
            continue;
        }
        ++due;
        if (count > 0) {
            ++ran;
            if (count > 1) {
                // A second start is a resumption: helmo came back during the pass, or the
                // dispatcher had ended it early for another pass (it may then run again).
                std::vector<std::int64_t> at;
                for (const PassStart& s : starts)
                    if (s.satellite == p.satellite && s.aos == p.aos)
                        at.push_back(s.logged);
                bool resumed = true;
                std::string how;
                for (std::size_t i = 1; i < at.size(); ++i) {
                    if (down_during(at[i - 1], at[i])) {
                        how = "resumed after helmo came back";
                        continue;
                    }
                    const bool ended_early = std::any_of(ends.begin(), ends.end(), [&](const PassEnd& e) {
                        return e.satellite == p.satellite && e.logged > at[i - 1] && e.logged < at[i] && e.logged < p.run_end;
                    });
                    if (ended_early)
                        how = "ended early for another pass, then resumed";
                    else
                        resumed = false;
                }
                if (!resumed)
                    fail(p.satellite + " pass at " + stamp(p.aos) + " started " + std::to_string(count) + " times");
                else
                    ++reasons[how];
                restarted_passes += 1;
            }
            continue;
        }
        ++missed;
        std::string reason;
        if (auto d = down_during(p.run_start - p.start_lead - 60, p.run_end))
            reason = "helmo was down (" + clock_of(d->first) + " to " + clock_of(d->second) + ")";
        else
            for (const PassStart& s : starts)
                for (const PassRun& o : runs_)
                    if (s.satellite == o.pass.satellite && s.aos == o.pass.aos && o.pass.satellite != p.satellite &&
                        o.pass.run_start < p.run_end && o.pass.run_end > p.run_start)
                        reason = "the overlapping " + o.pass.satellite + " pass ran instead";
        if (reason.empty()) {
            reason = "UNEXPLAINED";
            fail(p.satellite + " pass at " + stamp(p.aos) + " did not run and nothing explains it");
        }
        ++reasons[reason];
        std::printf("  missed: %s AOS %s: %s\n", p.satellite.c_str(), stamp(p.aos).c_str(), reason.c_str());
    }
    std::printf("  due %lld, ran %lld, missed %lld", (long long)due, (long long)ran, (long long)missed);
    std::printf("; %lld run that the prediction gave to a conflicting pass\n", (long long)extra);
    std::printf("  helmo started %d times; passes started more than once %d (each a resumption, below)\n", helmo_starts_,
                restarted_passes);
    for (const auto& [why, n] : reasons)
        std::printf("    %3d  %s\n", n, why.c_str());

    // Files.
    std::printf("\nFiles from the satellites (SHA-256 against the satellite's copy)\n");
    const std::vector<DispoError> dispo_errors = parse_dispo_errors(read_text(suite_ / "Dispo Error Log.TXT"));
    std::size_t served = 0, received = 0, set_aside = 0, lost = 0, pending = 0;
    std::uint64_t bytes_served = 0, bytes_down = 0;
    for (Satellite& s : sats_) {
        for (auto& [n, f] : s.files) {
            ++served;
            bytes_served += f.bytes.size();
            if (f.differs)
                fail(s.name + " file " + hex(n) + ": a copy on the station differs from the satellite's");
            if (f.received)
                bytes_down += f.bytes.size();
            if (f.corrupt) {
                std::string reason;
                for (const DispoError& e : dispo_errors)
                    if (e.number == n && e.satellite == s.name)
                        reason += (reason.empty() ? "" : " ") + e.message;
                const bool in_dlx = f.received && f.where.find(".DLX") != std::string::npos;
                std::printf("  %s %X (corrupt body): %s, %s\n", s.name.c_str(), n,
                            f.received ? ("received whole as " + f.where).c_str() : "NOT received",
                            reason.empty() ? "no reason logged" : ("set aside: \"" + reason + "\"").c_str());
                if (f.received && !reason.empty())
                    ++set_aside;
                else if (f.added < plan_.quiet_from && f.served) {
                    ++lost;
                    fail(s.name + " file " + hex(n) + " (corrupt body) was not set aside with its reason");
                }
                (void)in_dlx;
                continue;
            }
            if (f.received) {
                ++received;
                continue;
            }
            if (f.added >= plan_.quiet_from || !f.served) {
                ++pending;
                continue;
            }
            ++lost;
            fail(s.name + " file " + hex(n) + " (" + std::to_string(f.bytes.size()) + " bytes, added " + stamp(f.added) +
                 ") never arrived whole");
        }
    }
    std::printf("  served %zu (%.1f kB), received whole and identical %zu, set aside with reason %zu, lost %zu",
                served, double(bytes_served) / 1024, received, set_aside, lost);
    std::printf(", added in the quiet tail or never on the air and not yet down %zu; %.1f kB down\n", pending,
                double(bytes_down) / 1024);

    // Hole lists.
    std::printf("\nPartial downloads (.ACT/.HOL/.DL after every pass and at the end)\n");
    if (partial_problems_.empty())
        std::printf("  every hole list matched its data and the satellite's copy\n");
    for (const PartialProblem& p : partial_problems_) {
        std::printf("  %s: %s\n", p.file.c_str(), p.problem.c_str());
        ok = false;
    }

    // Uploads.
    std::printf("\nUploads queued by the station\n");
    std::size_t sent_once = 0;
    for (const Message& m : messages_) {
        const std::size_t copies = m.copies.size();
        if (copies == 1 && m.marked_sent) {
            ++sent_once;
            continue;
        }
        std::printf("  message %d for %s queued %s: %zu cop%s on the satellite, %s\n", m.index, m.satellite.c_str(),
                    stamp(m.queued).c_str(), copies, copies == 1 ? "y" : "ies", m.marked_sent ? "marked sent" : "not marked sent");
        // Only a message with a pass of its satellite after it had its chance.
        const bool had_a_pass = std::any_of(starts.begin(), starts.end(), [&](const PassStart& p) {
            return p.satellite == m.satellite && p.logged > m.queued;
        });
        if (copies > 1)
            fail("message " + std::to_string(m.index) + " reached the satellite " + std::to_string(copies) + " times");
        else if (m.queued < plan_.quiet_from && had_a_pass)
            fail("message " + std::to_string(m.index) + " was not sent exactly once and marked sent");
    }
    std::printf("  queued %zu, sent exactly once and marked sent %zu\n", messages_.size(), sent_once);

    // How the station came back from each fault.
    for (FaultRecord& f : faults_) {
        if (!f.injected || !f.recovery.empty())
            continue;
        const std::int64_t at = f.done_at;
        auto next_start = [&](const std::string& satellite) -> std::optional<PassStart> {
            for (const PassStart& s : starts)
                if (s.logged > at + 60 && (satellite.empty() || s.satellite == satellite))
                    return s;
            return std::nullopt;
        };
        std::string text;
        if (f.plan.kind == FaultKind::HelmoKillBetweenPasses || f.plan.kind == FaultKind::HelmoKillInPass) {
            for (std::int64_t b : helmo_start_times_)
                if (b > at) {
                    text = format("helmo back %lld s later", (long long)(b - at));
                    break;
                }
            if (text.empty())
                text = "helmo never came back";
        }
        const std::string sat = f.plan.kind == FaultKind::HelmoKillBetweenPasses ? "" : f.plan.satellite;
        if (auto n = next_start(f.plan.kind == FaultKind::CorruptBody ? "" : sat))
            text += (text.empty() ? "" : "; ") + std::string("next pass started: ") + n->satellite + " at " +
                    day_clock(start_, n->logged);
        if (f.plan.kind == FaultKind::CorruptBody)
            for (const Satellite& s : sats_)
                for (const auto& [n, file] : s.files)
                    if (file.corrupt && file.added == f.done_at)
                        text = (file.received ? "received whole as " + file.where : std::string("never received")) + "; " + text;
        f.recovery = text;
    }

    // Faults.
    std::printf("\nFaults\n");
    int kinds[kFaultKinds] = {};
    for (const FaultRecord& f : faults_) {
        std::printf("  %s  %-30s %s\n", day_clock(start_, f.done_at ? f.done_at : f.plan.at).c_str(), fault_name(f.plan.kind),
                    f.what.c_str());
        if (!f.recovery.empty())
            std::printf("  %-16s %-30s -> %s\n", "", "", f.recovery.c_str());
        if (f.injected)
            ++kinds[int(f.plan.kind)];
    }
    for (int k = 0; k < kFaultKinds; ++k)
        if (kinds[k] == 0)
            fail(std::string("no fault of the kind \"") + fault_name(FaultKind(k)) + "\" was injected");
    for (const std::string& e : exits_)
        std::printf("  %s\n", e.c_str());
    std::printf("  helmo started %d times\n", helmo_starts_);

    // Memory and descriptors: the first sample of the last helmo process a few hours into its run,
    // against the last sample.
    std::printf("\nhelmo's memory and descriptors\n");
    const Sample* first = nullptr;
    const Sample* last = samples_.empty() ? nullptr : &samples_.back();
    for (const Sample& s : samples_)
        if (last && s.helmo == last->helmo && s.t >= s.helmo_started + 3 * 3600) {
            first = &s;
            break;
        }
    if (!first)
        for (const Sample& s : samples_)
            if (last && s.helmo == last->helmo) {
                first = &s;
                break;
            }
    if (first && last) {
        std::printf("  %s: %" PRIu64 " kB resident, %d descriptors, %d threads (pid %d)\n",
                    day_clock(start_, first->t).c_str(), first->rss_kb, first->fds, first->threads, int(first->helmo));
        std::printf("  %s: %" PRIu64 " kB resident, %d descriptors, %d threads\n", day_clock(start_, last->t).c_str(),
                    last->rss_kb, last->fds, last->threads);
        if (double(last->rss_kb) > 1.1 * double(first->rss_kb))
            fail("helmo's resident memory grew by more than 10%");
        if (double(last->fds) > 1.1 * double(first->fds)) {
            fail("helmo's open descriptors grew by more than 10%");
            for (const std::string& d : last->targets)
                if (std::find(first->targets.begin(), first->targets.end(), d) == first->targets.end())
                    std::printf("    new: fd %s\n", d.c_str());
        }
    } else {
        fail("no sample of helmo's memory");
    }

    // Processes.
    std::printf("\nProcesses\n");
    for (const std::string& l : leftovers_)
        std::printf("  %s\n", l.c_str());
    if (leftovers_.empty())
        std::printf("  none left over\n");
    else
        fail("processes were left over");

    // Housekeeping: what it deleted, and nothing of the kinds it deletes older than its limit
    // was left at its last run.
    std::printf("\nHousekeeping\n");
    {
        int done = 0, skipped = 0;
        long deleted = 0;
        std::int64_t last_run = 0;
        std::istringstream lines(helmo_log);
        for (std::string l; std::getline(lines, l);) {
            const auto at = l.find(" file housekeeping: ");
            if (at != std::string::npos) {
                ++done;
                deleted += std::atol(l.c_str() + at + 20);
                if (auto when = parse_iso8601(l.substr(0, at)))
                    last_run = when->time_since_epoch().count();
            } else if (l.find(" event Housekeeping") != std::string::npos && l.find(": skipped") != std::string::npos) {
                ++skipped;
            }
        }
        std::printf("  %d runs, %ld files deleted; %d skipped while the engine or dispo ran\n", done, deleted, skipped);
        if (last_run != 0) {
            const std::int64_t limit = last_run - std::int64_t(opt_.keep_days) * kDay - 60;
            int stale = 0;
            for (const Satellite& s : sats_) {
                const std::vector<std::pair<fs::path, std::vector<std::string>>> kinds = {
                    {s.dlx_dir, {".DLX"}},
                    {s.record.message_directory, {".DLM", ".PFH"}},
                    {s.record.my_message_directory, {".DLM", ".PFH"}},
                    {s.station_dir, {".ACT", ".HOL", ".UL"}}};
                for (const auto& [dir, extensions] : kinds) {
                    std::error_code ec;
                    for (const auto& e : fs::directory_iterator(dir, ec)) {
                        std::string ext = e.path().extension().string();
                        for (char& c : ext)
                            c = char(std::toupper(static_cast<unsigned char>(c)));
                        if (std::find(extensions.begin(), extensions.end(), ext) == extensions.end())
                            continue;
                        std::error_code fe;
                        const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(e.path(), fe));
                        const std::int64_t when = std::chrono::duration_cast<std::chrono::seconds>(
                                                      clock_->station_at_wall(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                                                  written.time_since_epoch()).count())
                                                          .time_since_epoch())
                                                      .count();
                        if (!fe && when < limit) {
                            ++stale;
                            std::printf("  left behind: %s (written %s)\n", fs::relative(e.path(), suite_).c_str(),
                                        stamp(when).c_str());
                        }
                    }
                }
            }
            if (stale)
                fail(std::to_string(stale) + " files older than housekeeping's limit at its last run are still there");
            else
                std::printf("  at its last run (%s) it left nothing older than %u days\n", stamp(last_run).c_str(),
                            opt_.keep_days);
        }
    }

    // Folders.
    std::printf("\nSatellite folders (bytes at the end of each day; housekeeping keeps %u days)\n", opt_.keep_days);
    for (const auto& [day, sizes] : day_sizes_) {
        std::printf("  day %d:", day);
        for (const auto& [name, b] : sizes)
            std::printf("  %s %.1f kB", name.c_str(), double(b) / 1024);
        std::printf("\n");
    }
    std::printf("\n%s\n", ok ? "SOAK PASSED" : "SOAK FAILED");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options opt;
    double seed = 0, keep_days = opt.keep_days;
    std::string dir;
    platform::ProgramOptions cli("orva-soak", "Days of unattended operation of the demo station in minutes, with faults.");
    cli.option("--days", opt.days, "Station days to run (default 7)", "D", 0.1, 60)
        .option("--seed", seed, "The faults' moments, the files and the losses (default: from the clock, printed)", "N", 0,
                1e15)
        .option("--fast", opt.fast, "Clock rate between passes (default 2500)", "X", 1, 20000)
        .option("--slow", opt.slow, "Clock rate during passes (default 80)", "X", 1, 500)
        .option("--loss", opt.loss, "Share of frames the simulated link loses (default 0.05)", "P", 0, 0.5)
        .option("--keep-days", keep_days, "Housekeeping's age limit in days (default 2)", "N", 0, 99)
        .option("--start", opt.start, "Station time the run begins (default 2026-12-08T00:00:00Z)", "TIME")
        .flag("--verbose", opt.verbose, "A line for every satellite started and every memory sample")
        .flag("--clean", opt.clean, "Remove DIR after a run that passed")
        .positional("DIR", dir, "Where the station and its logs live (default: a new temporary folder)", false)
        .footer("Needs a session bus; without one it runs itself under dbus-run-session. Exit 0 when every check "
                "passed. See testbed/soak/README.md.");
    if (auto code = cli.parse(argc, argv))
        return *code;
    opt.seed_given = cli.given("--seed");
    opt.seed = std::uint64_t(seed);
    opt.keep_days = std::uint32_t(keep_days);
    opt.dir = dir;
    // The programs find each other's windows on the session bus.
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
        std::vector<char*> args = {const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
        std::string self = program_dir() / "orva-soak";
        args.push_back(self.data());
        for (int i = 1; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        ::execvp("dbus-run-session", args.data());
        std::fprintf(stderr, "orva-soak: no session bus and dbus-run-session cannot be run: %s\n", std::strerror(errno));
        return 1;
    }
    if (!opt.seed_given)
        opt.seed = std::uint64_t(std::chrono::system_clock::now().time_since_epoch().count() / 1000) % 1000000;
    if (opt.dir.empty()) {
        std::string tmpl = (fs::temp_directory_path() / "orva-soak-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) {
            std::perror("orva-soak: cannot create a temporary folder");
            return 1;
        }
        opt.dir = tmpl;
    } else {
        std::error_code ec;
        fs::create_directories(opt.dir, ec);
        if (ec || !fs::is_empty(opt.dir, ec)) {
            std::fprintf(stderr, "orva-soak: %s must be a new or empty folder\n", opt.dir.c_str());
            return 2;
        }
    }
    opt.dir = fs::absolute(opt.dir);
    // What helmo started comes back to us if helmo goes first, as to a service manager.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    Soak soak(opt);
    const int rc = soak.run();
    if (rc == 0 && opt.clean) {
        std::error_code ec;
        fs::remove_all(opt.dir, ec);
    }
    return rc;
}

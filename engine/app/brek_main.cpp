// brek --headless SAT: one pass of reception without a window. Opens the TNC named in the store,
// receives and requests for the pass length given, then closes as at the end of a pass.
#include "common/settings/engine_stores.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/app/link_port.h"
#include "engine/app/reception_engine.h"
#include "platform/launcher.h"
#include "engine/link/kiss_encoder.h"
#include "engine/log/kiss_replay.h"
#include "engine/log/session_recorder.h"
#include "engine/upload/upload_host.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace orva;
namespace fs = std::filesystem;

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

void usage()
{
    std::fprintf(stderr, "usage: brek --headless SATELLITE [--pass-seconds N] [--port DEVICE] [--clock-rate X]\n"
                         "            [--seed N] [--checkpoint-seconds N]\n"
                         "       brek --replay FILE.KSS SATELLITE\n"
                         "Receives one pass of SATELLITE (a \"Name\" of the store) without a window.\n");
}

const char* colour_name(engine::LineColour c)
{
    switch (c) {
    case engine::LineColour::Red: return "red";
    case engine::LineColour::Blue: return "blue";
    case engine::LineColour::DarkRed: return "darkred";
    case engine::LineColour::Green: return "green";
    default: return "black";
    }
}

struct Host : engine::ReceptionOutput {
    int fd = -1;
    std::string satellite;
    fs::path folder;
    std::vector<std::uint8_t> pending;

    void write_bytes(std::span<const std::uint8_t> bytes) override
    {
        pending.insert(pending.end(), bytes.begin(), bytes.end());
        flush();
    }
    void flush()
    {
        while (!pending.empty()) {
            const ssize_t n = ::write(fd, pending.data(), pending.size());
            if (n > 0) {
                pending.erase(pending.begin(), pending.begin() + n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            break; // full: the rest goes when the port is writable
        }
    }
    void post(const std::string& text, engine::LineColour colour) override
    {
        std::printf("[%s] %s\n", colour_name(colour), text.c_str());
    }
    fs::path suite;
    platform::Launcher launcher;
    void start_dispo(const std::string& file) override
    {
        // "%s\DISPO.EXE S~%s F~%lX.DL", started minimised without activation.
        platform::LaunchOptions options;
        options.working_directory = folder;
        options.show = platform::ShowMode::MinimisedNoActivate;
        auto p = launcher.start({(suite / "DISPO.EXE").string(), "S~" + satellite, "F~" + file}, options);
        if (!p)
            std::printf("[red] Cannot start Dispo for %s: %s\n", file.c_str(), p.error().message.c_str());
    }
};

std::uint64_t wall_ms()
{
    return std::uint64_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

} // namespace

int main(int argc, char** argv)
{
    std::string satellite, port_override;
    double pass_seconds = 0, clock_rate = 1, checkpoint_seconds = 5;
    std::uint64_t seed = 0;
    bool headless = false;
    std::string replay; // a ".KSS" capture fed through the receive path instead of the TNC
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "brek: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--headless") headless = true;
        else if (a == "--replay") replay = next();
        else if (a == "--pass-seconds") pass_seconds = std::atof(next());
        else if (a == "--port") port_override = next();
        else if (a == "--clock-rate") clock_rate = std::atof(next());
        else if (a == "--seed") seed = std::strtoull(next(), nullptr, 10);
        else if (a == "--checkpoint-seconds") checkpoint_seconds = std::atof(next());
        else if (a == "--help" || a == "-h") { usage(); return 0; }
        else if (!a.empty() && a[0] != '-' && satellite.empty()) satellite = a;
        else { std::fprintf(stderr, "brek: unknown option %s\n", a.c_str()); usage(); return 2; }
    }
    if ((!headless && replay.empty()) || satellite.empty() || clock_rate <= 0) {
        usage();
        std::fprintf(stderr, "brek: only the headless receive run is built so far\n");
        return 2;
    }

    auto local = platform::Store::open_default(platform::Access::ReadOnly);
    if (!local) {
        std::fprintf(stderr, "brek: Error connecting to registry: %s\n", local.error().message.c_str());
        return 1;
    }
    auto stores = settings::EngineStores::open(std::move(*local));
    if (!stores) {
        std::fprintf(stderr, "brek: Error connecting to registry: %s\n", stores.error().message.c_str());
        return 1;
    }
    const auto& store = stores->control();
    auto rec = settings::read_satellite(store, satellite, settings::Program::Brek);
    if (!rec) {
        std::fprintf(stderr, "brek: no satellite \"%s\" in the store: %s\n", satellite.c_str(),
                     rec.error().message.c_str());
        return 1;
    }
    const auto station = settings::read_station(store, settings::Program::Brek);
    const auto general = settings::read_general(store, settings::Program::Brek);

    engine::ReceptionConfig c;
    c.satellite = rec->name;
    c.folder = rec->satellite_directory.empty() ? fs::path(rec->directory) : fs::path(rec->satellite_directory);
    c.suite_folder = general.orva_directory;
    c.my_call = station.callsign;
    c.bbs_call = rec->bbs_callsign;
    c.bdcst_call = rec->bdcst_callsign;
    c.directory.enable_satgate = rec->enable_satgate != 0;
    c.directory.satgate_reject = rec->satgate_reject;
    c.directory.satgate_priority = rec->satgate_priority;
    c.directory.dl_mine = rec->dl_mine != 0;
    c.directory.ack_receipt = rec->ack_receipt != 0;
    c.files.grab_all = rec->grab_all != 0;
    c.files.block_bbs = rec->block_bbs != 0;
    c.files.proc_threshold = rec->proc_threshold;
    c.requests.auto_fill = rec->auto_fill != 0;
    c.requests.bdcst_custom = int(rec->bdcst_custom);
    c.requests.tail_action = int(rec->tail_action);
    c.requests.dir_priority = int(rec->dir_priority);
    c.requests.tx_request = rec->tx_request != 0;
    c.requests.change_freq = rec->change_freq;
    c.requests.uplinks = rec->uplinks;
    c.requests.up_to_date_timeout = rec->up_to_date_timeout ? std::uint64_t(rec->up_to_date_timeout) * 60 : 86400;
    c.requests.inactivity_timeout = rec->inactivity_timeout ? std::uint64_t(rec->inactivity_timeout) * 60 : 86400;
    c.dispatch.bdcst_frame = rec->bdcst_frame;
    c.dispatch.crc_close = rec->crc_close;
    c.dispatch.ignore_shut = rec->ignore_shut != 0;
    c.dispatch.update_keps = rec->update_keps != 0;
    c.max_holes = rec->max_holes;
    c.zero_start = rec->zero_start != 0;
    c.run_dispo = rec->run_dispo != 0;
    c.satgate_collect = rec->satgate_collect;
    c.satgate_callsign = rec->satgate_callsign;
    c.tx_port_nibble = std::uint8_t((rec->tx_port & 7) << 4);
    c.tx_delay_ms = rec->tx_delay;
    c.tx_tail_ms = rec->tx_tail;
    c.checkpoint_ms = std::max<std::uint64_t>(200, std::uint64_t(checkpoint_seconds * 1000));
    c.seed = seed;

    Result<int> fd = make_error("no TNC port");
    if (!replay.empty())
        fd = -1;
    else if (!port_override.empty())
        fd = engine::open_serial_device(port_override, rec->speed);
    else if (!rec->tnc_address.empty())
        fd = engine::open_tcp_tnc(rec->tnc_address);
    else {
        const std::string com = "COM" + std::to_string(rec->port);
        auto device = store.read_string(settings::keys::ports, com, 256);
        fd = engine::open_serial_device(device ? *device : "/dev/ttyS" + std::to_string(rec->port ? rec->port - 1 : 0),
                                        rec->speed);
    }
    if (!fd) {
        std::fprintf(stderr, "brek: %s\n", fd.error().message.c_str());
        return 1;
    }

    Host host;
    host.fd = *fd;
    host.satellite = rec->name;
    host.folder = c.folder;
    host.suite = c.suite_folder;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::signal(SIGTERM, on_signal);
    std::signal(SIGINT, on_signal);
    std::signal(SIGPIPE, SIG_IGN);

    // The engine's clock: wall time, optionally running faster for tests and the demo.
    const std::uint64_t start = wall_ms();
    const auto steady0 = std::chrono::steady_clock::now();
    auto now = [&] {
        const double real = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - steady0).count();
        return start + std::uint64_t(real * clock_rate);
    };
    struct HostStatus : engine::StatusSink {
        Host* host;
        explicit HostStatus(Host* h) : host(h) {}
        void post(std::string text, engine::LineColour colour) override { host->post(text, colour); }
    } status(&host);
    engine::PlatformClockSetter clock_setter;
    // A replay never sets the clock from old telemetry, nor captures itself again.
    engine::SessionRecorder recorder({c.folder, rec->use_clock != 0 && replay.empty(), rec->log_kiss != 0 && replay.empty(),
                                      rec->log_telemetry != 0 && replay.empty()},
                                     status, clock_setter);
    c.log = &recorder;
    std::unique_ptr<engine::UploadHost> upload;
    auto my_call = engine::Ax25Address::parse(station.callsign);
    auto bbs_call = engine::Ax25Address::parse(rec->bbs_callsign);
    if (replay.empty() && my_call && bbs_call) {
        engine::UploadConfig u;
        u.my_call = *my_call;
        u.bbs_call = *bbs_call;
        u.link = engine::data_link_settings_from(*rec);
        u.folder = c.folder;
        u.uploading = rec->uploading != 0;
        u.ignore_shut = rec->ignore_shut != 0;
        u.auto_freq = rec->auto_freq != 0;
        u.default_uplink = int(rec->default_uplink);
        u.seed = seed;
        upload = std::make_unique<engine::UploadHost>(
            u, [&](std::span<const std::uint8_t> f) { host.write_bytes(engine::encode_kiss_frame(f, c.tx_port_nibble, false)); },
            status, [&] { return engine::LinkTime(std::int64_t(now())); });
        c.upload = upload.get();
    }
    engine::ReceptionEngine engine(c, host);
    if (auto s = engine.open(now()); !s) {
        std::fprintf(stderr, "brek: %s\n", s.error().message.c_str());
        return 1;
    }
    std::printf("[black] Pass open for %s in %s\n", rec->name.c_str(), c.folder.c_str());
    recorder.open(std::chrono::floor<std::chrono::seconds>(std::chrono::sys_time<std::chrono::milliseconds>(
        std::chrono::milliseconds(now()))));
    const std::uint64_t end = pass_seconds > 0 ? start + std::uint64_t(pass_seconds * 1000) : UINT64_MAX;
    std::vector<std::uint8_t> buf(8192);
    if (!replay.empty()) {
        auto n = engine::replay_kiss_capture(replay, [&](std::span<const std::uint8_t> bytes) {
            engine.feed(bytes, now());
            engine.poll(now());
        });
        if (!n)
            std::printf("[red] %s\n", n.error().message.c_str());
        else
            std::printf("[black] Replayed %llu bytes of %s\n", (unsigned long long)*n, replay.c_str());
    }
    while (replay.empty() && !g_stop && !engine.close_requested()) {
        const std::uint64_t t = now();
        if (t >= end)
            break;
        engine.poll(t);
        std::uint64_t wake = std::min(engine.next_deadline(), end);
        if (upload) {
            upload->poll();
            if (auto d = upload->next_deadline()) wake = std::min(wake, std::uint64_t(std::max<std::int64_t>(0, d->count())));
        }
        const int timeout = wake > t ? int(std::min<std::uint64_t>(1000, std::uint64_t(double(wake - t) / clock_rate) + 1)) : 0;
        pollfd p{host.fd, short(POLLIN | (host.pending.empty() ? 0 : POLLOUT)), 0};
        const int r = ::poll(&p, 1, timeout);
        if (r < 0 && errno != EINTR)
            break;
        if (p.revents & POLLOUT)
            host.flush();
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(host.fd, buf.data(), buf.size());
            if (n > 0) {
                recorder.on_raw_bytes(std::span(buf.data(), std::size_t(n)));
                engine.feed(std::span(buf.data(), std::size_t(n)), now());
                recorder.set_station_bytes(engine.dispatcher().counters().broadcast_bytes);
            } else if (n == 0) {
                std::printf("[red] The TNC link closed\n");
                break;
            }
        } else if (p.revents & (POLLHUP | POLLERR)) {
            std::printf("[red] The TNC link closed\n");
            break;
        }
    }
    std::vector<engine::UploadLogEntry> uploads;
    if (upload) uploads = upload->close();
    host.flush();
    engine.close(now());
    if (const auto heard = engine.dispatcher().last_heard()) {
        if (auto s = recorder.close(*heard, engine.kiss_counters().bytes, std::move(uploads)); !s)
            std::printf("[red] %s\n", s.error().message.c_str());
    }
    host.flush();
    const auto& d = engine.directory().counters();
    const auto& f = engine.files().counters();
    std::printf("[black] Pass closed: %llu headers, %llu files completed, %llu file bytes (%llu useful), "
                "%u CRC errors\n",
                (unsigned long long)d.headers, (unsigned long long)f.completed, (unsigned long long)f.bytes,
                (unsigned long long)f.useful_bytes, engine.dispatcher().counters().crc_errors);
    ::close(host.fd);
    return 0;
}

#include "cli/doctor/doctor.h"

#include <algorithm>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "common/elements/kep_database.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/setup_command.h"
#include "common/settings/suite_settings.h"
#include "platform/port_names.h"
#include "platform/store_ports.h"

namespace orva::tools {

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

constexpr const char* hamlib_key = "SOFTWARE\\Orva\\Linux\\Hamlib";

CheckLine ok(std::string name, std::string detail) { return {std::move(name), CheckState::Ok, std::move(detail)}; }
CheckLine fault(std::string name, std::string detail) { return {std::move(name), CheckState::Fault, std::move(detail)}; }

// A folder must exist and take a new file: probing with a real file catches read-only mounts
// and permissions alike.
std::string folder_problem(const fs::path& dir)
{
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return "\"" + dir.string() + "\" does not exist";
    fs::path probe = dir / ".orva-doctor-probe";
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST)
            return {};
        return "\"" + dir.string() + "\" is not writable: " + std::strerror(errno);
    }
    ::close(fd);
    fs::remove(probe, ec);
    return {};
}

int fd_connect(int family, const sockaddr* address, socklen_t length, milliseconds timeout, std::string& why)
{
    int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::strerror(errno);
        return -1;
    }
    if (::connect(fd, address, length) == 0)
        return fd;
    if (errno != EINPROGRESS) {
        why = std::strerror(errno);
        ::close(fd);
        return -1;
    }
    pollfd p{fd, POLLOUT, 0};
    int r = ::poll(&p, 1, int(timeout.count()));
    if (r <= 0) {
        why = r == 0 ? "no answer within " + std::to_string(timeout.count()) + " ms" : std::strerror(errno);
        ::close(fd);
        return -1;
    }
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    if (error != 0) {
        why = std::strerror(error);
        ::close(fd);
        return -1;
    }
    return fd;
}

// The session bus address's unix socket ("unix:path=..." or "unix:abstract=...").
Status dbus_answers(const std::string& address)
{
    if (address.empty())
        return make_error("no session bus address ($DBUS_SESSION_BUS_ADDRESS is not set)");
    for (std::size_t start = 0; start < address.size();) {
        std::size_t end = address.find(';', start);
        std::string entry = address.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? address.size() : end + 1;
        if (entry.rfind("unix:", 0) != 0)
            continue;
        sockaddr_un un{};
        un.sun_family = AF_UNIX;
        std::string params = entry.substr(5);
        std::string path;
        bool abstract = false;
        for (std::size_t p = 0; p < params.size();) {
            std::size_t comma = params.find(',', p);
            std::string kv = params.substr(p, comma == std::string::npos ? std::string::npos : comma - p);
            p = comma == std::string::npos ? params.size() : comma + 1;
            if (kv.rfind("path=", 0) == 0)
                path = kv.substr(5);
            else if (kv.rfind("abstract=", 0) == 0) {
                path = kv.substr(9);
                abstract = true;
            }
        }
        if (path.empty() || path.size() + 1 >= sizeof un.sun_path)
            continue;
        std::memcpy(un.sun_path + (abstract ? 1 : 0), path.data(), path.size());
        socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + (abstract ? 1 : 0));
        std::string why;
        int fd = fd_connect(AF_UNIX, reinterpret_cast<sockaddr*>(&un), length, milliseconds(1000), why);
        if (fd >= 0) {
            ::close(fd);
            return {};
        }
        return make_error("the session bus at " + address + " does not answer: " + why);
    }
    return make_error("no unix socket in the session bus address " + address);
}

// A serial device must exist and open for reading and writing by this user.
CheckLine serial_check(const std::string& name, const std::string& device)
{
    std::error_code ec;
    if (!fs::exists(device, ec))
        return fault(name, device + " does not exist: plug the TNC in, or map the port to its device under "
                               "SOFTWARE\\Orva\\Linux\\Serial Ports");
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int e = errno;
        if (e == EACCES || e == EPERM)
            return fault(name, device + " may not be opened by this user: add yourself to the dialout group "
                                   "(sudo usermod -aG dialout $USER) and log in again");
        return fault(name, device + " cannot be opened: " + std::strerror(e));
    }
    ::close(fd);
    return ok(name, device + " opens");
}

CheckLine address_check(const std::string& name, const std::string& address, milliseconds timeout,
                        const std::string& what_to_do)
{
    if (auto s = tcp_answers(address, timeout); !s)
        return fault(name, s.error().message + ": " + what_to_do);
    return ok(name, address + " answers");
}

CheckLine hamlib_check(const platform::Store& store, const std::string& which, milliseconds timeout)
{
    std::string name = "Hamlib " + which;
    auto device = store.read_string(hamlib_key, (which == "rotator" ? "Rotator Device" : "Radio Device"), 260);
    if (!store.key_exists(hamlib_key) || !device || device->empty())
        return {name, CheckState::NotConfigured, "not configured (orva hamlib set)"};
    if (device->front() == '/')
        return serial_check(name, *device);
    return address_check(name, *device, timeout,
                         std::string("start ") + (which == "rotator" ? "rotctld" : "rigctld") + " or correct the address");
}

double age_days(const elements::KepRecord& record, system_clock::time_point now)
{
    int year = elements::full_epoch_year(record.epoch_year);
    std::chrono::sys_days jan1 = std::chrono::year_month_day{std::chrono::year{year}, std::chrono::January, std::chrono::day{1}};
    auto epoch = system_clock::time_point(jan1) + duration_cast<system_clock::duration>(duration<double, std::ratio<86400>>(record.epoch_day - 1.0));
    return duration<double, std::ratio<86400>>(now - epoch).count();
}

std::string json_escape(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out;
}

} // namespace

Status tcp_answers(const std::string& address, milliseconds timeout)
{
    std::size_t colon = address.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == address.size())
        return make_error("\"" + address + "\" is not host:port");
    std::string host = address.substr(0, colon), port = address.substr(colon + 1);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (int r = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); r != 0)
        return make_error("cannot resolve " + address + ": " + gai_strerror(r));
    std::string why = "no address";
    for (addrinfo* a = found; a; a = a->ai_next) {
        int fd = fd_connect(a->ai_family, a->ai_addr, a->ai_addrlen, timeout, why);
        if (fd >= 0) {
            ::close(fd);
            ::freeaddrinfo(found);
            return {};
        }
    }
    ::freeaddrinfo(found);
    return make_error(address + " does not answer (" + why + ")");
}

std::vector<CheckLine> run_doctor(const platform::Store& store, const DoctorOptions& options)
{
    std::vector<CheckLine> lines;
    std::string store_name = "store " + store.file().string();
    if (std::string p = folder_problem(store.file().parent_path()); !p.empty())
        lines.push_back(fault(store_name, p + ": check the permissions of the store's folder"));
    else
        lines.push_back(ok(store_name, "exists and is writable"));

    if (!store.key_exists(settings::keys::general))
        lines.push_back(fault("setup", std::string("not completed: run ") + settings::setup_command +
                                           " (or start helmo, which asks for the same)"));
    auto general = settings::read_general(store, settings::Program::Tool);
    fs::path suite = general.orva_directory;
    bool have_suite = false;
    if (general.orva_directory.empty()) {
        lines.push_back(fault("suite directory", std::string("not set: run ") + settings::setup_command +
                                                     " (or Helmo's General Setup)"));
    } else if (std::string p = folder_problem(suite); !p.empty()) {
        lines.push_back(fault("suite directory", p + ": create it or run orva setup again"));
    } else {
        lines.push_back(ok("suite directory", suite.string() + " exists and is writable"));
        have_suite = true;
    }

    std::vector<settings::SatelliteRecord> pacsats;
    for (const auto& name : settings::list_satellites(store)) {
        auto record = settings::read_satellite(store, name, settings::Program::Tool);
        if (record && record->type() == settings::SatelliteType::PacSat)
            pacsats.push_back(*record);
    }

    // Element sets: each PacSat satellite needs its own, younger than the limit.
    elements::KepDatabase keps;
    bool keps_loaded = false;
    if (have_suite) {
        fs::path kep_file = elements::kep_database_path(suite);
        std::error_code ec;
        if (!fs::exists(kep_file, ec)) {
            lines.push_back(fault("element sets", kep_file.string() + " does not exist: merge element sets with elemix"));
        } else if (auto loaded = elements::KepDatabase::load(kep_file); !loaded) {
            lines.push_back(fault("element sets", loaded.error().message));
        } else {
            keps = *loaded;
            keps_loaded = true;
        }
    }
    if (keps_loaded) {
        for (const auto& sat : pacsats) {
            std::string name = "element set " + sat.name;
            int slot = keps.find_by_name(sat.name);
            if (slot < 0) {
                lines.push_back(fault(name, "missing: merge a current element set with elemix"));
                continue;
            }
            double days = age_days(keps.slot(slot), options.now);
            std::string age = std::to_string(long(std::floor(days))) + " days old";
            if (days > options.max_element_age_days)
                lines.push_back(fault(name, age + " (older than " + std::to_string(options.max_element_age_days) +
                                                " days): merge fresh element sets with elemix"));
            else
                lines.push_back(ok(name, age));
        }
    }

    auto lookup = platform::store_port_lookup(store);
    for (const auto& sat : pacsats) {
        std::vector<std::pair<const char*, const std::string*>> folders = {
            {"satellite", &sat.satellite_directory}, {"message", &sat.message_directory},
            {"my message", &sat.my_message_directory}, {"image", &sat.image_directory},
            {"keps", &sat.keps_directory}, {"binary", &sat.binary_directory}, {"dlx", &sat.dlx_directory},
            {"unknown", &sat.unknown_directory}, {"bbs", &sat.bbs_directory}, {"log", &sat.log_directory}};
        std::string problems;
        for (const auto& [what, dir] : folders) {
            if (dir->empty())
                continue;
            if (std::string p = folder_problem(*dir); !p.empty())
                problems += (problems.empty() ? "" : "; ") + std::string(what) + " folder " + p;
        }
        if (problems.empty())
            lines.push_back(ok(sat.name + " folders", "exist and are writable"));
        else
            lines.push_back(fault(sat.name + " folders", problems + ": save the satellite again in setup to create them"));

        if (!sat.tnc_address.empty()) {
            lines.push_back(address_check("KISS address " + sat.tnc_address + " (" + sat.name + ")", sat.tnc_address,
                                          options.connect_timeout, "start the soundcard modem (e.g. direwolf) or correct \"TNC Address\""));
            continue;
        }
        std::string com = platform::com_port_name(int(sat.port));
        auto target = platform::resolve_port_name(com, lookup);
        std::string name = "serial port " + com + " (" + sat.name + ")";
        if (!target)
            lines.push_back(fault(name, target.error().message));
        else if (target->kind == platform::PortKind::Tcp)
            lines.push_back(address_check(name, target->address, options.connect_timeout,
                                          "start the KISS server or correct the port mapping"));
        else
            lines.push_back(serial_check(name, target->address));
    }

    // A rotator controller on a serial port (TrakBox, SatTrak, EasyComm, GS-232, TrakBox Host).
    const settings::RotatorSettings rotator = settings::read_rotator(store);
    static constexpr std::uint32_t serial_rotators[] = {1, 3, 4, 5, 7, 9};
    if (std::find(std::begin(serial_rotators), std::end(serial_rotators), rotator.rotator_type) !=
        std::end(serial_rotators)) {
        std::string com = platform::com_port_name(int(rotator.port));
        auto target = platform::resolve_port_name(com, lookup);
        std::string name = "rotator port " + com;
        if (!target)
            lines.push_back(fault(name, target.error().message));
        else if (target->kind == platform::PortKind::Tcp)
            lines.push_back(address_check(name, target->address, options.connect_timeout,
                                          "start the controller's server or correct the port mapping"));
        else
            lines.push_back(serial_check(name, target->address));
    }

    lines.push_back(hamlib_check(store, "rotator", options.connect_timeout));
    lines.push_back(hamlib_check(store, "radio", options.connect_timeout));

    if (auto s = dbus_answers(options.dbus_address); !s)
        lines.push_back(fault("D-Bus session", s.error().message + ": log in to a desktop session or run under dbus-run-session"));
    else
        lines.push_back(ok("D-Bus session", "reachable"));
    return lines;
}

bool all_well(const std::vector<CheckLine>& lines)
{
    for (const auto& l : lines)
        if (l.state == CheckState::Fault)
            return false;
    return true;
}

std::string format_text(const std::vector<CheckLine>& lines)
{
    std::string out;
    for (const auto& l : lines) {
        out += l.state == CheckState::Ok ? "ok    " : l.state == CheckState::Fault ? "FAULT " : "-     ";
        out += l.name + ": " + l.detail + "\n";
    }
    return out;
}

std::string format_json(const std::vector<CheckLine>& lines)
{
    std::string out = "{\"ok\":" + std::string(all_well(lines) ? "true" : "false") + ",\"checks\":[";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& l = lines[i];
        const char* state = l.state == CheckState::Ok ? "ok" : l.state == CheckState::Fault ? "fault" : "not configured";
        out += (i ? "," : "") + std::string("{\"check\":\"") + json_escape(l.name) + "\",\"state\":\"" + state +
               "\",\"detail\":\"" + json_escape(l.detail) + "\"}";
    }
    return out + "]}\n";
}

} // namespace orva::tools

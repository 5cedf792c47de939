#include "mailproc/dispo_run.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/file_names.h"
#include "common/settings/keys.h"
#include "mailproc/download_header.h"
#include "mailproc/file_moves.h"

namespace orva::mailproc {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

Startup prepare_run(const platform::Store& store, const DispoCommand& command)
{
    Startup out;
    out.caption = "Dispo";
    if (!command.satellite) {
        out.message = "No sat specified";
        return out;
    }
    auto key = settings::find_satellite_key(store, *command.satellite, settings::case_rule_of(settings::Program::Dispo));
    if (!key) {
        out.message = "Can't find the satellite in the Orva configuration";
        return out;
    }
    if (!command.pattern) {
        out.message = "No file specified";
        return out;
    }
    if (!store.key_exists(*key)) {
        out.message = "Error finding registry information.";
        return out;
    }
    DispoConfig c;
    c.satellite_arg = *command.satellite;
    c.pattern = *command.pattern;
    c.satellite = settings::read_satellite_key(store, *key);
    const fs::path dir = c.satellite.satellite_directory;
    std::error_code ec;
    if (dir.empty() || !fs::is_directory(dir, ec) || ::access(dir.c_str(), R_OK | W_OK | X_OK) != 0) {
        out.message = "Dispo can't change to the main satellite directory.";
        out.caption = c.satellite.satellite_directory;
        return out;
    }
    c.options = settings::read_dispo(store);
    c.callsign = settings::read_station(store, settings::Program::Dispo).callsign;
    auto general = settings::read_general(store, settings::Program::Dispo);
    // Without a suite folder the log stays beside the downloads rather than at the root.
    fs::path log_folder = general.orva_directory.empty() ? dir : fs::path(general.orva_directory);
    c.error_log_file = log_folder / error_log_name;
    c.limits = read_extract_limits(store);
    c.sound_type = general.sound_type;
    c.new_mail_wav = general.new_mail_wav;
    out.config = std::move(c);
    return out;
}

namespace {

constexpr std::size_t block_size = 1024;

// Opens, reads and closes through plain descriptors so that no stream buffers hide a short write.
struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    explicit operator bool() const { return fd >= 0; }
    void reset()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

ssize_t read_full(int fd, std::uint8_t* buf, std::size_t size)
{
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, buf + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

bool write_full(int fd, const void* data, std::size_t size)
{
    auto p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void remove_working_folder(const fs::path& working)
{
    std::error_code ec;
    if (!working.empty())
        fs::remove_all(working, ec); // our own fresh folder; links inside are removed, not followed
}

void remove_if_empty(const fs::path& working)
{
    std::error_code ec;
    if (!working.empty() && fs::is_empty(working, ec))
        fs::remove(working, ec);
}

// "%lX", else "%lX.1" .. "%lX.8" when an earlier run left one behind.
std::optional<fs::path> make_working_folder(const fs::path& folder, std::uint32_t file_number)
{
    const std::string base = file_number_name(file_number);
    for (int i = 0; i <= 8; ++i) {
        fs::path p = folder / (i == 0 ? base : base + "." + std::to_string(i));
        if (::mkdir(p.c_str(), 0755) == 0)
            return p;
    }
    return std::nullopt;
}

} // namespace

DispoRun::DispoRun(DispoConfig config, DispoHost host)
    : config_(std::move(config)), host_(std::move(host)), log_(config_.error_log_file)
{
}

fs::path DispoRun::folder_of(FolderKind kind) const
{
    const auto& s = config_.satellite;
    const std::string* value = nullptr;
    switch (kind) {
    case FolderKind::Satellite: value = &s.satellite_directory; break;
    case FolderKind::Unknown: value = &s.unknown_directory; break;
    case FolderKind::Message: value = &s.message_directory; break;
    case FolderKind::MyMessage: value = &s.my_message_directory; break;
    case FolderKind::Bbs: value = &s.bbs_directory; break;
    case FolderKind::Binary: value = &s.binary_directory; break;
    case FolderKind::Keps: value = &s.keps_directory; break;
    case FolderKind::Image: value = &s.image_directory; break;
    case FolderKind::Log: value = &s.log_directory; break;
    }
    // A folder left empty in the setup files into the satellite folder, not the root.
    return value->empty() ? fs::path(s.satellite_directory) : fs::path(*value);
}

std::string DispoRun::filing_name(const fs::path& folder, const std::string& name) const
{
    std::error_code ec;
    if (!is_engine_file_name(name) || !fs::equivalent(folder, config_.satellite.satellite_directory, ec))
        return name;
    for (int i = 1; i < 100; ++i) {
        std::string numbered = name + "." + std::to_string(i);
        if (!find_file_nocase(folder, numbered))
            return numbered;
    }
    return name + ".100";
}

std::vector<std::string> DispoRun::matching_downloads() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(config_.satellite.satellite_directory, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code sec;
        if (!fs::is_regular_file(it->symlink_status(sec)) || sec)
            continue;
        std::string n = it->path().filename().string();
        if (::fnmatch(config_.pattern.c_str(), n.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0)
            names.push_back(n);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<DownloadReport> DispoRun::run()
{
    std::vector<DownloadReport> reports;
    recover_stale_claims(config_.satellite.satellite_directory);
    // The second pass picks up downloads that arrived during the first.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& name : matching_downloads()) {
            if (host_.stop_requested && host_.stop_requested())
                return reports;
            if (seen_.count(name))
                continue;
            seen_.insert(name);
            auto r = process(name);
            if (r.end != DownloadEnd::Skipped)
                reports.push_back(std::move(r));
        }
    }
    return reports;
}

DownloadReport DispoRun::process(const std::string& download_name)
{
    const fs::path sat_dir = config_.satellite.satellite_directory;
    DownloadReport report;
    report.download = download_name;
    report.file_number = parse_file_number_name(download_name).value_or(0);
    Compression compression = Compression::None;

    auto show = [&](std::string_view message) {
        if (host_.status)
            host_.status(status_line(config_.pattern, download_name, compression, message));
    };
    auto log = [&](const std::string& message) {
        show(message);
        report.errors.push_back(message);
        (void)log_.append(config_.satellite_arg, report.file_number, message);
    };
    auto pause = [&](std::chrono::milliseconds ms) {
        if (host_.pause)
            host_.pause(ms);
    };

    show("");
    auto claimed = claim_download(sat_dir, download_name);
    if (!claimed)
        return report; // another run has it, or it is gone
    fs::path temp_header;
    fs::path working;

    // Every failure ends here: what was made for this download goes, the download stays.
    auto leave_in_place = [&]() {
        remove_working_folder(working);
        if (!temp_header.empty())
            ::unlink(temp_header.c_str());
        if (!release_claim(*claimed, sat_dir, download_name)) {
            // A new download of that name arrived meanwhile: keep ours under the claim name for
            // the next run's recovery rather than lose either.
        }
        report.end = DownloadEnd::LeftInPlace;
        return report;
    };

    // The download's last place: "%lX.DLX" in the DLX folder, a numbered name beside it when
    // that is taken by another file; false when it could not be moved (it is given back).
    auto move_to_dlx = [&](std::uint32_t number) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(*claimed, ec)))
            return true;
        const fs::path dlx = config_.satellite.dlx_directory.empty() ? sat_dir : fs::path(config_.satellite.dlx_directory);
        fs::create_directories(dlx, ec);
        const fs::path first = dlx / file_number_name(number, ".DLX");
        Status moved = move_no_replace(*claimed, first);
        if (!moved && moved.error().code == EEXIST && same_contents(*claimed, first))
            moved = fs::remove(*claimed, ec) ? Status{} : Status{make_error(ec.message())};
        for (int i = 1; !moved && moved.error().code == EEXIST && i < 100; ++i)
            moved = move_no_replace(*claimed, dlx / (file_number_name(number) + "." + std::to_string(i) + ".DLX"));
        if (!moved) {
            log("Couldn't move the download to the DLX Directory.");
            (void)release_claim(*claimed, sat_dir, download_name);
            return false;
        }
        return true;
    };

    // Step A: open and check.
    Fd in(::open(claimed->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in) {
        log("The input file couldn't be opened.");
        return leave_in_place();
    }
    std::vector<std::uint8_t> head(max_header_bytes);
    ssize_t got = read_full(in.fd, head.data(), head.size());
    if (got < 0) {
        log("The input file couldn't be opened.");
        return leave_in_place();
    }
    head.resize(static_cast<std::size_t>(got));
    const DownloadHeader header = read_download_header(head);

    {
        std::string tmpl = (sat_dir / "TMP XXXXXX.PFH").string();
        int fd = ::mkostemps(tmpl.data(), 4, O_CLOEXEC);
        if (fd >= 0) {
            temp_header = tmpl;
            bool ok = write_full(fd, head.data(), std::min(header.length, head.size()));
            ::close(fd);
            if (!ok) {
                ::unlink(temp_header.c_str());
                temp_header.clear();
            }
        }
    }
    if (!header.magic_ok || !header.terminated) {
        log("The PFH is invalid");
        return leave_in_place();
    }
    if (header.file_number)
        report.file_number = *header.file_number;
    const std::uint32_t number = report.file_number;
    if (!header.checksum_ok())
        log("Header checksum error.");

    // The name's case is settled here, once: the body file and every later step use this one.
    const std::string body_name = body_file_name(header, number);
    std::uint8_t type = type_for_name(header.file_type.value_or(0), body_name);
    pause(100ms);

    // Step B: choose the folder and extract the body.
    const Route route = choose_route(type, addressed_to(header.destination, config_.callsign),
        config_.options.process_bbs != 0);
    bool keep_header = route.keep_header;
    bool show_own_mail = false;
    fs::path chosen = folder_of(route.folder);
    std::error_code ec;
    fs::create_directories(chosen, ec);
    bool placed = false;

    if (route.whole_download_to_bbs) {
        // A gateway file goes on as it came; when the name is taken it ends in the DLX folder.
        const std::string own = filing_name(chosen, safe_file_name(download_name, number));
        in.reset();
        (void)move_no_replace(*claimed, chosen / own);
    } else {
        auto made = make_working_folder(chosen, number);
        if (!made) {
            log("Unable to create target directory.");
            return leave_in_place();
        }
        working = *made;
        const fs::path body = working / body_name;
        auto extract_failed = [&](const std::string& why) {
            log(why);
            show("Error extracting file");
            log("Error extracting file.");
            return leave_in_place();
        };
        {
            Fd out(::open(body.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
            if (!out)
                return extract_failed("Unable to open the destination file.");
            if (::lseek(in.fd, static_cast<off_t>(header.body_start()), SEEK_SET) < 0)
                return extract_failed("Error encountered while writing to output file.");
            std::uint32_t sum = 0;
            std::uint8_t block[block_size];
            for (;;) {
                ssize_t n = read_full(in.fd, block, sizeof block);
                if (n < 0)
                    return extract_failed("The input file couldn't be opened.");
                if (n == 0)
                    break;
                for (ssize_t i = 0; i < n; ++i)
                    sum += block[i];
                if (!write_full(out.fd, block, static_cast<std::size_t>(n)))
                    return extract_failed("Error encountered while writing to output file.");
            }
            if (::fsync(out.fd) != 0)
                return extract_failed("Error encountered while writing to output file.");
            if (static_cast<std::uint16_t>(sum) != header.body_checksum.value_or(0)) {
                // Nothing of it is filed, but the download goes to the DLX folder like every
                // other: left in place, every later run would take it and log it again.
                log("Body Checksum error.");
                show("Error extracting file");
                log("Error extracting file.");
                out.reset();
                in.reset();
                remove_working_folder(working);
                if (!temp_header.empty())
                    ::unlink(temp_header.c_str());
                report.end = move_to_dlx(number) ? DownloadEnd::SetAside : DownloadEnd::LeftInPlace;
                return report;
            }
        }
        in.reset();
        pause(100ms);

        // Step C: decompress.
        compression = compression_for(to_upper(body_name), header.compression);
        bool decompressed = false;
        if (compression != Compression::None && !(is_binary_type(type) && !config_.options.decompress_binaries)) {
            show("Waiting for decompression.");
            const auto cap = config_.limits.size_limit_bytes;
            const auto body_size = fs::file_size(body, ec);
            RunLimits limits;
            limits.time_limit = config_.limits.time_limit;
            limits.keep_going = [&] { return bytes_below(working) <= cap + body_size; };
            RunOutcome outcome = host_.runner.run_and_wait(decompressor_command(compression, body_name), working, limits);
            if (outcome.end == RunEnd::Exited && bytes_below(working) > cap + body_size)
                outcome.end = RunEnd::Stopped;
            switch (outcome.end) {
            case RunEnd::NotStarted:
                log("The decompression program did not run.");
                return leave_in_place();
            case RunEnd::TimedOut:
                log("The decompression program did not end within "
                    + std::to_string((config_.limits.time_limit.count() + 999) / 1000) + " seconds.");
                return leave_in_place();
            case RunEnd::Stopped:
                log("The decompressed files exceed " + std::to_string(cap >> 20) + " MB.");
                return leave_in_place();
            case RunEnd::Exited: break;
            }
            show("Decompression complete.");
            decompressed = true;
        }
        pause(100ms);

        // Step D: place the result.
        std::vector<fs::path> files = plain_files_only(working);
        if (decompressed)
            std::erase(files, body);
        if (files.empty()) {
            log("No files found after decompression.");
            return leave_in_place();
        }
        if (decompressed) {
            if (type == 0) {
                const fs::path unknown = folder_of(FolderKind::Unknown);
                if (!move_to_free_name(body, unknown, filing_name(unknown, body_name))) {
                    log("Couldn't move the archive to the Unknown Directory.");
                    return leave_in_place();
                }
            } else {
                ::unlink(body.c_str());
            }
        }
        if (files.size() > 1) {
            if (type == 0) {
                for (const auto& f : files)
                    ::unlink(f.c_str());
                remove_if_empty(working);
            }
        } else {
            const fs::path f = files.front();
            const std::string f_name = safe_file_name(f.filename().string(), number);
            type = type_for_name(type, f_name);
            const std::string filed = filing_name(chosen, f_name);
            bool as_message = false;
            if (type == 0) {
                keep_header = true;
                as_message = true;
            } else if (type == 1 || type == 2) {
                (void)move_replacing(f, chosen / filed);
            } else if (is_keps_type(type) && config_.options.process_keps) {
                const fs::path keps = folder_of(FolderKind::Keps);
                fs::create_directories(keps, ec);
                const std::string keps_name = filing_name(keps, f_name);
                if (move_replacing(f, keps / keps_name)
                    && keps_name_allows_update(config_.options.update_keps, keps_name)
                    && keps_source_allows_update(config_.options.update_callsign, config_.options.update_spacecraft,
                        header.source, config_.satellite.name)) {
                    (void)host_.runner.start(elemix_command(keps, keps_name, type), keps);
                }
            } else if (is_keps_type(type)) {
                as_message = true;
            } else if (type == 20) {
                const std::string html = contains_ignoring_case(filed, ".HTM") ? filed : filed + ".HTML";
                (void)move_no_replace(f, chosen / html); // a name that is taken stays in the working folder
            } else {
                (void)move_no_replace(f, chosen / filed);
            }
            if (as_message) {
                // Written beside and renamed over the old one: a reader never sees half a message,
                // and a link of that name is replaced, not written through.
                const fs::path dlm = chosen / file_number_name(number, ".DLM");
                std::string tmpl = (chosen / ".dispo-dlm.XXXXXX").string();
                Fd out(::mkostemp(tmpl.data(), O_CLOEXEC));
                Fd src(::open(f.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
                bool ok = out && src;
                if (ok && config_.options.add_header) {
                    const std::string text
                        = message_header_text(header.source, header.destination, header.title, header.keywords);
                    ok = write_full(out.fd, text.data(), text.size());
                }
                std::uint8_t block[block_size];
                while (ok) {
                    ssize_t n = read_full(src.fd, block, sizeof block);
                    if (n <= 0) {
                        ok = n == 0;
                        break;
                    }
                    ok = write_full(out.fd, block, static_cast<std::size_t>(n));
                }
                ok = ok && ::fchmod(out.fd, 0644) == 0 && ::fsync(out.fd) == 0;
                if (ok)
                    ok = ::rename(tmpl.c_str(), dlm.c_str()) == 0;
                if (!ok) {
                    if (out)
                        ::unlink(tmpl.c_str());
                    log("Unable to open the destination file.");
                    return leave_in_place();
                }
                ::unlink(f.c_str());
                if (route.mine && config_.options.view_mine) {
                    show_own_mail = true;
                    host_.sound.play();
                }
            }
            placed = true;
            remove_if_empty(working);
        }
    }
    if (placed)
        host_.poster.post("Tessel", "Tessel [" + config_.satellite.name + "]", message_file_filed, 0,
            static_cast<std::int64_t>(number));
    pause(100ms);

    // Step E: finish.
    if (!temp_header.empty()) {
        if (keep_header || show_own_mail) {
            if (move_replacing(temp_header, chosen / file_number_name(number, ".PFH")))
                temp_header.clear();
        }
        if (!temp_header.empty())
            ::unlink(temp_header.c_str());
    }
    if (show_own_mail)
        (void)host_.runner.start(lectel_command(chosen / file_number_name(number, ".DLM")), chosen);

    // What was filed stays filed; a download that cannot be moved waits for a later run.
    report.end = move_to_dlx(number) ? DownloadEnd::Filed : DownloadEnd::LeftInPlace;
    return report;
}

} // namespace orva::mailproc

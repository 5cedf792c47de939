#include "engine/files/file_receiver.h"

#include "common/atomic_file.h"
#include "common/file_names.h"
#include "engine/directory/status_codes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva::engine {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kIncrementalHeader = 150;

void sync_folder(const fs::path& folder)
{
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string trim(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return std::string(s);
}

} // namespace

FileReceiver::FileReceiver(fs::path folder, FileSettings settings, DownloadStatus& status, Clock clock,
                           StatusSink* sink, FileListener* listener)
    : folder_(std::move(folder)), settings_(settings), status_(status), clock_(std::move(clock)), sink_(sink),
      listener_(listener)
{
}

FileReceiver::~FileReceiver()
{
    for (auto& s : slots_)
        if (s.fd >= 0)
            ::close(s.fd);
}

void FileReceiver::post(std::string text, LineColour colour)
{
    if (sink_)
        sink_->post(std::move(text), colour);
}

void FileReceiver::post_number(const char* format, std::uint32_t file_number, LineColour colour)
{
    char text[96];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long>(file_number));
    post(text, colour);
}

fs::path FileReceiver::path_of(std::uint32_t file_number, std::string_view ext) const
{
    const std::string name = file_number_name(file_number, ext);
    fs::path exact = folder_ / name;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(exact, ec)))
        return exact;
    if (!spellings_) {
        spellings_.emplace();
        for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec))
            spellings_->emplace(upper(it->path().filename().string()), it->path());
    }
    if (auto it = spellings_->find(upper(name)); it != spellings_->end() && fs::exists(it->second, ec))
        return it->second;
    return exact;
}

std::optional<std::size_t> FileReceiver::find_slot(std::uint32_t file_number) const
{
    for (std::size_t i = 0; i < slots_.size(); ++i)
        if (slots_[i].file_number == file_number && file_number != 0)
            return i;
    return std::nullopt;
}

std::vector<std::uint32_t> FileReceiver::recently_heard(std::size_t n) const
{
    std::vector<std::uint32_t> out;
    for (std::size_t k = 1; k <= kHeardRing && out.size() < n; ++k) {
        const std::uint32_t f = heard_[(heard_pos_ + kHeardRing - k) % kHeardRing];
        if (f != 0)
            out.push_back(f);
    }
    return out;
}

void FileReceiver::on_file_fragment(const FileFragment& f)
{
    counters_.bytes += f.data.size();
    last_ended_file_ = f.ends_file();
    last_offset_ = f.offset;
    last_end_ = f.offset + std::uint32_t(f.data.size());
    if (f.file_number != last_heard_file_) {
        last_heard_file_ = f.file_number;
        post_number("File %lX heard", f.file_number);
        heard_[heard_pos_] = f.file_number;
        heard_pos_ = (heard_pos_ + 1) % kHeardRing;
        if (listener_)
            listener_->on_file_heard(f.file_number);
    }
    auto index = find_slot(f.file_number);
    if (!index) {
        const bool bbs = f.file_type == 1 || f.file_type == 2 || f.file_type == 18;
        if (f.file_number != requested_ && bbs && settings_.block_bbs) {
            ++counters_.refused;
            return;
        }
        index = open_slot(f.file_number);
        if (!index) {
            ++counters_.refused;
            return;
        }
    }
    if (write_fragment(slots_[*index], f))
        complete(*index);
}

std::optional<std::size_t> FileReceiver::open_slot(std::uint32_t file_number)
{
    if (file_number == 0)
        return std::nullopt;
    if (auto i = find_slot(file_number))
        return i;
    const auto code = status_.get_download_status(file_number);
    if (code && *code <= kCodeDownloaded)
        return std::nullopt;
    if (!settings_.grab_all && (!code || *code <= kCodeGrab))
        return std::nullopt;

    std::optional<std::size_t> index;
    for (std::size_t i = 0; i < slots_.size() && !index; ++i)
        if (slots_[i].free())
            index = i;
    if (!index) {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            if (slots_[i].file_number == requested_)
                continue;
            if (!index || slots_[i].last_heard < slots_[*index].last_heard)
                index = i;
        }
        if (!index)
            return std::nullopt;
        save_holes(*index);
    }

    DownloadSlot& s = slots_[*index];
    const fs::path act = path_of(file_number, ".ACT");
    const int fd = ::open(act.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        post_number("Disk error reading file %lX", file_number, LineColour::Red);
        return std::nullopt;
    }
    s = DownloadSlot{};
    s.fd = fd;
    s.file_number = file_number;
    s.last_heard = clock_();
    s.status = code.value_or(kCodeGrab);
    s.holes = HoleList::whole();

    const fs::path hol = path_of(file_number, ".HOL");
    std::error_code ec;
    if (fs::exists(hol, ec)) {
        auto bytes = read_file(hol);
        HoleFileLoad loaded = bytes ? decode_hole_file(*bytes) : HoleFileLoad{};
        if (!bytes || loaded.short_file)
            post_number("Error reading %lX.HOL", file_number, LineColour::Red);
        if (bytes && !loaded.ignored) {
            s.holes = std::move(loaded.file.holes);
            s.length = loaded.file.length;
            s.length_from_header = loaded.file.length_from_header;
            if (s.length_from_header)
                s.sniffer.mark_done();
        } else {
            s.holes = HoleList::whole();
        }
    }
    // Whatever the list claims beyond the end of the data on disk is missing after all.
    struct stat st {};
    const std::uint64_t on_disk = ::fstat(fd, &st) == 0 ? std::uint64_t(st.st_size) : 0;
    const std::uint32_t limit = s.length != 0 ? s.length : kOpenEnd;
    if (on_disk < limit)
        s.holes.mark_missing(std::uint32_t(on_disk), limit);
    if (!s.length_from_header)
        sniff_from_disk(s);
    update_percent(s);
    return index;
}

// The start of the file may already be on disk from an earlier pass while its size was never
// read from it; the sniffer then reads it there instead of waiting for bytes that will not come.
void FileReceiver::sniff_from_disk(DownloadSlot& s)
{
    if (s.holes.empty() || s.holes.holes()[0].start == 0)
        return;
    const std::uint32_t prefix = std::min<std::uint32_t>(s.holes.holes()[0].start, 4096);
    std::vector<std::uint8_t> head(prefix);
    const ssize_t n = ::pread(s.fd, head.data(), head.size(), 0);
    if (n <= 0)
        return;
    std::uint32_t fed = 0;
    while (fed < std::uint32_t(n) && !s.sniffer.done()) {
        const std::uint32_t step = std::min<std::uint32_t>(256, std::uint32_t(n) - fed);
        if (auto size = s.sniffer.feed(std::span(head).subspan(fed, step))) {
            if (s.length == 0 || s.length == *size) {
                s.length = *size;
                s.length_from_header = true;
                s.holes.cut_at(*size);
            }
        }
        fed += step;
    }
    s.next_header_offset = s.sniffer.done() ? 0 : fed;
}

void FileReceiver::update_percent(DownloadSlot& s)
{
    s.percent = s.length ? int(std::min<std::uint64_t>(100, s.holes.received_bytes(s.length) * 100 / s.length)) : 0;
}

void FileReceiver::restart_file(DownloadSlot& s)
{
    ++counters_.size_changes;
    post_number("File %lX changed on the satellite: starting it again", s.file_number, LineColour::Red);
    s.holes = HoleList::whole();
    s.length = 0;
    s.length_from_header = false;
    s.sniffer = pfh::FileSizeSniffer{};
    s.next_header_offset = 0;
    std::error_code ec;
    fs::remove(path_of(s.file_number, ".HOL"), ec); // before the data it describes goes
    if (::ftruncate(s.fd, 0) != 0) {}
    s.dirty = true;
}

bool FileReceiver::write_fragment(DownloadSlot& s, const FileFragment& f)
{
    s.last_heard = clock_();
    const std::uint32_t offset = f.offset;
    const std::uint32_t n = std::uint32_t(f.data.size());
    // The server picks the chunk size, whatever "Bdcst Frame" asked for.
    if (offset > kLargestFragmentOffset || n > std::max(settings_.bdcst_frame, kServerChunkAllowance)) {
        ++counters_.dropped;
        return false;
    }
    const std::uint32_t end = offset + n;
    if (f.ends_file() && s.length != 0 && end != s.length && (s.length_from_header || end > s.length)) {
        restart_file(s);
    } else if (s.length != 0 && end > s.length) {
        ++counters_.dropped; // past the end of the file
        return false;
    }
    if (n == 0) {
        if (!f.ends_file()) {
            ++counters_.dropped;
            return false;
        }
    } else if (!s.holes.overlaps(offset, end)) {
        ++counters_.dropped;
        return false;
    } else {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t w = ::pwrite(s.fd, f.data.data() + done, n - done, off_t(offset + done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                post_number("Disk error writing file %lX", s.file_number, LineColour::Red);
                return false;
            }
            done += std::size_t(w);
        }
        counters_.useful_bytes += n;
        s.written += n;
        s.holes.receive(offset, end);
    }
    s.last_offset = offset;
    s.dirty = true;
    if (f.ends_file()) {
        s.length = end;
        s.holes.cut_at(end);
    }
    if (offset == s.next_header_offset && !s.sniffer.done() && n > 0) {
        s.next_header_offset += n;
        // The sniffer takes at most 256 bytes at a time: a longer fragment goes in pieces, or
        // the sniffer's place would fall behind the offset counted here.
        std::optional<std::uint32_t> size;
        for (std::uint32_t fed = 0; fed < n && !s.sniffer.done();) {
            const std::uint32_t step = std::min<std::uint32_t>(256, n - fed);
            size = s.sniffer.feed(f.data.subspan(fed, step));
            fed += step;
        }
        if (size) {
            if (s.length != 0 && s.length != *size) {
                restart_file(s);
            } else if (*size >= end) {
                s.length = *size;
                s.length_from_header = true;
                s.holes.cut_at(*size);
            }
        }
    }
    update_percent(s);
    return s.holes.empty();
}

void FileReceiver::complete(std::size_t index)
{
    DownloadSlot& s = slots_[index];
    const std::uint32_t fn = s.file_number;
    ::fdatasync(s.fd);
    ::close(s.fd);
    s.fd = -1;
    std::error_code ec;

    if (s.status == kCodeIncremental) {
        post_number("Incremental file %lX complete", fn);
        status_.set_download_status(fn, kCodeNever, true);
        std::vector<FileHole> holes{{0, kIncrementalHeader}};
        if (s.length >= kIncrementalHeader)
            holes.push_back({s.length, kOpenEnd});
        else
            holes = {{0, kOpenEnd}};
        s.holes = HoleList::from(std::move(holes));
        s.length = 0;
        s.length_from_header = false;
        if (auto st = write_file_atomic(path_of(fn, ".HOL"), encode_hole_file({false, 0, s.holes})); !st)
            post_number("Error saving file %lX", fn, LineColour::Red);
        free_slot(s);
        if (fn == requested_)
            requested_ = 0;
        if (listener_)
            listener_->on_incremental_complete(fn);
        return;
    }

    // A ".DL" of that name may still wait for the mail processor: never overwrite one.
    fs::path target = path_of(fn, ".DL");
    for (int k = 1; fs::exists(target, ec) && k <= 99; ++k)
        target = path_of(fn, ".DL" + std::to_string(k));
    target = folder_ / target.filename();
    const fs::path act = path_of(fn, ".ACT");
    // The hole list goes first: a crash before the rename then leaves a partial file without a
    // list (fetched again), never a list describing a partial file that is no longer there.
    fs::remove(path_of(fn, ".HOL"), ec);
    sync_folder(folder_);
    if (::rename(act.c_str(), target.c_str()) != 0) {
        post_number("Disk error renaming file %lX", fn, LineColour::Red);
        free_slot(s);
        return;
    }
    sync_folder(folder_);
    status_.set_download_status(fn, kCodeDownloaded, true);
    post_number("File %lX downloaded", fn, LineColour::Blue);
    ++counters_.completed;
    const std::uint32_t length = s.length;
    const bool now = length <= settings_.proc_threshold;
    if (!now)
        waiting_.push_back(target);
    free_slot(s);
    if (fn == requested_)
        requested_ = 0;
    if (listener_)
        listener_->on_file_complete(fn, target, length, now);
}

Status FileReceiver::write_holes(const DownloadSlot& s, bool for_close)
{
    HoleFile file{s.length_from_header, s.length, s.holes};
    if (for_close && s.status == kCodeIncremental) {
        // Next time fetch the header again and whatever was appended after the old end.
        std::vector<FileHole> holes(s.holes.holes().begin(), s.holes.holes().end());
        auto reach = std::find_if(holes.begin(), holes.end(), [](const FileHole& h) { return h.end >= kIncrementalHeader; });
        if (holes.empty() || holes.front().start >= kIncrementalHeader) {
            holes.insert(holes.begin(), {0, kIncrementalHeader});
        } else if (reach != holes.end()) {
            reach->start = 0;
            holes.erase(holes.begin(), reach);
        }
        if (holes.back().end != kOpenEnd)
            holes.push_back({std::max(s.length, holes.back().end), kOpenEnd});
        file = {false, 0, HoleList::from(std::move(holes))};
    }
    // The data first: a list must never describe bytes that are not yet on disk.
    if (s.fd >= 0)
        ::fdatasync(s.fd);
    return write_file_atomic(path_of(s.file_number, ".HOL"), encode_hole_file(file));
}

void FileReceiver::free_slot(DownloadSlot& s)
{
    if (s.fd >= 0)
        ::close(s.fd);
    s = DownloadSlot{};
}

void FileReceiver::save_holes(std::size_t index)
{
    DownloadSlot& s = slots_[index];
    if (s.free())
        return;
    post_number(s.status == kCodeIncremental ? "Saving incremental file %lX" : "Saving file %lX", s.file_number);
    if (auto st = write_holes(s, true); !st)
        post_number("Error saving file %lX", s.file_number, LineColour::Red);
    free_slot(s);
}

void FileReceiver::close_all()
{
    for (std::size_t i = 0; i < slots_.size(); ++i)
        save_holes(i);
}

void FileReceiver::checkpoint()
{
    for (auto& s : slots_) {
        if (s.free() || !s.dirty)
            continue;
        if (write_holes(s, false))
            s.dirty = false;
    }
}

void FileReceiver::delete_download(std::uint32_t file_number)
{
    if (auto i = find_slot(file_number))
        free_slot(slots_[*i]);
    std::error_code ec;
    fs::remove(path_of(file_number, ".HOL"), ec);
    fs::remove(path_of(file_number, ".ACT"), ec);
    status_.set_download_status(file_number, kCodeNever, true);
    post_number("File %lX deleted", file_number);
}

int FileReceiver::prepare_gateway_holes(const pfh::PfhHeader& header, std::string_view collect_list)
{
    const std::uint32_t fn = header.file_number;
    if (status_.get_download_status(fn))
        return 1;
    const std::uint32_t size = header.file_size.value_or(0);
    if (!header.gateway_holes || size == 0)
        return 3;
    std::vector<std::string> collect;
    for (std::size_t pos = 0; pos <= collect_list.size();) {
        const std::size_t end = std::min(collect_list.find(' ', pos), collect_list.size());
        if (end > pos)
            collect.push_back(upper(collect_list.substr(pos, end - pos)));
        pos = end + 1;
    }
    const auto& entries = *header.gateway_holes;
    std::vector<FileHole> holes;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string call = upper(trim(entries[i].callsign));
        if (std::find(collect.begin(), collect.end(), call) == collect.end())
            continue;
        const std::uint32_t start = entries[i].offset;
        const std::uint32_t end = i + 1 < entries.size() ? entries[i + 1].offset : size;
        if (end <= start || end > size)
            continue;
        if (!holes.empty() && holes.back().end == start)
            holes.back().end = end;
        else if (holes.empty() || start > holes.back().end)
            holes.push_back({start, end});
    }
    if (holes.empty())
        return 3;
    const std::uint32_t body = header.body_offset.value_or(0);
    if (body < holes.front().start && body > 0)
        holes.insert(holes.begin(), {0, body});
    else
        holes.front().start = 0;

    // The parts not wanted are never fetched: the partial file is made full length so the hole
    // list's claim matches what is on disk (zeros where nothing was collected).
    const fs::path act = path_of(fn, ".ACT");
    const int fd = ::open(act.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::ftruncate(fd, off_t(size)) == 0;
    if (fd >= 0)
        ::close(fd);
    const std::size_t count = holes.size();
    ok = ok && write_file_atomic(path_of(fn, ".HOL"), encode_hole_file({false, size, HoleList::from(std::move(holes))})).ok();
    if (!ok) {
        post_number("Error saving holes for GATEWAY file %lX", fn, LineColour::Red);
        return 2;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Saving %d holes for GATEWAY file %lX", int(count), static_cast<unsigned long>(fn));
    post(text);
    return 2;
}

std::string FileReceiver::table_row(std::size_t index) const
{
    const DownloadSlot& s = slots_[index];
    if (s.free())
        return {};
    char row[64];
    std::snprintf(row, sizeof row, "%8lX %3d %3d %7ld %7ld", static_cast<unsigned long>(s.file_number),
                  int(s.holes.count()), s.percent, long(s.last_offset), long(s.length));
    return row;
}

} // namespace orva::engine

#include "engine/directory/directory_file.h"

#include "common/atomic_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva::engine {

namespace fs = std::filesystem;

std::string directory_file_name(int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "Brek%04d.PFH", number);
    return name;
}

std::optional<int> directory_file_number(std::string_view name)
{
    if (name.size() < 9)
        return std::nullopt;
    auto lower = [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); };
    const std::string_view prefix = "brek", suffix = ".pfh";
    for (std::size_t i = 0; i < 4; ++i)
        if (lower(name[i]) != prefix[i] || lower(name[name.size() - 4 + i]) != suffix[i])
            return std::nullopt;
    const std::string_view digits = name.substr(4, name.size() - 8);
    if (digits.empty() || digits.size() > 6)
        return std::nullopt;
    int n = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

HeaderScan scan_directory_bytes(std::span<const std::uint8_t> bytes)
{
    HeaderScan scan;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t start = pos;
        const std::size_t left = bytes.size() - pos;
        if (bytes[pos] != 0xAA || (left >= 2 && bytes[pos + 1] != 0x55)) {
            scan.damaged = true;
            return scan;
        }
        if (left < 2) {
            scan.torn = true;
            return scan;
        }
        pos += 2;
        for (;;) {
            if (bytes.size() - pos < 3) {
                scan.torn = true;
                return scan;
            }
            const std::uint8_t id = bytes[pos];
            const std::uint8_t id_high = bytes[pos + 1];
            const std::uint8_t len = bytes[pos + 2];
            pos += 3;
            if (id == 0 && id_high == 0 && len == 0)
                break;
            if (bytes.size() - pos < len) {
                scan.torn = true;
                return scan;
            }
            pos += len;
            if (pos - start > 4096) { // no directory entry is this long
                scan.damaged = true;
                return scan;
            }
        }
        scan.good = pos;
        ++scan.headers;
        (void)start;
    }
    return scan;
}

Result<DirectoryFile::Opened> DirectoryFile::open(const fs::path& folder)
{
    int highest = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (auto n = directory_file_number(entry.path().filename().string()))
            highest = std::max(highest, *n);
    }
    if (ec)
        return make_error("Error reading PFH files: " + ec.message());

    std::optional<std::string> notice;
    // An existing file of another spelling is appended to under its own name.
    fs::path existing = folder / directory_file_name(highest);
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (directory_file_number(entry.path().filename().string()) == highest)
            existing = entry.path();
    if (fs::exists(existing, ec)) {
        auto bytes = read_file(existing);
        if (!bytes)
            return make_error("Error reading PFH files: " + bytes.error().message);
        const HeaderScan scan = scan_directory_bytes(*bytes);
        if (scan.torn) {
            // A header cut short by a crash: drop the partial tail so the next one starts clean.
            if (::truncate(existing.c_str(), off_t(scan.good)) != 0)
                return make_error("Error reading PFH files: cannot trim " + existing.string());
            notice = "Directory file " + existing.filename().string() + ": removed a torn last header (" +
                     std::to_string(bytes->size() - scan.good) + " bytes).";
        } else if (scan.damaged) {
            // Never append after bytes we cannot read; the next number starts clean.
            notice = "Directory file " + existing.filename().string() + " is damaged after byte " +
                     std::to_string(scan.good) + "; starting " + directory_file_name(highest + 1) + ".";
            ++highest;
        }
    }
    DirectoryFile file(folder, highest, -1, 0);
    if (auto s = file.open_number(highest); !s)
        return s.error();
    return Opened{std::move(file), notice};
}

Status DirectoryFile::open_number(int number)
{
    close_fd();
    number_ = number;
    fs::path p = folder_ / directory_file_name(number);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec))
        if (directory_file_number(entry.path().filename().string()) == number)
            p = entry.path();
    fd_ = ::open(p.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0)
        return make_error("Error reading PFH files: " + p.string() + ": " + std::strerror(errno), errno);
    struct stat st {};
    size_ = ::fstat(fd_, &st) == 0 ? std::uint64_t(st.st_size) : 0;
    return {};
}

DirectoryFile::DirectoryFile(DirectoryFile&& o) noexcept
    : folder_(std::move(o.folder_)), number_(o.number_), fd_(o.fd_), size_(o.size_)
{
    o.fd_ = -1;
}

DirectoryFile& DirectoryFile::operator=(DirectoryFile&& o) noexcept
{
    if (this != &o) {
        close_fd();
        folder_ = std::move(o.folder_);
        number_ = o.number_;
        fd_ = o.fd_;
        size_ = o.size_;
        o.fd_ = -1;
    }
    return *this;
}

DirectoryFile::~DirectoryFile() { close_fd(); }

void DirectoryFile::close_fd()
{
    if (fd_ >= 0) {
        ::fdatasync(fd_);
        ::close(fd_);
    }
    fd_ = -1;
}

Status DirectoryFile::append(std::span<const std::uint8_t> header)
{
    if (fd_ < 0)
        return make_error("Error reading PFH files");
    std::size_t done = 0;
    while (done < header.size()) {
        const ssize_t n = ::write(fd_, header.data() + done, header.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            // Leave the file ending on a whole header.
            if (done > 0 && ::ftruncate(fd_, off_t(size_)) != 0) {}
            return make_error(std::string("cannot write the directory file: ") + std::strerror(e), e);
        }
        done += std::size_t(n);
    }
    size_ += header.size();
    if (size_ > kDirectoryFileRollover)
        return open_number(number_ + 1);
    return {};
}

void DirectoryFile::flush()
{
    if (fd_ >= 0)
        ::fdatasync(fd_);
}

} // namespace orva::engine

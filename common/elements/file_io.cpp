#include "common/elements/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <strings.h>

namespace orva::elements {

namespace fs = std::filesystem;

namespace {
Error errno_error(const std::string& what, const fs::path& path)
{
    int e = errno;
    return make_error(what + " " + path.string() + ": " + std::strerror(e), e);
}

bool write_all(int fd, const std::uint8_t* p, std::size_t n)
{
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= std::size_t(w);
    }
    return true;
}
} // namespace

Result<std::optional<std::vector<std::uint8_t>>> read_whole_file(const fs::path& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::optional<std::vector<std::uint8_t>>{};
        return errno_error("cannot open", path);
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t buf[8192];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Error err = errno_error("cannot read", path);
            ::close(fd);
            return err;
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buf, buf + n);
    }
    ::close(fd);
    return std::optional<std::vector<std::uint8_t>>(std::move(bytes));
}

Status replace_file(const fs::path& path, std::span<const std::uint8_t> bytes)
{
    fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::string tmpl = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        return errno_error("cannot create a temporary file in", folder);
    ::fchmod(fd, 0644);
    if (!write_all(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0) {
        Error err = errno_error("cannot write", tmpl);
        ::close(fd);
        ::unlink(tmpl.c_str());
        return err;
    }
    ::close(fd);
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        Error err = errno_error("cannot replace", path);
        ::unlink(tmpl.c_str());
        return err;
    }
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

Result<FileLock> FileLock::acquire(const fs::path& data_file)
{
    fs::path lock_path = data_file;
    lock_path += ".lock";
    int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno_error("cannot open the lock file", lock_path);
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            Error err = errno_error("cannot lock", lock_path);
            ::close(fd);
            return err;
        }
    }
    return FileLock(fd);
}

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileLock::~FileLock()
{
    if (fd_ >= 0)
        ::close(fd_); // closing the descriptor releases the flock
}

fs::path find_nocase(const fs::path& folder, const std::string& name)
{
    std::error_code ec;
    if (fs::exists(folder / name, ec))
        return folder / name;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string found = entry.path().filename().string();
        if (strcasecmp(found.c_str(), name.c_str()) == 0)
            return entry.path();
    }
    return folder / name;
}

} // namespace orva::elements

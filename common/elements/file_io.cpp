#include "common/elements/file_io.h"

#include "common/atomic_file.h"
#include "common/file_names.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace orva::elements {

namespace fs = std::filesystem;

namespace {
Error errno_error(const std::string& what, const fs::path& path)
{
    int e = errno;
    return make_error(what + " " + path.string() + ": " + std::strerror(e), e);
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
    return write_file_atomic(path, bytes);
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
    return resolve_file_nocase(folder, name);
}

} // namespace orva::elements

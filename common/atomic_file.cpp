#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace orva {

namespace fs = std::filesystem;

namespace {

Error os_error(const std::string& what, const fs::path& file)
{
    int e = errno;
    return make_error(what + " \"" + file.string() + "\": " + std::strerror(e), e);
}

Status write_all(int fd, const std::uint8_t* data, std::size_t size, const fs::path& file)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return os_error("cannot write", file);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return {};
}

} // namespace

Status write_file_atomic(const fs::path& file, std::span<const std::uint8_t> bytes)
{
    fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::string tmpl = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return os_error("cannot create a temporary file beside", file);
    // Keep the permissions of the file being replaced, or the usual ones for a new file.
    struct stat st {};
    mode_t mode = 0644;
    if (::stat(file.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    ::fchmod(fd, mode);
    Status s = write_all(fd, bytes.data(), bytes.size(), file);
    if (s && ::fsync(fd) != 0)
        s = os_error("cannot sync", file);
    if (::close(fd) != 0 && s)
        s = os_error("cannot close", file);
    if (s && ::rename(tmpl.c_str(), file.c_str()) != 0)
        s = os_error("cannot replace", file);
    if (!s) {
        ::unlink(tmpl.c_str());
        return s;
    }
    // The rename itself is durable only once the folder is synced.
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

Status write_file_atomic(const fs::path& file, std::string_view text)
{
    return write_file_atomic(file, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

Result<std::vector<std::uint8_t>> read_file(const fs::path& file)
{
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return os_error("cannot open", file);
    std::vector<std::uint8_t> bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t buf[65536];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Error e = os_error("cannot read", file);
            ::close(fd);
            return e;
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buf, buf + n);
    }
    ::close(fd);
    return bytes;
}

} // namespace orva

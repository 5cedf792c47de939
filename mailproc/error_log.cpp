#include "mailproc/error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orva::mailproc {

std::string error_log_line(std::string_view satellite, std::uint32_t file_number, std::string_view message)
{
    std::string name(satellite);
    if (name.size() < 12)
        name.append(12 - name.size(), ' ');
    char number[16];
    std::snprintf(number, sizeof number, "%8X", static_cast<unsigned>(file_number));
    return name + " " + number + "  " + std::string(message) + "\n";
}

Status ErrorLog::append(std::string_view satellite, std::uint32_t file_number, std::string_view message) const
{
    const std::string line = error_log_line(satellite, file_number, message);
    // O_APPEND writes the whole line at the end even when another run appends at the same time.
    int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return make_error("cannot open \"" + file_.string() + "\": " + std::strerror(errno), errno);
    ssize_t n = ::write(fd, line.data(), line.size());
    int e = errno;
    ::close(fd);
    if (n != static_cast<ssize_t>(line.size()))
        return make_error("cannot append to \"" + file_.string() + "\": " + std::strerror(e), e);
    return {};
}

} // namespace orva::mailproc

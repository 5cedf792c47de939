#include "mailproc/file_moves.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orva::mailproc {

namespace fs = std::filesystem;

namespace {

Error os_error(const std::string& what, const fs::path& p, int e)
{
    return make_error(what + " \"" + p.string() + "\": " + std::strerror(e), e);
}

// Copies into a new temporary file beside `to` and returns its path, synced.
Result<fs::path> copy_beside(const fs::path& from, const fs::path& to)
{
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (in < 0)
        return os_error("cannot open", from, errno);
    std::string tmpl = (to.parent_path() / (".dispo-copy.XXXXXX")).string();
    int out = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (out < 0) {
        int e = errno;
        ::close(in);
        return os_error("cannot create a file beside", to, e);
    }
    char buf[65536];
    int e = 0;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            e = errno;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                e = w < 0 ? errno : ENOSPC;
                break;
            }
            done += w;
        }
        if (e)
            break;
    }
    if (!e && ::fsync(out) != 0)
        e = errno;
    if (::close(out) != 0 && !e)
        e = errno;
    ::close(in);
    if (e) {
        ::unlink(tmpl.c_str());
        return os_error("cannot copy to", to, e);
    }
    return fs::path(tmpl);
}

void sync_folder(const fs::path& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

Status move_replacing(const fs::path& from, const fs::path& to)
{
    if (::rename(from.c_str(), to.c_str()) == 0)
        return {};
    if (errno != EXDEV)
        return os_error("cannot move to", to, errno);
    auto tmp = copy_beside(from, to);
    if (!tmp)
        return tmp.error();
    if (::rename(tmp->c_str(), to.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp->c_str());
        return os_error("cannot move to", to, e);
    }
    sync_folder(to.parent_path());
    ::unlink(from.c_str()); // only now that the copy is in place
    return {};
}

Status move_no_replace(const fs::path& from, const fs::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    int e = errno;
    if (e == EINVAL || e == ENOSYS) { // a file system without the flag: a hard link never replaces
        if (::link(from.c_str(), to.c_str()) != 0)
            return os_error("cannot move to", to, errno);
        ::unlink(from.c_str());
        return {};
    }
    if (e != EXDEV)
        return os_error("cannot move to", to, e);
    auto tmp = copy_beside(from, to);
    if (!tmp)
        return tmp.error();
    if (::link(tmp->c_str(), to.c_str()) != 0) {
        e = errno;
        ::unlink(tmp->c_str());
        return os_error("cannot move to", to, e);
    }
    ::unlink(tmp->c_str());
    sync_folder(to.parent_path());
    ::unlink(from.c_str());
    return {};
}

Result<fs::path> move_to_free_name(const fs::path& from, const fs::path& folder, const std::string& name)
{
    fs::path target = folder / name;
    Status s = move_no_replace(from, target);
    const std::string stem = fs::path(name).stem().string(), ext = fs::path(name).extension().string();
    for (int i = 1; !s && s.error().code == EEXIST && i < 100; ++i) {
        target = folder / (stem + "-" + std::to_string(i) + ext);
        s = move_no_replace(from, target);
    }
    if (!s)
        return s.error();
    return target;
}

bool same_contents(const fs::path& a, const fs::path& b)
{
    std::error_code ec1, ec2;
    auto sa = fs::file_size(a, ec1), sb = fs::file_size(b, ec2);
    if (ec1 || ec2 || sa != sb)
        return false;
    int fa = ::open(a.c_str(), O_RDONLY | O_CLOEXEC), fb = ::open(b.c_str(), O_RDONLY | O_CLOEXEC);
    bool same = fa >= 0 && fb >= 0;
    char x[16384], y[16384];
    while (same) {
        ssize_t n = ::read(fa, x, sizeof x);
        ssize_t m = n > 0 ? ::read(fb, y, static_cast<std::size_t>(n)) : 0;
        if (n <= 0) {
            same = n == 0;
            break;
        }
        same = m == n && std::memcmp(x, y, static_cast<std::size_t>(n)) == 0;
    }
    if (fa >= 0)
        ::close(fa);
    if (fb >= 0)
        ::close(fb);
    return same;
}

std::vector<fs::path> plain_files_only(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code ec;
    std::vector<fs::path> others;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        auto st = it->symlink_status(sec);
        if (!sec && fs::is_regular_file(st))
            files.push_back(it->path());
        else
            others.push_back(it->path());
    }
    for (const auto& p : others) {
        std::error_code rec;
        fs::remove_all(p, rec); // removes a link itself, never what it points to
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::uint64_t bytes_below(const fs::path& folder)
{
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        auto st = it->symlink_status(sec);
        if (!sec && fs::is_regular_file(st)) {
            auto size = it->file_size(sec);
            if (!sec)
                total += size;
        }
    }
    return total;
}

Result<fs::path> claim_download(const fs::path& folder, const std::string& name)
{
    fs::path from = folder / name;
    fs::path to = folder / (name + "." + std::to_string(::getpid()) + ".claim");
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0)
        return os_error("cannot claim", from, errno);
    if (!S_ISREG(st.st_mode))
        return make_error("\"" + from.string() + "\" is not a plain file", EINVAL);
    Status s = move_no_replace(from, to);
    if (!s)
        return s.error();
    return to;
}

Status release_claim(const fs::path& claimed, const fs::path& folder, const std::string& name)
{
    return move_no_replace(claimed, folder / name);
}

void recover_stale_claims(const fs::path& folder)
{
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    for (const auto& entry : entries) {
        const std::string n = entry.filename().string();
        const std::string suffix = ".claim";
        if (n.size() <= suffix.size() || n.compare(n.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::string rest = n.substr(0, n.size() - suffix.size());
        auto dot = rest.rfind('.');
        if (dot == std::string::npos)
            continue;
        std::string pid_text = rest.substr(dot + 1);
        if (pid_text.empty() || pid_text.find_first_not_of("0123456789") != std::string::npos || pid_text.size() > 9)
            continue;
        pid_t pid = static_cast<pid_t>(std::stol(pid_text));
        if (pid <= 0 || (::kill(pid, 0) != 0 && errno == ESRCH)) {
            (void)release_claim(entry, folder, rest.substr(0, dot));
        }
    }
}

} // namespace orva::mailproc

#include "engine/directory/status_table.h"

#include "engine/directory/status_codes.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva::engine {
namespace {

// The records are little-endian on disk; the words are read and written whole through atomics.
std::uint32_t le32(std::uint32_t v)
{
    if constexpr (std::endian::native == std::endian::little)
        return v;
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

std::uint32_t load32(std::uint8_t* p)
{
    return le32(std::atomic_ref<std::uint32_t>(*reinterpret_cast<std::uint32_t*>(p)).load(std::memory_order_acquire));
}
void store32(std::uint8_t* p, std::uint32_t v)
{
    std::atomic_ref<std::uint32_t>(*reinterpret_cast<std::uint32_t*>(p)).store(le32(v), std::memory_order_release);
}
std::atomic_ref<std::uint8_t> status_ref(std::uint8_t* record) { return std::atomic_ref<std::uint8_t>(record[8]); }

Error os_error(const std::string& what, const std::filesystem::path& file)
{
    const int e = errno;
    return make_error(what + " \"" + file.string() + "\": " + std::strerror(e), e);
}

class FileLock {
public:
    explicit FileLock(int fd) : fd_(fd)
    {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {}
    }
    ~FileLock() { ::flock(fd_, LOCK_UN); }

private:
    int fd_;
};

} // namespace

Result<StatusTable> StatusTable::open(const std::filesystem::path& file, std::string* notice)
{
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return os_error("cannot open the status table", file);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        auto e = os_error("cannot read the size of", file);
        ::close(fd);
        return e;
    }
    if (st.st_size < static_cast<off_t>(kStatusTableBytes)) {
        // New records read as free: the file system gives zeros for the extension.
        FileLock lock(fd);
        if (::fstat(fd, &st) == 0 && st.st_size < static_cast<off_t>(kStatusTableBytes) &&
            ::ftruncate(fd, kStatusTableBytes) != 0) {
            auto e = os_error("cannot extend the status table", file);
            ::close(fd);
            return e;
        }
        if (notice && st.st_size != 0)
            *notice = "Status table \"" + file.string() + "\" was " + std::to_string(st.st_size) +
                      " bytes; extended to " + std::to_string(kStatusTableBytes) + ".";
    } else if (st.st_size > static_cast<off_t>(kStatusTableBytes) && notice) {
        *notice = "Status table \"" + file.string() + "\" is " + std::to_string(st.st_size) + " bytes; only the first " +
                  std::to_string(kStatusTableBytes) + " are used.";
    }
    void* base = ::mmap(nullptr, kStatusTableBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        auto e = os_error("cannot map the status table", file);
        ::close(fd);
        return e;
    }
    return StatusTable(fd, static_cast<std::uint8_t*>(base));
}

StatusTable::StatusTable(StatusTable&& o) noexcept : fd_(o.fd_), base_(o.base_)
{
    o.fd_ = -1;
    o.base_ = nullptr;
}

StatusTable& StatusTable::operator=(StatusTable&& o) noexcept
{
    if (this != &o) {
        release();
        fd_ = o.fd_;
        base_ = o.base_;
        o.fd_ = -1;
        o.base_ = nullptr;
    }
    return *this;
}

StatusTable::~StatusTable() { release(); }

void StatusTable::release()
{
    if (base_)
        ::munmap(base_, kStatusTableBytes);
    if (fd_ >= 0)
        ::close(fd_);
    base_ = nullptr;
    fd_ = -1;
}

void StatusTable::sync()
{
    if (base_)
        ::msync(base_, kStatusTableBytes, MS_SYNC);
}

StatusRecord StatusTable::record(std::size_t index) const
{
    std::uint8_t* r = at(index);
    return {load32(r), load32(r + 4), status_ref(r).load(std::memory_order_acquire)};
}

std::optional<std::size_t> StatusTable::find(std::uint32_t file_number) const
{
    if (file_number == 0)
        return std::nullopt;
    for (std::size_t i = 0; i < kStatusRecords; ++i)
        if (load32(at(i)) == file_number)
            return i;
    return std::nullopt;
}

std::optional<int> StatusTable::code_of(std::uint32_t file_number) const
{
    auto b = status_byte(file_number);
    if (!b)
        return std::nullopt;
    return *b & kStatusCodeMask;
}

std::optional<std::uint8_t> StatusTable::status_byte(std::uint32_t file_number) const
{
    auto i = find(file_number);
    if (!i)
        return std::nullopt;
    return status_ref(at(*i)).load(std::memory_order_acquire);
}

namespace {

std::uint8_t requested_bit(int code, std::uint8_t old)
{
    if (code == kStatusNever || code == kStatusGrab)
        return 0;
    if (code >= kStatusAuto3 && code <= kStatusMine)
        return kRequestedFlag;
    return old & kRequestedFlag;
}

} // namespace

SetStatusResult StatusTable::set_status(std::uint32_t file_number, int code, bool mark_changed, std::uint32_t now,
                                        bool ack_receipt)
{
    if (file_number == 0)
        return {};
    code &= kStatusCodeMask;
    auto index = find(file_number);
    if (!index) {
        FileLock lock(fd_);
        // Another program may have taken a record for the file since we looked.
        index = find(file_number);
        if (!index) {
            std::size_t oldest = 0;
            std::uint32_t oldest_time = UINT32_MAX;
            for (std::size_t i = 0; i < kStatusRecords; ++i) {
                std::uint8_t* r = at(i);
                const std::uint32_t t = load32(r) == 0 ? 0 : load32(r + 4);
                if (t < oldest_time) {
                    oldest_time = t;
                    oldest = i;
                    if (t == 0)
                        break;
                }
            }
            std::uint8_t* r = at(oldest);
            // Free the record first, so no reader sees the new file with the old file's status.
            store32(r, 0);
            store32(r + 4, now);
            status_ref(r).store(std::uint8_t(code | requested_bit(code, 0) | kChangedFlag), std::memory_order_release);
            r[9] = r[10] = r[11] = 0;
            store32(r, file_number);
            return {code, false};
        }
    }
    auto ref = status_ref(at(*index));
    std::uint8_t old = ref.load(std::memory_order_acquire);
    for (;;) {
        const int old_code = old & kStatusCodeMask;
        if (old_code == kStatusDownloaded)
            return {kStatusDownloaded, false};
        const std::uint8_t changed = mark_changed ? kChangedFlag : std::uint8_t(old & kChangedFlag);
        const std::uint8_t next = std::uint8_t(code | requested_bit(code, old) | changed);
        if (ref.compare_exchange_weak(old, next, std::memory_order_acq_rel))
            return {code, ack_receipt && old_code == kStatusMine && code == kStatusDownloaded};
    }
}

void StatusTable::clear_bits(std::uint32_t file_number, std::uint8_t bits)
{
    if (auto i = find(file_number))
        status_ref(at(*i)).fetch_and(std::uint8_t(~bits), std::memory_order_acq_rel);
}

} // namespace orva::engine

#include "platform/shared_records.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orva::platform {

static_assert(std::endian::native == std::endian::little, "the mapped records are little-endian");

struct SharedRecordFile::Impl {
    int fd = -1;
    std::uint8_t* base = nullptr;
    std::size_t record_size = 0;
    std::size_t record_count = 0;
    bool created = false;
    std::filesystem::path file;
    // Record locks belong to the open file description, so threads of one process sharing this
    // table exclude each other here first.
    std::mutex local;

    ~Impl()
    {
        if (base != nullptr)
            ::munmap(base, record_size * record_count);
        if (fd >= 0)
            ::close(fd);
    }

    std::uint8_t* at(std::size_t index, std::size_t offset) const { return base + index * record_size + offset; }

    Status range_lock(short type, std::size_t index, std::size_t count) const
    {
        struct flock lock {};
        lock.l_type = type;
        lock.l_whence = SEEK_SET;
        lock.l_start = static_cast<off_t>(index * record_size);
        lock.l_len = static_cast<off_t>(count * record_size);
        lock.l_pid = 0;
        while (::fcntl(fd, F_OFD_SETLKW, &lock) != 0) {
            if (errno != EINTR)
                return make_error("cannot lock " + file.string() + ": " + std::strerror(errno), errno);
        }
        return {};
    }

    Status check(std::size_t index, std::size_t size) const
    {
        if (index >= record_count)
            return make_error("record " + std::to_string(index) + " is past the end of " + file.string());
        if (size != record_size)
            return make_error("a record of " + file.string() + " is " + std::to_string(record_size) + " bytes, not " +
                              std::to_string(size));
        return {};
    }
};

Result<SharedRecordFile> SharedRecordFile::open(const std::filesystem::path& file, std::size_t record_size,
                                                std::size_t record_count)
{
    if (record_size == 0 || record_count == 0)
        return make_error("a shared table needs records");
    auto impl = std::make_unique<Impl>();
    impl->file = file;
    impl->record_size = record_size;
    impl->record_count = record_count;
    impl->fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (impl->fd < 0)
        return make_error("cannot open " + file.string() + ": " + std::strerror(errno), errno);
    const std::size_t size = record_size * record_count;
    // Extending under a whole-file lock so two processes creating it at once agree on who zeroed it.
    if (auto locked = impl->range_lock(F_WRLCK, 0, record_count); !locked)
        return locked.error();
    struct stat st {};
    if (::fstat(impl->fd, &st) != 0)
        return make_error("cannot read the size of " + file.string() + ": " + std::strerror(errno), errno);
    impl->created = st.st_size == 0;
    if (static_cast<std::size_t>(st.st_size) < size) {
        // posix_fallocate reserves the blocks, so a full disk is an error now rather than SIGBUS later.
        int rc = ::posix_fallocate(impl->fd, 0, static_cast<off_t>(size));
        if (rc != 0 && rc != EOPNOTSUPP && rc != EINVAL)
            return make_error("cannot extend " + file.string() + " to " + std::to_string(size) + " bytes: " + std::strerror(rc), rc);
        if (rc != 0 && ::ftruncate(impl->fd, static_cast<off_t>(size)) != 0)
            return make_error("cannot extend " + file.string() + ": " + std::strerror(errno), errno);
    }
    struct flock unlock {};
    unlock.l_type = F_UNLCK;
    unlock.l_whence = SEEK_SET;
    ::fcntl(impl->fd, F_OFD_SETLK, &unlock);
    void* base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, impl->fd, 0);
    if (base == MAP_FAILED)
        return make_error("cannot map " + file.string() + ": " + std::strerror(errno), errno);
    impl->base = static_cast<std::uint8_t*>(base);
    return SharedRecordFile(std::move(impl));
}

SharedRecordFile::SharedRecordFile(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SharedRecordFile::SharedRecordFile(SharedRecordFile&&) noexcept = default;
SharedRecordFile& SharedRecordFile::operator=(SharedRecordFile&&) noexcept = default;
SharedRecordFile::~SharedRecordFile() = default;

std::size_t SharedRecordFile::record_size() const { return impl_->record_size; }
std::size_t SharedRecordFile::record_count() const { return impl_->record_count; }
bool SharedRecordFile::created() const { return impl_->created; }

Status SharedRecordFile::read(std::size_t index, std::span<std::uint8_t> out) const
{
    if (auto ok = impl_->check(index, out.size()); !ok)
        return ok;
    std::lock_guard local(impl_->local);
    if (auto locked = impl_->range_lock(F_RDLCK, index, 1); !locked)
        return locked;
    std::memcpy(out.data(), impl_->at(index, 0), out.size());
    return impl_->range_lock(F_UNLCK, index, 1);
}

Status SharedRecordFile::write(std::size_t index, std::span<const std::uint8_t> record)
{
    if (auto ok = impl_->check(index, record.size()); !ok)
        return ok;
    std::lock_guard local(impl_->local);
    if (auto locked = impl_->range_lock(F_WRLCK, index, 1); !locked)
        return locked;
    std::memcpy(impl_->at(index, 0), record.data(), record.size());
    return impl_->range_lock(F_UNLCK, index, 1);
}

Status SharedRecordFile::read_all(std::span<std::uint8_t> out) const
{
    if (out.size() != impl_->record_size * impl_->record_count)
        return make_error("the whole of " + impl_->file.string() + " is " +
                          std::to_string(impl_->record_size * impl_->record_count) + " bytes");
    std::lock_guard local(impl_->local);
    if (auto locked = impl_->range_lock(F_RDLCK, 0, impl_->record_count); !locked)
        return locked;
    std::memcpy(out.data(), impl_->base, out.size());
    return impl_->range_lock(F_UNLCK, 0, impl_->record_count);
}

namespace {
std::atomic_ref<std::uint8_t> byte_ref(std::uint8_t* p)
{
    return std::atomic_ref<std::uint8_t>(*p);
}
std::atomic_ref<std::uint32_t> word_ref(std::uint8_t* p)
{
    return std::atomic_ref<std::uint32_t>(*reinterpret_cast<std::uint32_t*>(p));
}
} // namespace

std::uint8_t SharedRecordFile::load_byte(std::size_t index, std::size_t offset) const
{
    return byte_ref(impl_->at(index, offset)).load();
}
void SharedRecordFile::store_byte(std::size_t index, std::size_t offset, std::uint8_t value)
{
    byte_ref(impl_->at(index, offset)).store(value);
}
std::uint8_t SharedRecordFile::fetch_or_byte(std::size_t index, std::size_t offset, std::uint8_t bits)
{
    return byte_ref(impl_->at(index, offset)).fetch_or(bits);
}
std::uint8_t SharedRecordFile::fetch_and_byte(std::size_t index, std::size_t offset, std::uint8_t bits)
{
    return byte_ref(impl_->at(index, offset)).fetch_and(bits);
}
bool SharedRecordFile::compare_exchange_byte(std::size_t index, std::size_t offset, std::uint8_t& expected,
                                             std::uint8_t desired)
{
    return byte_ref(impl_->at(index, offset)).compare_exchange_strong(expected, desired);
}
std::uint32_t SharedRecordFile::load_u32(std::size_t index, std::size_t offset) const
{
    return word_ref(impl_->at(index, offset)).load();
}
void SharedRecordFile::store_u32(std::size_t index, std::size_t offset, std::uint32_t value)
{
    word_ref(impl_->at(index, offset)).store(value);
}

Result<SharedRecordFile::TableLock> SharedRecordFile::lock_table()
{
    impl_->local.lock();
    if (auto locked = impl_->range_lock(F_WRLCK, 0, impl_->record_count); !locked) {
        impl_->local.unlock();
        return locked.error();
    }
    return TableLock(this);
}

SharedRecordFile::TableLock::TableLock(TableLock&& other) noexcept : table_(std::exchange(other.table_, nullptr)) {}

SharedRecordFile::TableLock::~TableLock()
{
    if (table_ == nullptr)
        return;
    [[maybe_unused]] auto unlocked = table_->impl_->range_lock(F_UNLCK, 0, table_->impl_->record_count);
    table_->impl_->local.unlock();
}

Status SharedRecordFile::TableLock::read(std::size_t index, std::span<std::uint8_t> out) const
{
    if (auto ok = table_->impl_->check(index, out.size()); !ok)
        return ok;
    std::memcpy(out.data(), table_->impl_->at(index, 0), out.size());
    return {};
}

Status SharedRecordFile::TableLock::write(std::size_t index, std::span<const std::uint8_t> record)
{
    if (auto ok = table_->impl_->check(index, record.size()); !ok)
        return ok;
    std::memcpy(table_->impl_->at(index, 0), record.data(), record.size());
    return {};
}

Status SharedRecordFile::flush()
{
    if (::msync(impl_->base, impl_->record_size * impl_->record_count, MS_SYNC) != 0)
        return make_error("cannot write " + impl_->file.string() + " to disk: " + std::strerror(errno), errno);
    return {};
}

} // namespace orva::platform

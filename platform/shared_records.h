// A file of fixed-size records mapped into several processes at once (the download-status table
// that the engine and the directory viewer share). The mapping is of the file itself
// (MAP_SHARED), so what one process writes the other reads at once and the file holds it.
//
// Whole-record reads and writes take a POSIX record lock (an open-file-description lock) on that
// record's bytes, so a reader never sees half of another process's write; the file's byte layout
// is untouched. Single bytes and aligned 32-bit words can also be changed atomically without a
// lock. `lock_table` holds every record for a read-then-write step such as taking a free record.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>

#include "platform/result.h"

namespace orva::platform {

class SharedRecordFile {
public:
    // Opens or creates the file, extends it with zeros to record_size * record_count bytes (a
    // longer file keeps its tail, unmapped), and maps it. `created` tells whether it was new or empty.
    static Result<SharedRecordFile> open(const std::filesystem::path& file, std::size_t record_size,
                                         std::size_t record_count);

    SharedRecordFile(SharedRecordFile&&) noexcept;
    SharedRecordFile& operator=(SharedRecordFile&&) noexcept;
    ~SharedRecordFile();

    std::size_t record_size() const;
    std::size_t record_count() const;
    bool created() const;

    // `out` / `record` must be exactly one record long.
    Status read(std::size_t index, std::span<std::uint8_t> out) const;
    Status write(std::size_t index, std::span<const std::uint8_t> record);
    // Every record at once under one shared lock (a viewer's refresh); `out` is the whole table.
    Status read_all(std::span<std::uint8_t> out) const;

    // Lock-free single-field access: never torn, but not ordered with whole-record writes.
    std::uint8_t load_byte(std::size_t index, std::size_t offset) const;
    void store_byte(std::size_t index, std::size_t offset, std::uint8_t value);
    std::uint8_t fetch_or_byte(std::size_t index, std::size_t offset, std::uint8_t bits);
    std::uint8_t fetch_and_byte(std::size_t index, std::size_t offset, std::uint8_t bits);
    bool compare_exchange_byte(std::size_t index, std::size_t offset, std::uint8_t& expected, std::uint8_t desired);
    // Little-endian 32-bit fields at offsets that are multiples of 4 (with a record size that is too).
    std::uint32_t load_u32(std::size_t index, std::size_t offset) const;
    void store_u32(std::size_t index, std::size_t offset, std::uint32_t value);

    // Exclusive hold on the whole table; while it lives, use its read/write (the table's own
    // would wait on this lock). One holder at a time, across processes and threads.
    class TableLock {
    public:
        TableLock(TableLock&&) noexcept;
        ~TableLock();
        Status read(std::size_t index, std::span<std::uint8_t> out) const;
        Status write(std::size_t index, std::span<const std::uint8_t> record);

    private:
        friend class SharedRecordFile;
        explicit TableLock(SharedRecordFile* table) : table_(table) {}
        SharedRecordFile* table_;
    };
    Result<TableLock> lock_table();

    // Pushes the mapping to the disk (msync).
    Status flush();

private:
    struct Impl;
    explicit SharedRecordFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace orva::platform

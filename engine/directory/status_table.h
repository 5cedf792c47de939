// The download-status table "Brek File Info.DAT": 1000 records of 12 bytes, shared live with the
// directory viewer through the platform's shared record file. Status bytes change by atomic
// read-modify-write so that a bit the viewer clears never undoes the engine's mark; a free record
// is taken under the table lock, so two programs never claim the same one.
#pragma once

#include "platform/result.h"
#include "platform/shared_records.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace orva::engine {

inline constexpr std::size_t kStatusRecords = 1000;
inline constexpr std::size_t kStatusRecordSize = 12;
inline constexpr std::size_t kStatusTableBytes = kStatusRecords * kStatusRecordSize;
inline constexpr const char* kStatusTableName = "Brek File Info.DAT";

struct StatusRecord {
    std::uint32_t file_number = 0; // 0: free
    std::uint32_t created = 0;     // seconds since 1970, unsigned as on the air
    std::uint8_t status = 0;       // code in bits 0-3, requested 0x10, changed 0x80
};

struct SetStatusResult {
    int code = 0;          // the record's resulting code
    bool send_ack = false; // a file of ours became downloaded: acknowledge it
};

class StatusTable {
public:
    // Opens or creates the file, extends a short one to its full 1000 records (mapping past the
    // end of a file faults) and maps it. A longer file keeps its extra bytes, unmapped; `notice`
    // then says so.
    static Result<StatusTable> open(const std::filesystem::path& file, std::string* notice = nullptr);


    StatusRecord record(std::size_t index) const;
    // Index of the file's record, or none.
    std::optional<std::size_t> find(std::uint32_t file_number) const;
    // The file's code, or none without a record.
    std::optional<int> code_of(std::uint32_t file_number) const;
    std::optional<std::uint8_t> status_byte(std::uint32_t file_number) const;

    // Codes 1 and 4 clear the requested flag, 5-11 set it. A downloaded record never changes.
    // Without a record the one with the oldest creation time is reused (free ones are oldest).
    SetStatusResult set_status(std::uint32_t file_number, int code, bool mark_changed, std::uint32_t now,
                               bool ack_receipt = false);
    // Clears `bits` of one record's status byte (the viewer's clear of its changed flag).
    void clear_bits(std::uint32_t file_number, std::uint8_t bits);

    // Writes the mapped pages to disk.
    void sync();

private:
    explicit StatusTable(platform::SharedRecordFile file) : file_(std::move(file)) {}

    platform::SharedRecordFile file_;
};

} // namespace orva::engine

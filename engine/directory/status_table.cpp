#include "engine/directory/status_table.h"

#include "engine/directory/status_codes.h"

#include <system_error>

namespace orva::engine {
namespace {

constexpr std::size_t kNumberField = 0;
constexpr std::size_t kCreatedField = 4;
constexpr std::size_t kStatusField = 8;

std::uint8_t requested_bit(int code, std::uint8_t old)
{
    if (code == kCodeNever || code == kCodeGrab)
        return 0;
    if (code >= kCodeAuto3 && code <= kCodeMine)
        return kRequestedFlag;
    return old & kRequestedFlag;
}

} // namespace

Result<StatusTable> StatusTable::open(const std::filesystem::path& file, std::string* notice)
{
    std::error_code ec;
    const auto before = std::filesystem::exists(file, ec) ? std::filesystem::file_size(file, ec) : 0;
    auto shared = platform::SharedRecordFile::open(file, kStatusRecordSize, kStatusRecords);
    if (!shared)
        return shared.error();
    if (notice && !ec && before != 0 && before != kStatusTableBytes) {
        *notice = before < kStatusTableBytes
                      ? "Status table \"" + file.string() + "\" was " + std::to_string(before) +
                            " bytes; extended to " + std::to_string(kStatusTableBytes) + "."
                      : "Status table \"" + file.string() + "\" is " + std::to_string(before) +
                            " bytes; only the first " + std::to_string(kStatusTableBytes) + " are used.";
    }
    return StatusTable(std::move(*shared));
}

void StatusTable::sync() { (void)file_.flush(); }

StatusRecord StatusTable::record(std::size_t index) const
{
    return {file_.load_u32(index, kNumberField), file_.load_u32(index, kCreatedField),
            file_.load_byte(index, kStatusField)};
}

std::optional<std::size_t> StatusTable::find(std::uint32_t file_number) const
{
    if (file_number == 0)
        return std::nullopt;
    for (std::size_t i = 0; i < kStatusRecords; ++i)
        if (file_.load_u32(i, kNumberField) == file_number)
            return i;
    return std::nullopt;
}

std::optional<int> StatusTable::code_of(std::uint32_t file_number) const
{
    auto b = status_byte(file_number);
    if (!b)
        return std::nullopt;
    return *b & kCodeMask;
}

std::optional<std::uint8_t> StatusTable::status_byte(std::uint32_t file_number) const
{
    auto i = find(file_number);
    if (!i)
        return std::nullopt;
    return file_.load_byte(*i, kStatusField);
}

SetStatusResult StatusTable::set_status(std::uint32_t file_number, int code, bool mark_changed, std::uint32_t now,
                                        bool ack_receipt)
{
    if (file_number == 0)
        return {};
    code &= kCodeMask;
    auto index = find(file_number);
    if (!index) {
        auto lock = file_.lock_table();
        if (!lock)
            return {};
        // Another program may have taken a record for the file since we looked.
        index = find(file_number);
        if (!index) {
            std::size_t oldest = 0;
            std::uint32_t oldest_time = UINT32_MAX;
            for (std::size_t i = 0; i < kStatusRecords; ++i) {
                const std::uint32_t t = file_.load_u32(i, kNumberField) == 0 ? 0 : file_.load_u32(i, kCreatedField);
                if (t < oldest_time) {
                    oldest_time = t;
                    oldest = i;
                    if (t == 0)
                        break;
                }
            }
            std::uint8_t r[kStatusRecordSize] = {};
            for (int k = 0; k < 4; ++k) {
                r[kNumberField + k] = std::uint8_t(file_number >> (8 * k));
                r[kCreatedField + k] = std::uint8_t(now >> (8 * k));
            }
            r[kStatusField] = std::uint8_t(code | requested_bit(code, 0) | kChangedFlag);
            if (!lock->write(oldest, r))
                return {};
            return {code, false};
        }
    }
    std::uint8_t old = file_.load_byte(*index, kStatusField);
    for (;;) {
        const int old_code = old & kCodeMask;
        if (old_code == kCodeDownloaded)
            return {kCodeDownloaded, false};
        const std::uint8_t changed = mark_changed ? kChangedFlag : std::uint8_t(old & kChangedFlag);
        const std::uint8_t next = std::uint8_t(code | requested_bit(code, old) | changed);
        if (file_.compare_exchange_byte(*index, kStatusField, old, next))
            return {code, ack_receipt && old_code == kCodeMine && code == kCodeDownloaded};
    }
}

void StatusTable::clear_bits(std::uint32_t file_number, std::uint8_t bits)
{
    if (auto i = find(file_number))
        file_.fetch_and_byte(*i, kStatusField, std::uint8_t(~bits));
}

} // namespace orva::engine

#include "dirview/status_view.h"

namespace orva::dirview {
namespace {

constexpr std::size_t kNumberField = 0;
constexpr std::size_t kTimeField = 4;
constexpr std::size_t kStatusField = 8;

} // namespace

Result<StatusView> StatusView::open(const std::filesystem::path& satellite_dir)
{
    auto file = platform::SharedRecordFile::open(satellite_dir / kStatusFileName, kStatusRecordSize, kStatusRecords);
    if (!file)
        return file.error();
    return StatusView(std::move(*file));
}

std::uint8_t StatusView::status_of(std::uint32_t file_number) const
{
    if (file_number == 0)
        return kStatusUnknown;
    for (std::size_t i = 0; i < kStatusRecords; ++i)
        if (file_.load_u32(i, kNumberField) == file_number)
            return file_.load_byte(i, kStatusField);
    return kStatusUnknown;
}

bool StatusView::set_status(std::uint32_t file_number, int code, std::uint32_t now)
{
    if (file_number == 0)
        return false;
    std::uint8_t byte = std::uint8_t(code & kCodeMask);
    if (byte >= 5 && byte <= 11)
        byte |= kRequestedBit;
    byte |= kChangedBit;
    auto existing = [&]() -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < kStatusRecords; ++i)
            if (file_.load_u32(i, kNumberField) == file_number)
                return i;
        return std::nullopt;
    };
    // Finding the record and writing it is one step under the table lock: the engine hands
    // records to other files under the same lock, and a byte written into a record found before
    // that would mark the other file.
    auto lock = file_.lock_table();
    if (!lock)
        return false;
    if (auto i = existing()) {
        file_.store_byte(*i, kStatusField, byte);
        return true;
    }
    std::size_t chosen = 0;
    std::optional<std::uint32_t> best;
    for (std::size_t i = 0; i < kStatusRecords; ++i) {
        if (file_.load_byte(i, kStatusField) >= 5)
            continue;
        const std::uint32_t t = file_.load_u32(i, kTimeField);
        if (!best || t < *best) {
            best = t;
            chosen = i;
        }
    }
    std::uint8_t r[kStatusRecordSize] = {};
    for (int k = 0; k < 4; ++k) {
        r[kNumberField + k] = std::uint8_t(file_number >> (8 * k));
        r[kTimeField + k] = std::uint8_t(now >> (8 * k));
    }
    r[kStatusField] = byte;
    return bool(lock->write(chosen, r));
}

void StatusView::clear_changed()
{
    for (std::size_t i = 0; i < kStatusRecords; ++i)
        file_.fetch_and_byte(i, kStatusField, std::uint8_t(~kChangedBit));
}

std::unordered_map<std::uint32_t, std::uint8_t> StatusView::snapshot() const
{
    std::unordered_map<std::uint32_t, std::uint8_t> map;
    map.reserve(kStatusRecords);
    for (std::size_t i = 0; i < kStatusRecords; ++i) {
        const std::uint32_t n = file_.load_u32(i, kNumberField);
        if (n != 0)
            map.emplace(n, file_.load_byte(i, kStatusField)); // the first record of a number wins, as in status_of
    }
    return map;
}

std::vector<std::uint8_t> StatusView::raw() const
{
    std::vector<std::uint8_t> bytes(kStatusRecords * 5);
    std::size_t k = 0;
    for (std::size_t i = 0; i < kStatusRecords; ++i) {
        const std::uint32_t n = file_.load_u32(i, kNumberField);
        for (int b = 0; b < 4; ++b)
            bytes[k++] = std::uint8_t(n >> (8 * b));
        bytes[k++] = file_.load_byte(i, kStatusField);
    }
    return bytes;
}

void StatusView::flush() { (void)file_.flush(); }

} // namespace orva::dirview

// The element database "Orva.KEP": 50 slots of KepRecord, no header. The file may be longer (the
// engine writes 100 slots); its tail is kept on every save.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "common/elements/kep_record.h"
#include "platform/result.h"

namespace orva::elements {

inline constexpr int kKepSlots = 50;
inline constexpr std::size_t kKepFileSize = kKepSlots * kKepRecordSize; // 8300

class KepDatabase {
public:
    KepDatabase(); // every slot empty

    // Missing file: all slots empty. A file whose size is not a whole number of records is
    // refused with an error (and left alone) rather than misread.
    static Result<KepDatabase> load(const std::filesystem::path& path);
    static Result<KepDatabase> from_bytes(std::span<const std::uint8_t> bytes);

    // Atomic replacement of the file: the 50 slots followed by any tail the file had when loaded.
    Status save(const std::filesystem::path& path) const;
    std::vector<std::uint8_t> to_bytes() const;

    // Slot index 0-49, or -1. Names compare without regard to ASCII case.
    int find_by_name(std::string_view name) const;
    // -1 for catalogue 0; otherwise the first slot with that number.
    int find_by_catalogue(std::uint16_t catalogue) const;
    // Stores the record whole in the first free slot; -1 when the table is full.
    int add_record(const KepRecord& record);
    void clear_slot(int slot);
    int free_slots() const;

    KepRecord& slot(int i) { return slots_.at(std::size_t(i)); }
    const KepRecord& slot(int i) const { return slots_.at(std::size_t(i)); }
    const std::array<KepRecord, kKepSlots>& all_slots() const { return slots_; }

private:
    std::array<KepRecord, kKepSlots> slots_;
    std::vector<std::uint8_t> tail_;
};

// Read-modify-write under the database's advisory lock: the file is read again under the lock,
// `change` edits it and returns whether anything changed, and only then is the file replaced.
// Every writer (station, updater, engine) goes through here so none overwrites another's update.
Result<bool> update_database(const std::filesystem::path& path,
                             const std::function<bool(KepDatabase&)>& change);

// "Orva.KEP" in the suite folder, matched without regard to case.
std::filesystem::path kep_database_path(const std::filesystem::path& suite_dir);

} // namespace orva::elements

// File access shared by the element database and the observer file: whole-file reads with
// clear errors, atomic replacement, and the advisory lock that serialises read-modify-write.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "platform/result.h"

namespace orva::elements {

// The bytes of the file, or std::nullopt when it does not exist.
Result<std::optional<std::vector<std::uint8_t>>> read_whole_file(const std::filesystem::path& path);

// Replaces the file at once (temporary file in the same folder, fsync, rename): readers see the
// old or the new contents, never half of either.
Status replace_file(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// An exclusive flock on "<file>.lock" beside the data file. Held for one read-modify-write; a
// lock file is used because the data file itself is replaced by rename.
class FileLock {
public:
    static Result<FileLock> acquire(const std::filesystem::path& data_file);
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// The file `name` in `folder`, found without regard to case; `name` itself when none exists.
std::filesystem::path find_nocase(const std::filesystem::path& folder, const std::string& name);

} // namespace orva::elements

// The upload queue in the satellite directory: "*.OUT" new uploads, "%lX.PUL" uploads in
// progress under the server's file number, ".UL" accepted and ".ULX" refused for good.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace orva::engine {

struct QueuedUpload {
    std::filesystem::path path;
    std::uint32_t file_number = 0; // 0: a new file
    std::uint64_t length = 0;
    bool in_progress() const { return file_number != 0; }
};

class UploadFolder {
public:
    static constexpr std::uint64_t kMinimumLength = 80;
    static constexpr std::uint64_t kLargestPul = 4096000;
    static constexpr std::uint64_t kPulPreferredBelow = 20000;

    explicit UploadFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}
    const std::filesystem::path& folder() const { return folder_; }

    // Any "*.PUL" or "*.OUT" waiting.
    bool has_waiting() const;
    // The next file to send: the smallest ".PUL" under 4096000 bytes, unless there is none or it
    // is 20000 bytes or more and a smaller ".OUT" waits. Files in `skip` are passed over.
    std::optional<QueuedUpload> choose(const std::set<std::filesystem::path>& skip = {}) const;

    // Same stem, the new extension. Never replaces an existing file.
    Result<std::filesystem::path> rename_extension(const std::filesystem::path& file, std::string_view extension) const;
    // An ".OUT" becomes "%lX.PUL" with the server's number.
    Result<std::filesystem::path> rename_to_pul(const std::filesystem::path& file, std::uint32_t file_number) const;

private:
    Status rename_new(const std::filesystem::path& from, const std::filesystem::path& to) const;
    std::filesystem::path folder_;
};

} // namespace orva::engine

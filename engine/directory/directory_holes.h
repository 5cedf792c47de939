// The upload-time ranges of the satellite's directory not yet heard, and their file
// "Brek Dir Holes.DAT". Times are 64-bit here and the open end is the 64-bit maximum, so the
// list keeps working past 2038; the file keeps its unsigned 32-bit fields and 0x7FFFFFFF end.
#pragma once

#include "engine/frames/request_frames.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orva::engine {

struct TimeHole {
    std::uint64_t start = 0;
    std::uint64_t end = 0; // exclusive
};

inline constexpr std::uint64_t kOpenTime = UINT64_MAX;
inline constexpr std::uint32_t kDiskOpenTime = 0x7FFFFFFF;
inline constexpr std::size_t kMaxDirectoryHoles = 750;
inline constexpr std::uint64_t kDirectoryResetAge = 129600; // 1.5 days
inline constexpr const char* kDirectoryHolesName = "Brek Dir Holes.DAT";

class DirectoryHoles {
public:
    // One hole from 1.5 days before `now`, open-ended.
    static DirectoryHoles fresh(std::uint64_t now);

    struct Loaded;
    // The file's bytes. A count of 0 or above 750 gives an error and the fresh list; a short
    // file keeps the holes read, and since the last one is open-ended nothing after it counts
    // as heard.
    static Loaded load(std::span<const std::uint8_t> bytes, std::uint64_t now);
    std::vector<std::uint8_t> encode() const;

    std::span<const TimeHole> holes() const { return holes_; }
    std::size_t count() const { return holes_.size(); }

    // The first hole that overlaps [t_old, t_end), or none.
    std::optional<std::size_t> first_overlap(std::uint64_t t_old, std::uint64_t t_end) const;
    // Removes [t_old, t_end) from that hole: removal, trimming or splitting. The open-ended last
    // hole is never removed.
    void fill(std::size_t index, std::uint64_t t_old, std::uint64_t t_end);

    // The oldest holes as they go on the air (at most `max`).
    std::vector<DirectoryHoleRequest> request_holes(std::size_t max = kMaxDirectoryHolesPerRequest) const;

private:
    std::vector<TimeHole> holes_;
};

struct DirectoryHoles::Loaded {
    DirectoryHoles holes;
    std::optional<std::string> error; // "Error in directory hole file."
    bool reset = false;               // the fresh list replaced the file's
};

} // namespace orva::engine

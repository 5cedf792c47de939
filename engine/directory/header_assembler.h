// Reassembles one PACSAT header from directory fragments, which must arrive in order. A header
// ends at its end-bit fragment or, without one, at its terminating item.
#pragma once

#include "engine/frames/broadcast_frames.h"

#include <cstdint>
#include <span>
#include <vector>

namespace orva::engine {

inline constexpr std::size_t kMaxDirectoryHeader = 1024;

class HeaderAssembler {
public:
    enum class Step : std::uint8_t {
        Waiting,  // more fragments to come
        Ignored,  // not the continuation of the header being assembled
        Overflow, // "*** Dir Length error in file %X ***": the header is dropped
        Complete, // header() holds the whole header
    };

    Step feed(const DirectoryFragment& fragment);
    std::span<const std::uint8_t> header() const { return bytes_; }
    std::uint32_t file_number() const { return file_number_; }

private:
    std::uint32_t file_number_ = 0;
    bool active_ = false;
    std::vector<std::uint8_t> bytes_;
};

} // namespace orva::engine

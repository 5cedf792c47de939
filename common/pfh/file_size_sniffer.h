// Finds the file size (item 4) and the header length in the leading fragments of a file that is
// still arriving. Fragments must be fed in order; an item may be split between fragments.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace orva::pfh {

class FileSizeSniffer {
public:
    enum class State : std::uint8_t { ExpectMagic, ItemHead, SkipValue, InSize, Done };

    // Feeds the next fragment. Returns the file size once item 4 has been read. A fragment that
    // is empty or longer than 256 bytes is not examined.
    std::optional<std::uint32_t> feed(std::span<const std::uint8_t> fragment);

    std::optional<std::uint32_t> file_size() const { return size_; }
    // Known once the terminating item has been passed.
    std::optional<std::uint32_t> header_length() const { return header_length_; }
    State state() const { return state_; }
    bool done() const { return state_ == State::Done; }
    // Restores the done state of a slot whose length came from the header on an earlier pass.
    void mark_done() { state_ = State::Done; }

private:
    void fail() { state_ = State::Done; }

    State state_ = State::ExpectMagic;
    std::uint32_t position_ = 0; // bytes of the header consumed so far
    std::uint8_t head_[3] = {};  // an item's id and length, possibly split
    std::uint8_t head_count_ = 0;
    std::uint32_t remaining_ = 0; // value bytes still to skip
    std::uint32_t size_value_ = 0;
    std::uint8_t size_bytes_ = 0;
    std::optional<std::uint32_t> size_;
    std::optional<std::uint32_t> header_length_;
};

// One-shot form for a first fragment (or a whole file held in memory).
struct SniffResult {
    std::optional<std::uint32_t> file_size;
    std::optional<std::uint32_t> header_length;
};
SniffResult sniff_first_fragment(std::span<const std::uint8_t> fragment);

} // namespace orva::pfh

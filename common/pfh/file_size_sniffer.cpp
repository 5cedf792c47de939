#include "common/pfh/file_size_sniffer.h"

#include "common/pfh/pfh.h"

#include <algorithm>

namespace orva::pfh {
namespace {

constexpr std::size_t kMaxSniffFragment = 256;

} // namespace

std::optional<std::uint32_t> FileSizeSniffer::feed(std::span<const std::uint8_t> fragment) {
    if (fragment.empty() || fragment.size() > kMaxSniffFragment) return size_;
    std::size_t i = 0;
    while (i < fragment.size() && state_ != State::Done) {
        const std::uint8_t b = fragment[i];
        switch (state_) {
        case State::ExpectMagic:
            // Both magic bytes, possibly in two fragments.
            if ((position_ == 0 && b != kMagic0) || (position_ == 1 && b != kMagic1)) {
                fail();
                break;
            }
            ++position_;
            ++i;
            if (position_ == 2) state_ = State::ItemHead;
            break;
        case State::ItemHead:
            head_[head_count_++] = b;
            ++position_;
            ++i;
            if (head_count_ == 3) {
                head_count_ = 0;
                const std::uint8_t id = head_[0];
                const std::uint8_t len = head_[2];
                if (id == kEnd && len == 0) {
                    header_length_ = position_;
                    state_ = State::Done;
                } else if (id == kFileSize && len == 4 && !size_) {
                    size_value_ = 0;
                    size_bytes_ = 0;
                    state_ = State::InSize;
                } else if (len == 0) {
                    state_ = State::ItemHead;
                } else {
                    remaining_ = len;
                    state_ = State::SkipValue;
                }
            }
            break;
        case State::SkipValue: {
            const auto take = std::min<std::size_t>(remaining_, fragment.size() - i);
            remaining_ -= std::uint32_t(take);
            position_ += std::uint32_t(take);
            i += take;
            if (remaining_ == 0) state_ = State::ItemHead;
            break;
        }
        case State::InSize:
            size_value_ |= std::uint32_t(b) << (8 * size_bytes_);
            ++size_bytes_;
            ++position_;
            ++i;
            if (size_bytes_ == 4) {
                size_ = size_value_;
                state_ = State::ItemHead;
            }
            break;
        case State::Done: break;
        }
    }
    return size_;
}


SniffResult sniff_first_fragment(std::span<const std::uint8_t> fragment) {
    FileSizeSniffer s;
    // Feed in pieces the incremental parser accepts, so a whole file in memory works too.
    while (!fragment.empty() && !s.done()) {
        const auto n = std::min<std::size_t>(fragment.size(), kMaxSniffFragment);
        s.feed(fragment.first(n));
        fragment = fragment.subspan(n);
    }
    return SniffResult{s.file_size(), s.header_length()};
}

} // namespace orva::pfh

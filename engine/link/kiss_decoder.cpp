#include "engine/link/kiss_decoder.h"

#include "engine/link/crc16.h"

namespace orva::engine {

void KissDecoder::store(std::uint8_t b) {
    if (discarding_) return;
    buffer_[length_++] = b;
    ++counters_.bytes;
    // Every store goes through here, escaped bytes included, so the buffer can never overrun.
    // The rest of an oversize frame is dropped up to its FEND rather than read as a new frame.
    if (length_ >= buffer_.size()) {
        length_ = 0;
        discarding_ = true;
        ++counters_.oversize;
    }
}

void KissDecoder::feed(std::span<const std::uint8_t> bytes, KissSink& sink) {
    for (const std::uint8_t b : bytes) {
        if (escaped_) {
            escaped_ = false;
            if (b == kiss::kTfend) store(kiss::kFend);
            else if (b == kiss::kTfesc) store(kiss::kFesc);
            else store(b);
        } else if (b == kiss::kFesc) {
            escaped_ = true;
        } else if (b == kiss::kFend) {
            end_frame(sink);
        } else {
            store(b);
        }
    }
}

void KissDecoder::drop_frame() {
    length_ = 0;
    escaped_ = false;
    discarding_ = true;
}

void KissDecoder::end_frame(KissSink& sink) {
    const std::size_t n = length_;
    length_ = 0;
    escaped_ = false;
    if (discarding_) {
        discarding_ = false;
        return;
    }
    if (n < 2) return;
    const std::uint8_t command = buffer_[0];
    const std::span<const std::uint8_t> all(buffer_.data(), n);
    if (smack_ && (command & kiss::kSmackFlag)) {
        counters_.bytes -= std::min<std::uint64_t>(3, counters_.bytes);
        if (n < 3 || crc16_arc(all) != 0) {
            ++counters_.bad_smack;
        } else {
            if (!smack_seen_) {
                smack_seen_ = true;
                sink.on_kiss_notice(KissNotice::SmackSeen, command);
            }
            if (n > 3) {
                ++counters_.frames;
                sink.on_kiss_frame(std::uint8_t((command >> 4) & 0x07), all.subspan(1, n - 3));
            }
        }
    } else if ((command & 0x0F) == kiss::kData) {
        counters_.bytes -= 1;
        ++counters_.frames;
        sink.on_kiss_frame(std::uint8_t(command >> 4), all.subspan(1));
    } else {
        if (command == last_unknown_) {
            if (++unknown_count_ > 5) sink.on_kiss_notice(KissNotice::UnknownCommand, command);
        } else {
            last_unknown_ = command;
            unknown_count_ = 1; // this sighting counts: the sixth in a row is reported
        }
    }
    sink.on_kiss_notice(KissNotice::FrameEnded, command);
}

} // namespace orva::engine

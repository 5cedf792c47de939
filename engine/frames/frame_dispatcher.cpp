#include "engine/frames/frame_dispatcher.h"

#include "engine/link/kiss.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

namespace orva::engine {
namespace {

constexpr std::size_t kKepsetMinimum = 130;

std::optional<std::uint64_t> figure_after(std::string_view text, std::string_view tag) {
    const auto at = text.find(tag);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t i = at + tag.size();
    while (i < text.size() && text[i] == ' ') ++i;
    std::uint64_t v = 0;
    bool any = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && v < (1ull << 59); ++i) {
        v = v * 10 + std::uint64_t(text[i] - '0');
        any = true;
    }
    return any ? std::optional(v) : std::nullopt;
}

} // namespace

FrameDispatcher::FrameDispatcher(StationCalls calls, DispatchSettings settings, DispatchReceivers receivers)
    : calls_(calls), settings_(settings), rx_(receivers) {}

void FrameDispatcher::arm_session() { armed_ = true; }

void FrameDispatcher::post(std::string text, LineColour colour) {
    if (rx_.status) rx_.status->post(std::move(text), colour);
}
void FrameDispatcher::show(std::string_view line) {
    if (rx_.monitor) rx_.monitor->show(line);
}

std::string_view FrameDispatcher::text_of(const Ax25Frame& f) {
    std::string_view t(reinterpret_cast<const char*>(f.info.data()), f.info.size());
    // Some servers end their texts with a NUL.
    if (!t.empty() && t.back() == '\0') {
        ++counters_.trailing_nul;
        while (!t.empty() && t.back() == '\0') t.remove_suffix(1);
    }
    return t;
}

void FrameDispatcher::on_ax25_frame(std::span<const std::uint8_t> bytes, std::chrono::sys_seconds now) {
    ++counters_.frames;
    last_heard_ = now;
    if (!first_heard_) first_heard_ = now;
    if (armed_) {
        armed_ = false;
        if (rx_.log) rx_.log->on_session_start(now);
        if (rx_.link) rx_.link->write_raw(kiss::kFullDuplexOn);
    }
    auto parsed = parse_ax25_frame(bytes);
    if (!parsed) {
        ++counters_.malformed;
        return;
    }
    const Ax25Frame& f = *parsed;
    if (!f.source.reserved_bits_set() || !f.destination.reserved_bits_set()) ++counters_.reserved_bits_clear;
    if (f.end_bit_missing) ++counters_.end_bit_missing;

    if (settings_.print_headers) {
        std::string line = "[" + f.source.to_text() + " to " + f.destination.to_text() + "] Len " +
                           std::to_string(f.length);
        if ((f.is_ui() || f.is_i()) && f.pid) {
            char pid[16];
            std::snprintf(pid, sizeof pid, ", PID 0x%02X", *f.pid);
            line += pid;
        }
        show(line);
    }

    const FrameClass kind = classify_frame(f, calls_);
    if (kind != FrameClass::Unrelated) unrelated_source_.reset();
    switch (kind) {
    case FrameClass::Broadcast: broadcast(f); break;
    case FrameClass::QueueList:
        if (rx_.requests) rx_.requests->on_queue_line(text_of(f), false);
        break;
    case FrameClass::QueueFull:
        if (rx_.requests) rx_.requests->on_queue_line(text_of(f), true);
        break;
    case FrameClass::QueueShut: {
        const auto text = text_of(f);
        show(std::string(text) + " <<BBS SHUT>>");
        if (settings_.ignore_shut && rx_.requests) rx_.requests->on_queue_line(text, false);
        break;
    }
    case FrameClass::ServerStatus: {
        const auto text = text_of(f);
        if (rx_.log) rx_.log->on_server_status(text, figure_after(text, "B:"));
        break;
    }
    case FrameClass::Telemetry:
        if (f.info.size() < 4) {
            ++counters_.malformed;
            break;
        }
        if (rx_.log) {
            const auto* p = f.info.data();
            rx_.log->on_satellite_time(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                                           std::uint32_t(p[3]) << 24,
                                       bytes);
        }
        break;
    case FrameClass::BbsStatus:
        if (rx_.upload) rx_.upload->on_bbs_status(text_of(f));
        break;
    case FrameClass::ElementSet: {
        const auto text = text_of(f);
        show(text);
        if (settings_.update_keps && !kepset_examined_ && text.size() >= kKepsetMinimum) {
            kepset_examined_ = true;
            if (rx_.elements) rx_.elements->on_element_set(text);
        }
        break;
    }
    case FrameClass::ServerText: server_text(f, text_of(f)); break;
    case FrameClass::Connected:
        if (rx_.upload) rx_.upload->on_connected_frame(f);
        break;
    case FrameClass::ServerOther: break;
    case FrameClass::Unrelated: unrelated(f); break;
    }
}

void FrameDispatcher::broadcast(const Ax25Frame& f) {
    const auto field = f.info;
    const std::uint8_t pid = f.pid.value_or(0);
    if (field.size() >= kMaxBroadcastField) {
        ++counters_.oversize_fields;
        return;
    }
    // Too short to hold its fixed header: dropped before the CRC, which is 0 over nothing.
    const std::size_t header = pid == kPidFile ? kFileHeader : pid == kPidDirectory ? kDirHeader : 0;
    if (field.size() < header + kCrcBytes) {
        ++counters_.malformed;
        return;
    }
    if (!broadcast_crc_ok(field)) {
        if (++counters_.crc_errors == settings_.crc_close) {
            post("CRC count exceeded", LineColour::Red);
            if (rx_.link) rx_.link->close_engine();
        }
        return;
    }
    counters_.broadcast_bytes += field.size();
    std::unique_lock<std::mutex> lock;
    if (rx_.download_lock) lock = std::unique_lock(*rx_.download_lock);
    if (pid == kPidFile) {
        const auto d = decode_file_fragment(field, std::max(settings_.bdcst_frame, kServerChunkAllowance), true);
        if (d.fault == BroadcastFault::BadLength) ++counters_.bad_fragments;
        if (d.ok() && rx_.files) rx_.files->on_file_fragment(d.fragment);
    } else if (pid == kPidDirectory) {
        const auto d = decode_directory_fragment(field, true);
        if (d.ok() && rx_.directory) rx_.directory->on_directory_fragment(d.fragment);
    } else {
        lock = {};
        post("Unknown PID", LineColour::Red);
    }
}

void FrameDispatcher::server_text(const Ax25Frame& f, std::string_view text) {
    bool cr = false;
    bool lf = false;
    while (!text.empty()) {
        if (!cr && text.back() == '\r') cr = true;
        else if (!lf && text.back() == '\n') lf = true;
        else break;
        text.remove_suffix(1);
    }
    if (f.destination == calls_.my_call) {
        post(std::string(text), LineColour::Blue);
        const bool ok = text.substr(0, 2) == "OK" && (text.size() == 2 || text[2] == ' ');
        if ((ok || text.find("NO -") != std::string_view::npos) && rx_.requests)
            rx_.requests->on_request_answered();
        if (ok && rx_.requests)
            rx_.requests->on_request_accepted();
        if (const auto at = text.find("NO -"); at != std::string_view::npos) {
            const auto code = figure_after(text.substr(at), "NO -");
            switch (code.value_or(0)) {
            case 1: post("Broadcast queue full.", LineColour::DarkRed); break;
            case 2:
                post("Requested file doesn't exist.", LineColour::Red);
                if (rx_.requests) rx_.requests->on_file_refused(2);
                break;
            case 3:
                post("File unable to be broadcast.", LineColour::Red);
                if (rx_.requests) rx_.requests->on_file_refused(3);
                break;
            case 4:
            case 5: post("Directory request error.", LineColour::Red); break;
            default: post("Unknown response.", LineColour::Red); break;
            }
        }
    }
    bool printable = true;
    for (std::size_t i = 0; i < text.size() && i < 10; ++i)
        if (!std::isprint(static_cast<unsigned char>(text[i]))) printable = false;
    if (printable) show(text);
}

void FrameDispatcher::unrelated(const Ax25Frame& f) {
    if (unrelated_source_ && *unrelated_source_ == f.source) {
        ++unrelated_count_;
    } else {
        unrelated_source_ = f.source;
        unrelated_count_ = 1;
    }
    if (unrelated_count_ >= 6) post("Frames heard from " + f.source.to_text(), LineColour::Black);
}

} // namespace orva::engine

#include "cli/satsim/satellite.h"

#include "engine/frames/ax25_frame.h"
#include "engine/link/crc16.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orva::satsim {

using engine::Ax25Address;

namespace {

constexpr std::uint8_t kPidFile = 0xBB;
constexpr std::uint8_t kPidDir = 0xBD;
constexpr std::uint8_t kPidText = 0xF0;

std::uint32_t rd32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t rd16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
void wr32(std::vector<std::uint8_t>& v, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(std::uint8_t(x >> (8 * i)));
}

Ax25Address call(const std::string& text)
{
    auto a = Ax25Address::parse(text);
    return a ? *a : Ax25Address{};
}

} // namespace

void clear_reserved_bits(std::vector<std::uint8_t>& frame)
{
    for (std::size_t at = 6; at < frame.size(); at += 7) {
        frame[at] &= std::uint8_t(~0x60);
        if (frame[at] & 0x01)
            break;
    }
}

Satellite::Satellite(SatelliteConfig config, std::vector<ServedFile> files)
    : config_(std::move(config)), files_(std::move(files)), bdcst_(call(config_.bdcst_call)), bbs_(call(config_.bbs_call))
{
    assign_ranges(files_);
}

void Satellite::add_file(ServedFile file)
{
    files_.push_back(std::move(file));
    assign_ranges(files_);
}

const ServedFile* Satellite::find(std::uint32_t file_number) const
{
    for (const auto& f : files_)
        if (f.file_number == file_number)
            return &f;
    return nullptr;
}

Frame Satellite::ui(const Ax25Address& to, std::uint8_t pid, std::span<const std::uint8_t> info) const
{
    return finish(ui_from(bdcst_, to, pid, info));
}

Frame Satellite::finish(Frame f) const
{
    if (config_.real_server) {
        // Neither command nor response marked, and the reserved bits clear.
        f[6] &= std::uint8_t(~0x80);
        f[13] &= std::uint8_t(~0x80);
        clear_reserved_bits(f);
    }
    return f;
}

void Satellite::answer(const Ax25Address& station, const std::string& text)
{
    // A server in service answers with PID 0xBB and a CR; the older texts go out with 0xF0.
    const std::string line = config_.real_server ? text + " " + station.to_text() + "\r" : text;
    // The server answers as it hears a request: the answer waits only for what is already on
    // its way to the transmitter, not for the broadcasts queued before it.
    answers_.push_back(ui(station, config_.real_server ? kPidFile : kPidText,
                          std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size())));
}

Frame Satellite::ui_from(const Ax25Address& from, const Ax25Address& to, std::uint8_t pid,
                         std::span<const std::uint8_t> info)
{
    Frame f;
    const auto d = to.wire(false, false);
    const auto s = from.wire(false, true);
    f.insert(f.end(), d.begin(), d.end());
    f.insert(f.end(), s.begin(), s.end());
    f.push_back(0x03);
    f.push_back(pid);
    f.insert(f.end(), info.begin(), info.end());
    return f;
}

Frame Satellite::with_crc(std::vector<std::uint8_t> field) const
{
    const std::uint16_t crc = engine::crc16_xmodem(field);
    field.push_back(std::uint8_t(crc >> 8));
    field.push_back(std::uint8_t(crc));
    return field;
}

std::string Satellite::queue_text() const
{
    if (queue_.empty())
        return config_.real_server ? std::string("PB Empty\0", 9) : "PB: Empty.";
    std::string text = "PB:";
    for (const auto& r : queue_)
        text += " " + r.station.to_text() + (r.directory ? "\\D" : "");
    if (config_.real_server)
        text.push_back('\0');
    return text;
}

void Satellite::enqueue(Request r)
{
    // One entry per station: a new request replaces the old one.
    for (auto& q : queue_)
        if (q.station == r.station) {
            if (config_.real_server) {
                ++counters_.answered_ok;
                answer(r.station, "OK");
            }
            q = std::move(r);
            return;
        }
    if (queue_.size() >= config_.queue_size) {
        answer(r.station, "NO -1");
        return;
    }
    if (config_.real_server) {
        ++counters_.answered_ok;
        answer(r.station, "OK");
    }
    queue_.push_back(std::move(r));
}

void Satellite::on_uplink_frame(std::span<const std::uint8_t> bytes, std::uint64_t)
{
    auto parsed = engine::parse_ax25_frame(bytes);
    if (!parsed || !parsed->is_ui() || !parsed->pid)
        return;
    const auto& f = *parsed;
    if (!f.destination.same_call(bdcst_))
        return;
    const auto info = f.info;
    Request r;
    r.station = f.source;
    if (*f.pid == kPidFile) {
        if (info.size() < 7 || (info[0] != 0x10 && info[0] != 0x12) || (info.size() - 7) % 5 != 0) {
            ++counters_.bad_requests;
            return;
        }
        ++counters_.requests;
        r.file_number = rd32(&info[1]);
        r.block = rd16(&info[5]);
        r.whole = info[0] == 0x10;
        for (std::size_t p = 7; p + 5 <= info.size(); p += 5)
            r.ranges.emplace_back(std::uint32_t(rd16(&info[p])) | std::uint32_t(info[p + 2]) << 16, rd16(&info[p + 3]));
        if (!find(r.file_number)) {
            ++counters_.refused;
            char text[32];
            std::snprintf(text, sizeof text, "NO -2 %X", r.file_number);
            answer(r.station, config_.real_server ? "NO -2" : text);
            return;
        }
        enqueue(std::move(r));
    } else if (*f.pid == kPidDir) {
        if (!info.empty() && info[0] == 0x11)
            return; // receive acknowledgement
        if (info.size() < 3 || info[0] != 0x10 || (info.size() - 3) % 8 != 0 || info.size() > 3 + 80) {
            ++counters_.bad_requests;
            return;
        }
        ++counters_.dir_requests;
        r.directory = true;
        r.block = rd16(&info[1]);
        for (std::size_t p = 3; p + 8 <= info.size(); p += 8)
            r.ranges.emplace_back(rd32(&info[p]), rd32(&info[p + 4]));
        enqueue(std::move(r));
    }
}

void Satellite::file_frames(const ServedFile& f, std::uint32_t offset, std::uint32_t length, std::uint16_t block)
{
    const std::uint32_t size = std::uint32_t(f.bytes.size());
    if (offset >= size)
        return;
    std::uint64_t asked = length;
    if (config_.real_server) // whole chunks, whatever length was asked
        asked = (asked + kRealServerChunk - 1) / kRealServerChunk * kRealServerChunk;
    const std::uint32_t end = std::uint32_t(std::min<std::uint64_t>(size, std::uint64_t(offset) + asked));
    block = config_.real_server ? std::uint16_t(kRealServerChunk) : std::clamp<std::uint16_t>(block, 32, 244);
    for (std::uint32_t o = offset; o < end; o += block) {
        const std::uint32_t n = std::min<std::uint32_t>(block, end - o);
        std::vector<std::uint8_t> field;
        field.reserve(9 + n + 2);
        field.push_back(std::uint8_t((config_.real_server ? 0 : 0x02) | (o + n == size ? 0x20 : 0)));
        wr32(field, f.file_number);
        field.push_back(config_.real_server ? 0 : f.file_type);
        field.push_back(std::uint8_t(o));
        field.push_back(std::uint8_t(o >> 8));
        field.push_back(std::uint8_t(o >> 16));
        field.insert(field.end(), f.bytes.begin() + o, f.bytes.begin() + o + n);
        outgoing_.push_back(ui(Ax25Address::fixed("QST", 1), kPidFile, with_crc(std::move(field))));
        ++counters_.file_frames;
    }
}

void Satellite::directory_frames(const ServedFile& f, std::uint16_t block)
{
    const std::size_t piece = std::max<std::size_t>(16, std::min<std::size_t>(config_.dir_fragment, block));
    const bool newest = &f == &files_.back() && !config_.real_server;
    const bool whole = f.header_length <= piece;
    for (std::size_t o = 0; o < f.header_length; o += piece) {
        const std::size_t n = std::min(piece, f.header_length - o);
        const bool last = o + n == f.header_length && (whole || !config_.real_server);
        std::vector<std::uint8_t> field;
        field.push_back(std::uint8_t((last ? 0x20 : 0) | (newest && last ? 0x40 : 0)));
        wr32(field, f.file_number);
        wr32(field, std::uint32_t(o));
        wr32(field, f.t_old);
        wr32(field, f.t_new);
        field.insert(field.end(), f.bytes.begin() + std::ptrdiff_t(o), f.bytes.begin() + std::ptrdiff_t(o + n));
        outgoing_.push_back(ui(Ax25Address::fixed("QST", 1), kPidDir, with_crc(std::move(field))));
        ++counters_.dir_frames;
    }
}

void Satellite::expand(const Request& r)
{
    if (r.directory) {
        std::size_t sent = 0;
        for (const auto& [start, end] : r.ranges) {
            std::size_t for_hole = 0;
            for (const auto& f : files_) {
                if (f.t_new < start || f.t_old > end)
                    continue;
                if (for_hole++ >= config_.headers_per_hole || sent >= 2 * config_.headers_per_hole)
                    break;
                directory_frames(f, r.block);
                ++sent;
            }
        }
        return;
    }
    const ServedFile* f = find(r.file_number);
    if (!f)
        return;
    if (r.whole)
        file_frames(*f, 0, std::uint32_t(f->bytes.size()), r.block);
    for (const auto& [offset, length] : r.ranges)
        file_frames(*f, offset, length, r.block);
}

std::vector<Frame> Satellite::poll(std::uint64_t now_ms) { return release(now_ms, std::nullopt); }

std::vector<Frame> Satellite::poll(std::uint64_t now_ms, std::size_t room) { return release(now_ms, room); }

std::vector<Frame> Satellite::release(std::uint64_t now_ms, std::optional<std::size_t> room)
{
    std::vector<Frame> out;
    if (!started_) {
        started_ = true;
        last_poll_ms_ = now_ms;
        next_queue_line_ = now_ms;
        next_telemetry_ = now_ms;
    }
    if (now_ms > last_poll_ms_) {
        budget_ += double(now_ms - last_poll_ms_) * config_.bytes_per_second / 1000.0;
        // An idle downlink does not save up air time.
        budget_ = std::min(budget_, config_.idle_credit_bytes ? double(*config_.idle_credit_bytes)
                                                              : double(config_.bytes_per_second) + 2048.0);
        last_poll_ms_ = now_ms;
    }
    if (now_ms >= next_queue_line_) {
        next_queue_line_ = now_ms + config_.queue_line_ms;
        const std::string text = queue_text();
        out.push_back(ui(Ax25Address::fixed("PBLIST"), kPidText,
                         std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())));
    }
    if (now_ms >= next_telemetry_) {
        next_telemetry_ = now_ms + config_.telemetry_ms;
        std::vector<std::uint8_t> t;
        wr32(t, config_.epoch + std::uint32_t(now_ms / 1000));
        out.push_back(finish(ui_from(bbs_, Ax25Address::fixed("TLM"), kPidText, t)));
        // The ground station's efficiency figure compares what it heard with this count.
        std::string status = "B: " + std::to_string(bytes_broadcast_);
        if (config_.real_server)
            status.push_back('\0');
        out.push_back(finish(ui_from(bbs_, Ax25Address::fixed("STATUS"), kPidText,
                                     std::span(reinterpret_cast<const std::uint8_t*>(status.data()), status.size()))));
    }
    for (;;) {
        std::deque<Frame>& from = answers_.empty() ? outgoing_ : answers_;
        if (from.empty()) {
            if (queue_.empty())
                break;
            const Request r = queue_.front();
            queue_.pop_front();
            expand(r);
            continue;
        }
        const std::size_t size = from.front().size();
        if (room) {
            if (*room < size)
                break;
            *room -= size;
        } else {
            if (budget_ < double(size))
                break;
            budget_ -= double(size);
        }
        const Frame& next = from.front();
        if (next.size() > 16 && (next[15] == kPidFile || next[15] == kPidDir))
            bytes_broadcast_ += next.size() - 16;
        out.push_back(std::move(from.front()));
        from.pop_front();
    }
    counters_.frames_sent += out.size();
    return out;
}

} // namespace orva::satsim

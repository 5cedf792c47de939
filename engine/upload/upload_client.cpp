#include "engine/upload/upload_client.h"

#include "common/file_names.h"
#include "engine/log/utc_text.h"
#include "engine/upload/upload_header.h"

#include <algorithm>
#include <cstdio>

namespace orva::engine {
namespace {
constexpr LinkTime kPrepareDelay{200};
constexpr LinkTime kConnectDelay{300};
constexpr int kConnectJitterMs = 1500;
// After the server ended a login: at least this long before the one new attempt.
constexpr LinkTime kReloginPause{10000};

std::string hex(std::uint32_t v) {
    char b[12];
    std::snprintf(b, sizeof b, "%X", v);
    return b;
}

std::chrono::sys_seconds seconds_of(LinkTime t) {
    return std::chrono::sys_seconds(std::chrono::duration_cast<std::chrono::seconds>(t));
}

struct Refusal {
    int code;
    const char* text;
    const char* extension; // nullptr: the file is kept for a later pass
    UploadReason reason;
};
// Answers to the upload command (type 5).
constexpr Refusal kCommandRefusals[] = {
    {2, "The filelength doesn't agree with that expected.", ".ULX", UploadReason::Unknown},
    {4, "The CONTINUE file number doesn't exist", ".ULX", UploadReason::Unknown},
    {12, "The file is already complete.", ".UL", UploadReason::Unknown},
    {13, "The server is out of memory.", nullptr, UploadReason::Unknown},
};
// Answers to data end (type 7).
constexpr Refusal kDataEndRefusals[] = {
    {13, "The server is out of memory.", nullptr, UploadReason::ServerOutOfMemory},
    {14, "The file has a corrupt header.", ".ULX", UploadReason::BadHeader},
    {15, "The file has a corrupt header.", ".ULX", UploadReason::BadHeader},
    {16, "The file has a corrupt body.", ".ULX", UploadReason::CorruptBody},
};

template <std::size_t N>
const Refusal* find_refusal(const Refusal (&table)[N], int code) {
    for (const auto& r : table)
        if (r.code == code) return &r;
    return nullptr;
}
} // namespace

UploadClient::UploadClient(UploadConfig config)
    : config_(std::move(config)), folder_(config_.folder), link_(config_.my_call, config_.bbs_call, config_.link),
      rng_(config_.seed ? config_.seed : std::random_device{}()) {}

UploadClient::~UploadClient() { drop_current(); }

UploadOutput UploadClient::take() {
    UploadOutput o = std::move(out_);
    out_ = {};
    return o;
}

std::vector<UploadLogEntry> UploadClient::take_log_entries() {
    auto l = std::move(log_);
    log_.clear();
    return l;
}

std::optional<int> UploadClient::uplink_in_status(std::string_view text) {
    const auto blank = text.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const auto window = text.substr(blank, 4);
    for (std::size_t i = 1; i < window.size(); ++i) {
        const char c = window[i];
        if ((c >= 'A' && c <= 'C') || (c >= '1' && c <= '4')) return int(i);
    }
    return std::nullopt;
}

UploadOutput UploadClient::on_bbs_status(std::string_view text, LinkTime now) {
    out_.bbs_status = std::string(text);
    const bool open = config_.ignore_shut ? text.find("FULL") == std::string_view::npos
                                          : text.find("Open") != std::string_view::npos;
    if (!config_.uploading || busy() || !open || logins_stopped_ || !next_sendable()) return take();
    if (config_.auto_freq) out_.select_uplink = uplink_in_status(text).value_or(config_.default_uplink);
    pending_ = Pending::Prepare;
    pending_at_ = now + kPrepareDelay;
    return take();
}

UploadOutput UploadClient::poll(LinkTime now) {
    if (pending_ == Pending::Prepare && pending_at_ <= now) {
        post("Attempting to connect to server");
        drop_current();
        state_ = kAwaitLogin;
        skip_.clear();
        link_.set_settings(config_.link);
        pending_ = Pending::Connect;
        pending_at_ = now + kConnectDelay + LinkTime(std::uniform_int_distribution<int>(0, kConnectJitterMs - 1)(rng_));
    }
    if (pending_ == Pending::Connect && pending_at_ <= now) {
        pending_ = Pending::None;
        login_done_ = false;
        absorb(link_.connect(now), now);
    }
    absorb(link_.poll(now), now);
    return take();
}

std::optional<LinkTime> UploadClient::next_deadline() const {
    auto d = link_.next_deadline();
    if (pending_ != Pending::None && (!d || pending_at_ < *d)) d = pending_at_;
    return d;
}

UploadOutput UploadClient::on_connected_frame(const Ax25Frame& frame, LinkTime now) {
    absorb(link_.on_frame(frame, now), now);
    return take();
}

UploadOutput UploadClient::disconnect(LinkTime now) {
    pending_ = Pending::None;
    absorb(link_.disconnect_now(now), now);
    if (state_ != kIdle) { // the link was never up
        drop_current();
        state_ = kIdle;
    }
    return take();
}

void UploadClient::absorb(LinkOutput o, LinkTime now) {
    for (auto& f : o.frames) out_.frames.push_back(std::move(f));
    for (auto& p : o.posts) out_.posts.push_back(std::move(p));
    for (const auto& e : o.events) {
        switch (e.kind) {
        case LinkEvent::Kind::Connected: stream_.clear(); break;
        case LinkEvent::Kind::Reset:
            stream_.clear();
            // The server starts a new session with a login response.
            if (current_ && current_->sent_this_session > 0) log_current(UploadReason::Disconnected, now);
            drop_current();
            state_ = kAwaitLogin;
            break;
        case LinkEvent::Kind::Refused: break;
        case LinkEvent::Kind::Disconnected: {
            const bool ended_login = e.by_peer && !login_done_;
            stream_.clear();
            if (current_ && current_->sent_this_session > 0) log_current(UploadReason::Disconnected, now);
            drop_current();
            state_ = kIdle;
            post("Disconnected");
            if (ended_login) login_ended(now);
            break;
        }
        case LinkEvent::Kind::Data: on_link_data(e, now); break;
        case LinkEvent::Kind::WindowOpened:
            if (state_ == kSending) send_more(now);
            break;
        }
    }
}

void UploadClient::on_link_data(const LinkEvent& e, LinkTime now) {
    if (e.oversize) {
        stream_.clear();
        return on_server_packet({}, true, now);
    }
    stream_.insert(stream_.end(), e.data.begin(), e.data.end());
    // One packet may span I frames, and one I frame may hold several.
    std::size_t used = 0;
    while (stream_.size() - used >= 2) {
        const std::size_t length = std::size_t(stream_[used]) | (std::size_t(stream_[used + 1] & 0xE0) << 3);
        const std::uint8_t type = stream_[used + 1] & 0x1F;
        const bool server_type = type == ftl0::kLoginResponse || type == ftl0::kUploadGo ||
                                 type == ftl0::kUploadError || type == ftl0::kUploadAck || type == ftl0::kUploadNak;
        if (!server_type) {
            // Not the start of anything a server sends: what is held cannot be cut into packets.
            const std::vector<std::uint8_t> junk(stream_.begin() + std::ptrdiff_t(used), stream_.end());
            stream_.clear();
            return on_server_packet(junk, false, now);
        }
        if (stream_.size() - used < length + 2) break;
        const std::vector<std::uint8_t> packet(stream_.begin() + std::ptrdiff_t(used),
                                               stream_.begin() + std::ptrdiff_t(used + length + 2));
        used += length + 2;
        on_server_packet(packet, false, now);
    }
    stream_.erase(stream_.begin(), stream_.begin() + std::ptrdiff_t(std::min(used, stream_.size())));
}

void UploadClient::on_server_packet(std::span<const std::uint8_t> packet, bool oversize, LinkTime now) {
    if (state_ == kIdle) return;
    const auto a = oversize ? ftl0::ServerAnswer{} : ftl0::parse_server_answer(packet);
    using K = ftl0::ServerAnswer::Kind;
    switch (state_) {
    case kAwaitLogin:
        if (a.kind != K::Login) return unexpected(now);
        post("PACSAT protocol server version " + std::to_string(a.flags & 3));
        post("Logged in at " + utc_text(std::chrono::sys_seconds(std::chrono::seconds(a.login_time))));
        choose_next(now);
        break;
    case kAwaitCommandAnswer:
        if (a.kind == K::Go) return on_go(a, now);
        if (a.kind != K::Error) return unexpected(now);
        on_upload_error(a.code);
        choose_next(now);
        break;
    case kSending:
        if (a.kind != K::Nak) return unexpected(now);
        post("Break requested by satellite", LineColour::DarkRed);
        if (current_ && current_->stream) {
            std::fclose(current_->stream);
            current_->stream = nullptr;
        }
        send_packet(ftl0::kDataEnd, {}, now);
        state_ = kAwaitDataEndAnswer;
        break;
    case kAwaitDataEndAnswer: on_data_end_answer(a, now); break;
    default: break;
    }
}

void UploadClient::login_ended(LinkTime now) {
    // A server that is busy may end a login; a second attempt after a pause may find it free.
    // Another refusal ends the uploads of this pass rather than starting a loop.
    if (++login_failures_ >= 2) {
        logins_stopped_ = true;
        post("Server ended the login again.  No more uploads this pass.", LineColour::DarkRed);
        return;
    }
    const LinkTime pause = std::max(kReloginPause, 2 * link_.current_t1());
    post("Server ended the login.  Connecting again in " + std::to_string((pause.count() + 999) / 1000) + " s.",
         LineColour::DarkRed);
    pending_ = Pending::Prepare;
    pending_at_ = now + pause;
}

std::optional<QueuedUpload> UploadClient::next_sendable() {
    std::error_code gone;
    std::erase_if(held_, [&](const auto& h) { return !std::filesystem::exists(h.first, gone); });
    if (held_.empty()) held_text_.clear();
    std::set<std::filesystem::path> pass_over = skip_;
    for (;;) {
        auto q = folder_.choose(pass_over);
        if (!q) return std::nullopt;
        // Files too short or too long are dealt with by name when chosen.
        if (q->length < UploadFolder::kMinimumLength || q->length > 0xFFFFFFFFull) return q;
        std::error_code ec;
        const auto written = std::filesystem::last_write_time(q->path, ec);
        if (auto it = held_.find(q->path); it != held_.end() && it->second.written == written && it->second.length == q->length) {
            pass_over.insert(q->path);
            continue;
        }
        auto layout = check_upload_file(q->path, q->length);
        if (layout) {
            held_.erase(q->path);
            if (held_.empty()) held_text_.clear();
            return q;
        }
        const std::string name = q->path.filename().string();
        const std::string& why = layout.error().message;
        post("Upload file " + name + " not sent: " + why, LineColour::Red);
        held_[q->path] = Held{written, q->length};
        held_text_ = name + " not sent: " + why;
        pass_over.insert(q->path);
    }
}

void UploadClient::on_go(const ftl0::ServerAnswer& a, LinkTime now) {
    login_done_ = true;
    login_failures_ = 0;
    Current& c = *current_;
    // An offset past the end of our file, or a number that is not the one we asked to continue,
    // cannot be acted on: the file stays queued as it is.
    if (a.offset > c.file.length || a.file_number == 0 ||
        (c.file.in_progress() && a.file_number != c.file.file_number))
        return unexpected(now);
    c.start = now;
    c.offset = a.offset;
    c.to_send = std::int64_t(c.file.length - a.offset);
    if (a.offset != 0)
        post("Continuing file " + hex(a.file_number) + " from offset " + std::to_string(a.offset));
    else
        post("Upload file number " + hex(a.file_number));
    if (!c.file.in_progress()) {
        auto renamed = folder_.rename_to_pul(c.file.path, a.file_number);
        if (!renamed) {
            post("Error opening upload file " + c.file.path.filename().string(), LineColour::Red);
            keep_for_later();
            return release(now);
        }
        c.file.path = *renamed;
        c.file.file_number = a.file_number;
    }
    c.stream = std::fopen(c.file.path.c_str(), "rb");
    if (!c.stream) {
        post("Error opening upload file " + c.file.path.filename().string(), LineColour::Red);
        keep_for_later();
        return release(now);
    }
    // The server files the upload under the number in its header: the copy sent carries the
    // number just given, the queue file keeps its own.
    std::vector<std::uint8_t> start(std::size_t(std::min<std::uint64_t>(c.file.length, 0x10000)));
    start.resize(std::fread(start.data(), 1, start.size(), c.stream));
    auto stamped = stamp_upload_header(start, a.file_number);
    if (!stamped) {
        // Checked before the upload command; changed since. Never sent with a header that a
        // server would file damaged.
        post("Upload file " + c.file.path.filename().string() + " not sent: " + stamped.error().message, LineColour::Red);
        keep_for_later();
        return release(now);
    }
    c.header = std::move(*stamped);
    if (std::fseek(c.stream, long(c.offset), SEEK_SET) != 0) {
        post("Error opening upload file " + c.file.path.filename().string(), LineColour::Red);
        keep_for_later();
        return release(now);
    }
    progress_ = {};
    progress_.file = c.file.path.filename().string();
    state_ = kSending;
    update_progress(now);
    send_more(now);
}

void UploadClient::on_upload_error(std::uint8_t code) {
    login_done_ = true;
    login_failures_ = 0;
    post("Upload not accepted by server.", LineColour::Red);
    const Refusal* r = find_refusal(kCommandRefusals, code);
    if (r) post(r->text, LineColour::Red);
    if (r && r->extension) rename_current(r->extension);
    else keep_for_later();
    drop_current();
}

void UploadClient::on_data_end_answer(const ftl0::ServerAnswer& a, LinkTime now) {
    using K = ftl0::ServerAnswer::Kind;
    if (a.kind == K::Ack && current_ && current_->to_send == 0) {
        const auto secs = std::max<std::int64_t>(1, (now - *current_->start).count() / 1000);
        post("Upload complete and accepted by satellite. [" + std::to_string(current_->sent_this_session / secs) + " CPS]",
             LineColour::Blue);
        log_current(UploadReason::Complete, now);
        rename_current(".UL");
        drop_current();
        return choose_next(now);
    }
    if (a.kind != K::Nak) return unexpected(now);
    post("File not accepted by server.", LineColour::Red);
    const Refusal* r = find_refusal(kDataEndRefusals, a.code);
    if (r) post(r->text, LineColour::Red);
    log_current(r ? r->reason : UploadReason::Unknown, now);
    if (r && r->extension) rename_current(r->extension);
    else keep_for_later();
    drop_current();
    choose_next(now);
}

void UploadClient::choose_next(LinkTime now) {
    for (;;) {
        auto q = next_sendable();
        if (!q) return release(now);
        if (q->length > 0xFFFFFFFFull) { // cannot be described to the server
            skip_.insert(q->path);
            continue;
        }
        if (q->length < UploadFolder::kMinimumLength) {
            post("Upload file invalid.  Renaming to .ULX.", LineColour::Red);
            if (!folder_.rename_extension(q->path, ".ULX")) skip_.insert(q->path);
            continue;
        }
        current_.emplace();
        current_->file = *q;
        const auto cmd = ftl0::upload_command(q->file_number, std::uint32_t(q->length));
        absorb(link_.send(cmd, now), now);
        state_ = kAwaitCommandAnswer;
        return;
    }
}

void UploadClient::send_packet(std::uint8_t type, std::span<const std::uint8_t> data, LinkTime now) {
    absorb(link_.send(ftl0::encode_packet(type, data), now), now);
}

void UploadClient::send_more(LinkTime now) {
    std::vector<std::uint8_t> buffer(config_.link.pac_length);
    while (state_ == kSending && current_) {
        Current& c = *current_;
        if (c.to_send == 0) {
            std::fclose(c.stream);
            c.stream = nullptr;
            state_ = kAwaitDataEndAnswer;
            send_packet(ftl0::kDataEnd, {}, now);
            return;
        }
        if (link_.room() == 0) return;
        const auto want = std::size_t(std::min<std::int64_t>(c.to_send, std::int64_t(buffer.size())));
        const std::size_t got = std::fread(buffer.data(), 1, want, c.stream);
        if (got == 0) {
            post("Possible error while reading upload file", LineColour::Red);
            keep_for_later();
            return release(now);
        }
        for (std::size_t i = 0; i < got && c.offset + i < c.header.size(); ++i)
            buffer[i] = c.header[std::size_t(c.offset + i)];
        c.offset += got;
        c.to_send -= std::int64_t(got);
        c.sent_this_session += std::int64_t(got);
        update_progress(now);
        send_packet(ftl0::kData, std::span(buffer.data(), got), now);
    }
}

void UploadClient::update_progress(LinkTime now) {
    if (!current_ || !current_->start) return;
    const Current& c = *current_;
    // At least one second, so the first second does not divide by zero.
    const auto secs = std::max<std::int64_t>(1, (now - *c.start).count() / 1000);
    progress_.uploaded = std::int64_t(c.offset);
    progress_.to_upload = c.to_send;
    progress_.percent = c.file.length ? int(c.offset * 100 / c.file.length) : 100;
    progress_.cps = c.sent_this_session / secs;
    progress_.seconds_left = progress_.cps > 0 ? std::optional(c.to_send / progress_.cps) : std::nullopt;
}

void UploadClient::unexpected(LinkTime now) {
    post("Unexpected packet during transfer", LineColour::Red);
    log_current(UploadReason::UnexpectedPacket, now);
    keep_for_later();
    drop_current();
    release(now);
}

void UploadClient::release(LinkTime now) {
    state_ = kIdle;
    drop_current();
    absorb(link_.release(now), now);
}

void UploadClient::log_current(UploadReason reason, LinkTime now) {
    UploadLogEntry e;
    e.reason = int(reason);
    e.start = seconds_of(now);
    if (current_) {
        e.file_number = current_->file.file_number;
        if (current_->start) {
            e.start = seconds_of(*current_->start);
            e.seconds = (now - *current_->start).count() / 1000;
        }
        e.bytes = current_->sent_this_session;
        current_->sent_this_session = 0; // logged once
    }
    e.rate = e.bytes / std::max<std::int64_t>(1, e.seconds);
    log_.push_back(e);
}

void UploadClient::keep_for_later() {
    if (current_) skip_.insert(current_->file.path);
}

void UploadClient::rename_current(std::string_view extension) {
    if (!current_) return;
    if (auto r = folder_.rename_extension(current_->file.path, extension); !r) {
        post(r.error().message, LineColour::Red);
        skip_.insert(current_->file.path);
    }
}

void UploadClient::drop_current() {
    if (current_ && current_->stream) std::fclose(current_->stream);
    current_.reset();
}

} // namespace orva::engine

#include "cli/satsim/ftl0/ftl0_server.h"

#include "common/pfh/pfh.h"
#include "common/pfh/upload_layout.h"
#include "engine/frames/ax25_frame.h"
#include "cli/satsim/satellite.h"

#include <cstdio>
#include <fstream>

namespace orva::satsim {
namespace {
// Control field bytes without the P/F bit.
constexpr std::uint8_t kSabm = 0x2F, kDisc = 0x43, kDm = 0x0F, kUa = 0x63, kUi = 0x03, kPf = 0x10;
constexpr std::uint8_t kRr = 0x01, kRej = 0x09;
constexpr std::uint8_t kPid = 0xF0;

void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(std::uint8_t(x >> (8 * i)));
}
std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24;
}
bool refused_at_end(int code) { return code == 14 || code == 15 || code == 16; }

void put_at(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        if (at + std::size_t(i) < b.size()) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
} // namespace

void file_in_place(std::vector<std::uint8_t>& file, std::uint32_t file_number, std::uint32_t upload_time,
                   std::string_view uploader) {
    put_at(file, pfh::kFileNumberItemAt + pfh::kItemHead, file_number, 4);
    put_at(file, pfh::upload_time_item_at(uploader.size()) + pfh::kItemHead, upload_time, 4);
    const std::size_t sum_at = pfh::kHeaderChecksumItemAt + pfh::kItemHead;
    const std::size_t offset_at = pfh::kBodyOffsetItemAt + pfh::kItemHead;
    if (offset_at + 2 > file.size()) return;
    const std::size_t length = std::min<std::size_t>(file.size(), std::size_t(file[offset_at] | file[offset_at + 1] << 8));
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i)
        if (i != sum_at && i != sum_at + 1) sum += file[i];
    put_at(file, sum_at, sum, 2);
}

Ftl0Server::Ftl0Server(Ftl0ServerConfig config)
    : config_(std::move(config)), bbs_(*engine::Ax25Address::parse(config_.bbs_call)), next_number_(config_.first_number) {}

void Ftl0Server::frame_to(const engine::Ax25Address& to, std::uint8_t control, bool command,
                          std::span<const std::uint8_t> info, bool with_pid) {
    std::vector<std::uint8_t> f;
    const auto d = to.wire(command, false);
    const auto s = bbs_.wire(!command, true);
    f.insert(f.end(), d.begin(), d.end());
    f.insert(f.end(), s.begin(), s.end());
    f.push_back(control);
    if (with_pid) f.push_back(kPid);
    f.insert(f.end(), info.begin(), info.end());
    if (config_.real_server) {
        if (control == kUi) { // status lines go out marked neither command nor response
            f[6] &= 0x7F;
            f[13] &= 0x7F;
        }
        clear_reserved_bits(f);
    }
    out_.push_back(std::move(f));
}

void Ftl0Server::send_s(std::uint8_t kind_bits, bool final) {
    frame_to(*peer_, std::uint8_t(vr_ << 5 | (final ? kPf : 0) | kind_bits), false, {}, false);
    ack_due_ = false;
}

void Ftl0Server::transmit_i(std::size_t index, bool poll) {
    const int ns = (va_ + int(index)) & 7;
    frame_to(*peer_, std::uint8_t(vr_ << 5 | (poll ? kPf : 0) | ns << 1), true, unacked_[index], true);
    ack_due_ = false;
}

void Ftl0Server::send_answer(std::uint8_t type, std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> p{std::uint8_t(data.size() & 0xFF), std::uint8_t(type | ((data.size() >> 3) & 0xE0))};
    p.insert(p.end(), data.begin(), data.end());
    unacked_.push_back(std::move(p));
    transmit_i(unacked_.size() - 1, false);
    vs_ = (va_ + int(unacked_.size())) & 7;
    if (!t1_) t1_ = now_ + config_.t1_ms;
}

void Ftl0Server::acknowledge_to(int nr) {
    const auto n = std::size_t((nr - va_) & 7);
    if (n > unacked_.size()) return; // not a number we sent: ignored
    for (std::size_t i = 0; i < n; ++i) unacked_.pop_front();
    va_ = nr;
    if (n > 0) {
        logging_in_ = false;
        tries_ = 0;
        t1_.reset();
        if (!unacked_.empty()) t1_ = now_ + config_.t1_ms;
    }
}

void Ftl0Server::end_session() {
    peer_.reset();
    logging_in_ = false;
    unacked_.clear();
    t1_.reset();
    ack_due_ = false;
    phase_ = Phase::Command;
}

void Ftl0Server::on_uplink_frame(std::span<const std::uint8_t> bytes, std::uint64_t now_ms) {
    now_ = now_ms;
    auto parsed = engine::parse_ax25_frame(bytes);
    if (!parsed || !(parsed->destination == bbs_)) return;
    const auto& f = *parsed;
    const std::uint8_t c = f.control;
    const bool pf = c & kPf;
    const bool command = f.command_response() != 2;
    const bool ours = peer_ && *peer_ == f.source;

    if ((c & 3) == 3) {
        const std::uint8_t code = c & ~kPf;
        if (code == kSabm) {
            if (peer_ && !ours) {
                frame_to(f.source, std::uint8_t(kDm | (pf ? kPf : 0)), false, {}, false);
                return;
            }
            if (ours && logging_in_ && config_.real_server) {
                // A second SABM while the station is being logged in: the session is reset and
                // ended, and the station has to start again.
                ++counters_.login_resets;
                end_session();
                frame_to(f.source, std::uint8_t(kDisc | kPf), true, {}, false);
                return;
            }
            end_session();
            peer_ = f.source;
            vr_ = va_ = vs_ = 0;
            rej_sent_ = false;
            tries_ = 0;
            ++counters_.sessions;
            frame_to(f.source, std::uint8_t(kUa | (pf ? kPf : 0)), false, {}, false);
            std::vector<std::uint8_t> login;
            put32(login, config_.epoch + std::uint32_t(now_ms / 1000));
            login.push_back(0x01);
            // Later servers add fields after the flags; a client reads what it knows.
            if (config_.real_server) login.insert(login.end(), {0x00, 0x00, 0x00, 0x00});
            send_answer(2, login);
            logging_in_ = true;
        } else if (code == kDisc) {
            frame_to(f.source, std::uint8_t((ours ? kUa : kDm) | (pf ? kPf : 0)), false, {}, false);
            if (ours) end_session();
        } else if (code == kDm && ours) {
            end_session();
        }
        return;
    }
    if (!ours) {
        if (command && pf) frame_to(f.source, std::uint8_t(kDm | kPf), false, {}, false);
        return;
    }
    const int nr = c >> 5;
    if ((c & 3) == 1) {
        acknowledge_to(nr);
        const int kind = (c >> 2) & 3;
        if (command && pf) send_s(kRr, true);
        if (kind == 2 || (!command && pf)) { // REJ, or the answer to our poll: the rest again
            for (std::size_t i = 0; i < unacked_.size(); ++i) {
                transmit_i(i, false);
                ++counters_.retransmissions;
            }
        }
        return;
    }
    // I frame.
    acknowledge_to(nr);
    const int ns = (c >> 1) & 7;
    if (ns == vr_) {
        vr_ = (vr_ + 1) & 7;
        rej_sent_ = false;
        ack_due_ = true;
        if (f.pid && *f.pid == kPid) on_packet(f.info);
        if (peer_ && pf) send_s(kRr, true);
    } else if (!rej_sent_) {
        rej_sent_ = true;
        ++counters_.rejects_sent;
        send_s(kRej, pf);
    } else if (pf) {
        send_s(kRr, true);
    }
}

void Ftl0Server::on_packet(std::span<const std::uint8_t> info) {
    logging_in_ = false;
    if (info.size() < 2) return;
    const std::size_t length = std::size_t(info[0]) | (std::size_t(info[1] & 0xE0) << 3);
    const int type = info[1] & 0x1F;
    const auto data = info.subspan(2);
    if (length != data.size()) return;
    if (phase_ == Phase::Command) {
        if (type == 3 && data.size() == 8) on_command(get32(data, 0), get32(data, 4));
        return;
    }
    if (type == 0) {
        auto& p = partials_[current_];
        p.bytes.insert(p.bytes.end(), data.begin(), data.end());
        if (config_.cut_at && !p.cut_done && double(p.bytes.size()) >= *config_.cut_at * double(p.length)) {
            p.cut_done = true;
            ++counters_.cuts;
            frame_to(*peer_, kDm, false, {}, false);
            end_session();
        }
    } else if (type == 1) {
        on_data_end();
    }
}

void Ftl0Server::on_command(std::uint32_t number, std::uint32_t length) {
    std::vector<std::uint8_t> d;
    auto error = [&](int code) {
        ++counters_.refusals;
        const std::uint8_t b = std::uint8_t(code);
        send_answer(5, std::span(&b, 1));
    };
    if (config_.refuse && !refused_at_end(*config_.refuse)) return error(*config_.refuse);
    if (number == 0) {
        number = next_number_++;
        partials_[number] = Partial{length, {}, false};
    } else if (complete_.count(number)) {
        return error(12);
    } else if (auto it = partials_.find(number); it == partials_.end()) {
        return error(4);
    } else if (it->second.length != length) {
        return error(2);
    }
    current_ = number;
    phase_ = Phase::Data;
    ++counters_.uploads_started;
    put32(d, number);
    put32(d, std::uint32_t(partials_[number].bytes.size()));
    send_answer(4, d);
}

void Ftl0Server::on_data_end() {
    phase_ = Phase::Command;
    auto it = partials_.find(current_);
    std::uint8_t code = 0;
    if (config_.refuse && refused_at_end(*config_.refuse)) {
        code = std::uint8_t(*config_.refuse);
        ++counters_.refusals;
        partials_.erase(it);
    } else if (it->second.bytes.size() != it->second.length) {
        code = 16;
    } else if (config_.real_server && !header_fits(it->second.bytes)) {
        // The server files an upload under the number in its header: one that does not carry
        // the number the go answer gave cannot be filed.
        code = 14;
        ++counters_.header_refusals;
        std::fprintf(stderr, "satsim: upload %X refused: its header does not carry file number %X\n", current_,
                     current_);
        partials_.erase(it);
    } else {
        char name[16];
        std::snprintf(name, sizeof name, "%X.UPL", current_);
        const auto path = config_.folder / name;
        if (config_.real_server)
            file_in_place(it->second.bytes, current_, config_.epoch + std::uint32_t(now_ / 1000),
                          peer_ ? peer_->to_text() : std::string());
        std::ofstream o(path, std::ios::binary | std::ios::trunc);
        o.write(reinterpret_cast<const char*>(it->second.bytes.data()), std::streamsize(it->second.bytes.size()));
        o.close();
        if (!o) {
            code = 13;
        } else {
            complete_[current_] = it->second.length;
            partials_.erase(it);
            finished_.push_back({current_, path, config_.real_server});
            ++counters_.uploads_done;
            send_answer(6, {});
            return;
        }
    }
    send_answer(7, std::span(&code, 1));
}

bool Ftl0Server::header_fits(const std::vector<std::uint8_t>& bytes) const {
    pfh::ParseOptions options;
    options.allow_zero_file_number = true;
    const auto parsed = pfh::parse_pfh(bytes, options);
    return parsed && parsed->file_number == current_ && parsed->file_size == bytes.size();
}

std::vector<std::vector<std::uint8_t>> Ftl0Server::poll(std::uint64_t now_ms) {
    now_ = now_ms;
    if (now_ms >= next_status_) {
        next_status_ = now_ms + config_.status_ms;
        static const std::string plain = "Open ABCD";
        static const std::string real("Open: A\0", 8);
        const std::string& text = config_.real_server ? real : plain;
        frame_to(engine::Ax25Address::fixed("BBSTAT"), kUi, true,
                 std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), true);
    }
    if (peer_ && t1_ && *t1_ <= now_ms) {
        if (++tries_ > config_.retries) {
            frame_to(*peer_, kDm, false, {}, false);
            end_session();
        } else {
            for (std::size_t i = 0; i < unacked_.size(); ++i) {
                transmit_i(i, i + 1 == unacked_.size());
                ++counters_.retransmissions;
            }
            t1_ = now_ms + config_.t1_ms;
        }
    }
    if (peer_ && ack_due_) send_s(kRr, false);
    auto out = std::move(out_);
    out_.clear();
    return out;
}

std::vector<FinishedUpload> Ftl0Server::take_finished() {
    auto f = std::move(finished_);
    finished_.clear();
    return f;
}

} // namespace orva::satsim

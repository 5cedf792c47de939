#include "engine/link/tnc_link.h"

#include "engine/link/kiss_encoder.h"
#include "platform/serial_port.h"

#include <array>
#include <cstdio>
#include <system_error>

namespace orva::engine {
namespace {

using std::chrono::milliseconds;

constexpr std::size_t kReadSize = 750;
constexpr milliseconds kConnectTimeout{5000};
// A write that cannot make progress for this long has a peer that stopped reading.
constexpr milliseconds kWriteStall{2000};

} // namespace

TncLink::TncLink(StatusSink& status, Ax25FrameSink& frames, TncLinkEvents& events)
    : status_(status), frames_(frames), events_(events) {}

TncLink::~TncLink() { close(); }

std::string TncLink::t_figure(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "T:%7llu", static_cast<unsigned long long>(bytes));
    return text;
}

bool TncLink::open(const LinkSettings& settings, const std::optional<std::vector<std::uint8_t>>& startup_file,
                   TimePoint now, std::unique_ptr<platform::ByteStream> stream) {
    close();
    settings_ = settings;
    if (!stream) {
        platform::SerialSettings serial;
        serial.speed = settings.speed;
        serial.read_chunk = kReadSize;
        auto opened = settings.networked() ? platform::open_tcp_stream(settings.tnc_address, kConnectTimeout, kReadSize)
                                           : platform::open_serial_port(settings.device, serial);
        if (!opened) {
            status_.post("Unable to initialise communications port.", LineColour::Red);
            status_.post(opened.error().message, LineColour::Red);
            return false;
        }
        stream = std::move(*opened);
    }
    stream_ = std::move(stream);
    decoder_ = KissDecoder(settings.smack);
    bytes_ = 0;
    overruns_ = 0;
    bad_smack_ = 0;
    oversize_ = 0;
    smack_seen_ = false;
    perform(sequencer_.start(settings.tnc, startup_file, now));
    start_receiving();
    return true;
}

void TncLink::poll(TimePoint now) { perform(sequencer_.poll(now)); }

std::optional<TncLink::TimePoint> TncLink::next_deadline() const { return sequencer_.next_deadline(); }

void TncLink::begin_exit(const std::optional<std::vector<std::uint8_t>>& exit_file, TimePoint now) {
    perform(sequencer_.begin_exit(exit_file, now));
}

void TncLink::perform(std::vector<TncAction> actions) {
    for (auto& a : actions) {
        switch (a.kind) {
        case TncAction::Kind::WriteRaw: write_raw(a.bytes); break;
        case TncAction::Kind::Post: status_.post(std::move(a.text), a.colour); break;
        case TncAction::Kind::ResetSmack:
            // Runs before the receive thread starts.
            if (!receiving_) decoder_.clear_smack_seen();
            smack_seen_ = false;
            break;
        case TncAction::Kind::LinkParams: events_.on_link_params(a.link); break;
        case TncAction::Kind::ArmSession: events_.on_session_armed(); break;
        case TncAction::Kind::ClosePort:
            close();
            events_.on_port_closed();
            break;
        case TncAction::Kind::Finished: events_.on_finished(); break;
        }
    }
}

void TncLink::close() {
    if (!stream_) return;
    stream_->close(); // no handler runs after it returns
    receiving_ = false;
    stream_.reset();
}

bool TncLink::write_raw(std::span<const std::uint8_t> bytes) {
    if (!stream_) return false;
    std::lock_guard lock(tx_lock_);
    if (auto st = stream_->write(bytes, kWriteStall); !st) {
        status_.post(st.error().message, LineColour::Red);
        return false;
    }
    return true;
}

bool TncLink::send_kiss_frame(std::span<const std::uint8_t> frame) {
    if (!stream_) return false;
    const std::size_t queued = stream_->output_queued();
    if (frame.size() >= settings_.tx_buffer || queued >= settings_.tx_buffer - frame.size()) {
        status_.post("TX Buffer error. Increase the TX buffer size.", LineColour::Red);
        return false;
    }
    std::lock_guard lock(tx_lock_);
    tx_buffer_.clear();
    encode_kiss_frame(frame, settings_.tnc.tx_port_nibble, settings_.smack, tx_buffer_);
    if (auto st = stream_->write(tx_buffer_, kWriteStall); !st) {
        status_.post(st.error().message, LineColour::Red);
        return false;
    }
    return true;
}

LinkCounters TncLink::counters() const {
    return LinkCounters{bytes_.load(), overruns_.load(), bad_smack_.load(), oversize_.load(), smack_seen_.load()};
}

// Runs on the stream's receive thread.
void TncLink::on_bytes(std::span<const std::uint8_t> bytes) {
    struct Sink : KissSink {
        TncLink& link;
        explicit Sink(TncLink& l) : link(l) {}
        // Counters are published before anyone hears of the frame that moved them.
        void publish() {
            const auto& c = link.decoder_.counters();
            link.bytes_ = c.bytes;
            link.bad_smack_ = c.bad_smack;
            link.oversize_ = c.oversize;
        }
        void on_kiss_frame(std::uint8_t, std::span<const std::uint8_t> frame) override {
            publish();
            link.frames_.on_ax25_frame(frame);
        }
        void on_kiss_notice(KissNotice n, std::uint8_t command) override {
            if (n == KissNotice::SmackSeen) {
                link.smack_seen_ = true;
                link.status_.post("TNC set for SMACK mode", LineColour::Black);
            } else if (n == KissNotice::UnknownCommand) {
                char text[48];
                std::snprintf(text, sizeof text, "Error - Unknown KISS data type %02X", command);
                link.status_.post(text, LineColour::Red);
            } else {
                publish();
                link.frames_.on_byte_count(link.bytes_);
            }
        }
    } sink(*this);
    frames_.on_raw_bytes(bytes);
    decoder_.feed(bytes, sink);
    sink.publish();
}

void TncLink::start_receiving() {
    receiving_ = true;
    auto st = stream_->start_receiving([this](std::span<const std::uint8_t> bytes) { on_bytes(bytes); },
                                       [this](const Error& e) { status_.post("TNC link lost: " + e.message, LineColour::Red); });
    if (!st) {
        receiving_ = false;
        status_.post("ERROR!!! Brek will not receive!!!!", LineColour::Red);
    }
}

} // namespace orva::engine

// The TNC link host: the port (serial or KISS over TCP), the receive thread that decodes KISS and
// hands frames up, the transmit path with its queue check, and the start-up and exit sequences
// run from the owner's timer.
#pragma once

#include "engine/link/kiss_decoder.h"
#include "engine/link/link_settings.h"
#include "engine/link/status_line.h"
#include "engine/link/tnc_sequencer.h"
#include "platform/byte_stream.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace orva::engine {

// Called on the receive thread.
class Ax25FrameSink {
public:
    virtual ~Ax25FrameSink() = default;
    virtual void on_ax25_frame(std::span<const std::uint8_t> frame) = 0;
    // Raw bytes as read, for the KISS capture file.
    virtual void on_raw_bytes(std::span<const std::uint8_t>) {}
    // The "T:" figure changed.
    virtual void on_byte_count(std::uint64_t) {}
};

// What the sequences hand to the rest of the engine (on the owner's thread).
class TncLinkEvents {
public:
    virtual ~TncLinkEvents() = default;
    virtual void on_link_params(const ConnectedLinkParams&) {}
    virtual void on_session_armed() {}
    virtual void on_port_closed() {}
    virtual void on_finished() {}
};

struct LinkCounters {
    std::uint64_t bytes = 0; // "T:"
    std::uint32_t overruns = 0;
    std::uint32_t bad_smack = 0;
    std::uint32_t oversize = 0;
    bool smack_seen = false;
};

class TncLink {
public:
    using TimePoint = TncSequencer::TimePoint;

    TncLink(StatusSink& status, Ax25FrameSink& frames, TncLinkEvents& events);
    ~TncLink();
    TncLink(const TncLink&) = delete;
    TncLink& operator=(const TncLink&) = delete;

    // Opens the port of `settings` (or takes `stream`, already open), runs the TNC start-up and
    // starts the receive thread. `startup_file` is "Brek TNC Startup.TXT" when it exists.
    bool open(const LinkSettings& settings, const std::optional<std::vector<std::uint8_t>>& startup_file,
              TimePoint now, std::unique_ptr<platform::ByteStream> stream = nullptr);
    // Runs the sequence steps due at `now`; call again at next_deadline().
    void poll(TimePoint now);
    std::optional<TimePoint> next_deadline() const;

    // Starts the exit sequence; the port closes at its end.
    void begin_exit(const std::optional<std::vector<std::uint8_t>>& exit_file, TimePoint now);
    // Stops the thread, drops queued bytes and closes the port at once.
    void close();

    bool is_open() const { return stream_ != nullptr; }
    bool send_kiss_frame(std::span<const std::uint8_t> frame);
    bool write_raw(std::span<const std::uint8_t> bytes);

    LinkCounters counters() const;
    static std::string t_figure(std::uint64_t bytes); // "T:%7lu"

private:
    class Receiver;
    void perform(std::vector<TncAction> actions);
    void start_receiving();
    void on_bytes(std::span<const std::uint8_t> bytes);

    StatusSink& status_;
    Ax25FrameSink& frames_;
    TncLinkEvents& events_;
    LinkSettings settings_;
    TncSequencer sequencer_;
    std::unique_ptr<platform::ByteStream> stream_;
    std::mutex tx_lock_;
    std::vector<std::uint8_t> tx_buffer_;
    KissDecoder decoder_; // owned by the receive thread while it runs
    std::atomic<std::uint64_t> bytes_{0};
    std::atomic<std::uint32_t> overruns_{0}, bad_smack_{0}, oversize_{0};
    std::atomic<bool> smack_seen_{false};
    std::atomic<bool> receiving_{false};
};

} // namespace orva::engine

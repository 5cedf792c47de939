// The TNC's port for Brek's host: the open byte stream, a writer thread fed through a queue (a
// stalled port never holds up the caller, it only fills the queue until frames are refused) and
// a bounded inbox between the stream's receive thread and the thread that runs the session.
// Bytes that find the inbox full are lost and counted as an overrun, as a serial driver's full
// input queue would lose them.
#pragma once

#include "engine/link/tnc_inbox.h"
#include "platform/byte_stream.h"
#include "platform/result.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace orva::engine {

struct TncPortOptions {
    std::size_t rx_buffer = 32768;        // "RxBuffer": bytes waiting in the inbox at most
    std::size_t max_queued_write = 65536; // bytes waiting for the writer beyond which writes are refused
    std::chrono::milliseconds write_timeout{2000};
};

class TncPort {
public:
    // `wake` runs on the receive or writer thread whenever something new waits in take(); it
    // must only schedule the take, never call back into the port.
    TncPort(TncPortOptions options, std::function<void()> wake);
    ~TncPort();
    TncPort(const TncPort&) = delete;
    TncPort& operator=(const TncPort&) = delete;

    // Takes an open stream and starts both threads. An error means the receive thread did not
    // start: the port still sends, but nothing it hears arrives.
    Status attach(std::unique_ptr<platform::ByteStream> stream);
    // Gives the writer a moment (at most `flush`) to send what is queued, such as the last
    // bytes of the TNC's exit sequence, then drops the rest and closes the stream; a write in
    // progress gives up.
    void close(std::chrono::milliseconds flush = std::chrono::milliseconds(1000));
    bool is_open() const { return stream_ != nullptr; }

    enum class WriteResult : std::uint8_t { Queued, Refused, RefusedFirst };
    // Queues `bytes` whole. RefusedFirst is the first refusal since the queue last took a write.
    WriteResult write(std::span<const std::uint8_t> bytes);
    // Bytes not yet on the wire: the queue and the driver's output buffer.
    std::size_t output_queued() const;
    // Overruns since the port was attached.
    std::uint32_t overruns() const;

    TncInbox take();

private:
    void on_data(std::span<const std::uint8_t> bytes);
    void on_error(const std::string& text);
    void writer();
    void notify();

    TncPortOptions options_;
    std::function<void()> wake_;
    std::unique_ptr<platform::ByteStream> stream_;

    mutable std::mutex rx_mutex_;
    TncInbox inbox_;
    std::size_t inbox_bytes_ = 0;
    std::uint32_t overruns_ = 0;

    mutable std::mutex tx_mutex_;
    std::condition_variable tx_wake_;
    std::condition_variable tx_idle_;
    bool tx_busy_ = false;
    std::deque<std::vector<std::uint8_t>> tx_queue_;
    std::size_t tx_queued_bytes_ = 0;
    bool tx_stop_ = false;
    bool tx_refusing_ = false;
    std::thread tx_thread_;
};

} // namespace orva::engine

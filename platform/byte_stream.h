// A two-way byte link to a TNC, modem or rotator controller: a serial device or KISS over TCP.
// Received bytes arrive in chunks on the stream's own receive thread; writes are timed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/result.h"

namespace orva::platform {

class ByteStream {
public:
    using DataHandler = std::function<void(std::span<const std::uint8_t>)>;
    using ErrorHandler = std::function<void(const Error&)>;

    virtual ~ByteStream() = default;

    // Starts the receive thread (once). Chunks arrive in order. A lost device or connection is
    // reported once through on_error, after which no more data arrives. Handlers may call close().
    virtual Status start_receiving(DataHandler on_data, ErrorHandler on_error) = 0;
    // Writes every byte, or fails when the device takes none for `timeout` or is gone. Concurrent
    // writes never interleave.
    virtual Status write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) = 0;
    // Bytes accepted by write() that the driver has not sent yet.
    virtual std::size_t output_queued() const = 0;
    // Discards unsent and unread bytes, stops the receive thread and closes. Never waits for the
    // device; no handler runs after it returns (unless called from a handler). Idempotent.
    virtual void close() = 0;
    virtual bool is_open() const = 0;
    // The device path or host:port it was opened with.
    virtual const std::string& name() const = 0;
};

} // namespace orva::platform

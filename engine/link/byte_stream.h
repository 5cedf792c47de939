// The byte pipe to the TNC: a serial device or a KISS-over-TCP connection. The link host and its
// receive thread see only this.
#pragma once

#include "platform/result.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace orva::engine {

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Waits at most `timeout` for input. 0 bytes means the wait ended without any; an error
    // means the stream is gone (device removed, connection closed).
    virtual Result<std::size_t> read_some(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) = 0;
    // Writes all bytes, or fails; never blocks for long on a peer that stopped reading.
    virtual Status write_all(std::span<const std::uint8_t> bytes) = 0;
    // Bytes written but not yet sent by the driver.
    virtual std::size_t output_queued() const = 0;
    // Hardware overruns since the last call (0 where the device cannot tell).
    virtual std::uint32_t take_overruns() { return 0; }
    // Drops input not yet read (output already written still goes out).
    virtual void purge() {}
    // Unblocks a read in progress and closes; further calls fail.
    virtual void close() = 0;
    virtual std::string describe() const = 0;
};

// A serial device (or pseudo-terminal) at `speed` bit/s, 8N1, raw, no flow control, opened
// exclusively.
Result<std::unique_ptr<ByteStream>> open_serial_stream(const std::string& device, std::uint32_t speed);

// "host:port" of a KISS TNC on the network. Gives up after `connect_timeout`.
Result<std::unique_ptr<ByteStream>> connect_tcp_stream(const std::string& address,
                                                       std::chrono::milliseconds connect_timeout);

} // namespace orva::engine

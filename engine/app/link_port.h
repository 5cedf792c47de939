// The TNC's byte stream for the headless host: a serial device (or pseudo-terminal) in raw mode,
// or a KISS TNC on TCP. Stands in until the platform's serial port and KISS-over-TCP land.
#pragma once

#include "platform/result.h"

#include <cstdint>
#include <string>

namespace orva::engine {

// A serial device path, opened raw at `speed` baud. Non-blocking.
Result<int> open_serial_device(const std::string& device, std::uint32_t speed);
// "host:port"; only numeric addresses. Non-blocking once connected.
Result<int> open_tcp_tnc(const std::string& address);

} // namespace orva::engine

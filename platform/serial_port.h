// Serial devices (termios) and KISS over TCP behind one `ByteStream`.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/byte_stream.h"
#include "platform/port_names.h"

namespace orva::platform {

enum class FlowControl { None, Hardware, XonXoff };

struct SerialSettings {
    std::uint32_t speed = 9600;   // any rate the driver takes, 76800 included
    FlowControl flow = FlowControl::None;
    bool dtr = true;              // raised after opening (where the device has modem lines)
    bool rts = true;
    std::size_t read_chunk = 750; // at most this many bytes per delivered chunk
};

// Opens a serial device: 8 data bits, no parity, 1 stop bit, raw binary, the given speed and flow
// control. The device is held exclusively among the suite's programs.
Result<std::unique_ptr<ByteStream>> open_serial_port(const std::string& device, const SerialSettings& settings);

// Connects to a KISS TCP server ("127.0.0.1:8001", "[::1]:8001"), as direwolf serves it.
Result<std::unique_ptr<ByteStream>> open_tcp_stream(std::string_view host_port, std::chrono::milliseconds connect_timeout,
                                                    std::size_t read_chunk = 750);

// Opens whatever a port name stands for: "COMn" (mapped by resolve_port_name), a device path, or
// host:port. Speed and flow apply to serial devices only.
Result<std::unique_ptr<ByteStream>> open_byte_stream(std::string_view name, const SerialSettings& settings,
                                                     const PortLookup& lookup);

} // namespace orva::platform

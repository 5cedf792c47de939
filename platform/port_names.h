// Port names as the store holds them. "COM1".."COM9" (any "COM<n>", n 1..255, any case) map to a
// Linux device through the string value named "COM<n>" under the Linux-only key
//     "SOFTWARE\Orva\Linux\Serial Ports"      e.g. "COM1" = "/dev/ttyUSB0"
// and, without that value, to "/dev/ttyS<n-1>". A device path ("/dev/ttyACM0") stands for
// itself, and host:port ("127.0.0.1:8001") names a KISS TCP server.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace orva::platform {

inline constexpr std::string_view serial_ports_key = "SOFTWARE\\Orva\\Linux\\Serial Ports";

enum class PortKind { Serial, Tcp };

struct PortTarget {
    PortKind kind;
    std::string address; // device path, or host:port
};

// Looks up the mapped device of "COM<n>" (the name as given, upper-cased); nullopt when unmapped.
using PortLookup = std::function<std::optional<std::string>(std::string_view com_name)>;

// "COM%d" of a stored port number.
std::string com_port_name(int number);

Result<PortTarget> resolve_port_name(std::string_view name, const PortLookup& lookup);

} // namespace orva::platform

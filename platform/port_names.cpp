#include "platform/port_names.h"

#include <cctype>

namespace orva::platform {

std::string com_port_name(int number)
{
    return "COM" + std::to_string(number);
}

namespace {

std::optional<int> com_number(std::string_view name)
{
    if (name.size() < 4 || name.size() > 6)
        return std::nullopt;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return std::nullopt;
    int number = 0;
    for (char c : name.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

bool looks_like_host_port(std::string_view name)
{
    auto colon = name.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == name.size())
        return false;
    for (char c : name.substr(colon + 1))
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

Result<PortTarget> resolve_port_name(std::string_view name, const PortLookup& lookup)
{
    if (name.empty())
        return make_error("no serial port is configured");
    if (auto number = com_number(name)) {
        if (*number < 1 || *number > 255)
            return make_error("there is no serial port " + std::string(name));
        std::string com = com_port_name(*number);
        if (lookup) {
            if (auto device = lookup(com); device && !device->empty()) {
                if (com_number(*device))
                    return make_error(com + " is mapped to another COM name, \"" + *device + "\"; give a device path");
                return resolve_port_name(*device, nullptr);
            }
        }
        return PortTarget{PortKind::Serial, "/dev/ttyS" + std::to_string(*number - 1)};
    }
    if (name.front() == '/' || name.starts_with("./"))
        return PortTarget{PortKind::Serial, std::string(name)};
    if (looks_like_host_port(name))
        return PortTarget{PortKind::Tcp, std::string(name)};
    return make_error("\"" + std::string(name) +
                      "\" is not a port name: give COM1..COM9, a device path such as /dev/ttyUSB0, or host:port");
}

} // namespace orva::platform

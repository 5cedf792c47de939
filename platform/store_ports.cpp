#include "platform/store_ports.h"

namespace orva::platform {

PortLookup store_port_lookup(const Store& store)
{
    return [&store](std::string_view com_name) -> std::optional<std::string> {
        auto device = store.read_string(serial_ports_key, com_name, 260);
        if (!device)
            return std::nullopt;
        return *device;
    };
}

} // namespace orva::platform

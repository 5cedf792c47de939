#include "platform/dbus/bus_names.h"

namespace orva::platform::dbus {

std::string encode_name_element(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += static_cast<char>(c);
        } else {
            out += '_';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string window_bus_prefix(std::string_view window_class)
{
    return "org.orva.Window.c" + encode_name_element(window_class) + ".";
}

std::string window_bus_name(std::string_view window_class, std::string_view title)
{
    return window_bus_prefix(window_class) + "t" + encode_name_element(title);
}

std::string program_bus_name(std::string_view window_class)
{
    return "org.orva.Program.c" + encode_name_element(window_class);
}

std::string data_bus_name(std::string_view service)
{
    return "org.orva.Data.s" + encode_name_element(service);
}

} // namespace orva::platform::dbus

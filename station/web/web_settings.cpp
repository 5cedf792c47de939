#include "station/web/web_settings.h"

namespace orva::station::web {

WebSettings read_web_settings(const platform::Store& store)
{
    WebSettings s;
    s.enabled = store.read_integer(kWebKey, "Enabled").value_or(0) != 0;
    std::string address = store.read_string(kWebKey, "Address", 64).value_or("");
    if (!address.empty())
        s.address = address;
    std::uint32_t port = store.read_integer(kWebKey, "Port").value_or(kDefaultPort);
    s.port = port > 65535 ? kDefaultPort : port;
    s.private_view = store.read_integer(kWebKey, "Private").value_or(0) != 0;
    s.token_record = store.read_string(kWebKey, "Token", 256).value_or("");
    return s;
}

Status write_web_settings(platform::Store& store, const WebSettings& s)
{
    if (Status r = store.write_integer(kWebKey, "Enabled", s.enabled ? 1 : 0); !r)
        return r;
    if (Status r = store.write_string(kWebKey, "Address", s.address); !r)
        return r;
    if (Status r = store.write_integer(kWebKey, "Port", s.port); !r)
        return r;
    if (Status r = store.write_integer(kWebKey, "Private", s.private_view ? 1 : 0); !r)
        return r;
    if (s.token_record.empty()) {
        (void)store.delete_value(kWebKey, "Token");
        return {};
    }
    return store.write_string(kWebKey, "Token", s.token_record);
}

std::string web_url(const std::string& address, std::uint32_t port)
{
    std::string host = address.find(':') != std::string::npos ? "[" + address + "]" : address;
    if (host == "0.0.0.0")
        host = "127.0.0.1";
    return "http://" + host + ":" + std::to_string(port) + "/";
}

} // namespace orva::station::web

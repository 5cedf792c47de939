// The web view's settings, in the store's Linux-only key "SOFTWARE\Orva\Linux\Web": whether Helmo
// serves it, where it listens, whether viewing also needs the token, and the token's record
// (never the token itself: "orva web token" shows that once).
#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"
#include "platform/store/store.h"

namespace orva::station::web {

inline constexpr const char* kWebKey = "SOFTWARE\\Orva\\Linux\\Web";
inline constexpr std::uint32_t kDefaultPort = 8073;

struct WebSettings {
    bool enabled = false;                 // "Enabled"
    std::string address = "127.0.0.1";   // "Address"
    std::uint32_t port = kDefaultPort;    // "Port"; 0: any free port (the log says which)
    bool private_view = false;            // "Private": viewing needs the token too
    std::string token_record;             // "Token": "sha256:SALT:HASH", empty for none
};

WebSettings read_web_settings(const platform::Store& store);
Status write_web_settings(platform::Store& store, const WebSettings& settings);

// "http://127.0.0.1:8073/" ("[::1]" for IPv6 literals).
std::string web_url(const std::string& address, std::uint32_t port);

} // namespace orva::station::web

// Who may do what through the web view: the listening address rule, the access token (kept in the
// store only as a salted SHA-256, compared in constant time), where a request's credentials come
// from (an "Authorization: Bearer" header or the session cookie the login form sets), the Host
// header a loopback listener accepts, and the decision for each kind of route.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace orva::station::web {

inline constexpr const char* kSessionCookie = "orva_session";
// Control requests carry this header: a page of another site cannot send it without asking first,
// and the view never answers such a question.
inline constexpr const char* kControlHeader = "X-Orva-Control";

// 127.0.0.0/8, ::1 and "localhost".
bool is_loopback_host(std::string_view host);

// Listening anywhere but loopback needs a token; the message says how to get one.
Status check_listen_policy(std::string_view address, bool token_configured);

// "sha256:SALT:HASH" (hex) for a token and a salt of random bytes.
std::string token_record(std::string_view token, std::string_view salt);
// True when `candidate` is the token the record was made from. Constant time for candidates of
// any length; false for a record that is not one.
bool token_matches(std::string_view record, std::string_view candidate);
// Equal in time that depends only on the lengths.
bool constant_time_equal(std::string_view a, std::string_view b);

// `n` random bytes from the system; empty when it has none to give.
std::string random_bytes(std::size_t n);
// A new token for the operator: 32 characters of [A-Za-z0-9_-].
std::string new_token();
std::string to_hex(std::string_view bytes);

// "Bearer TOKEN" -> TOKEN.
std::optional<std::string> bearer_token(std::string_view authorization);
// The value of cookie `name` in a Cookie header.
std::optional<std::string> cookie_value(std::string_view cookie_header, std::string_view name);

// DNS rebinding guard: a loopback listener answers only requests addressed to a loopback name
// ("127.0.0.1:8073", "localhost", "[::1]:8073"); any other listener answers any Host.
bool host_allowed(std::string_view host_header, bool loopback_listener);

enum class RouteKind { Public, View, Control };

struct AccessContext {
    bool loopback_listener = true;
    bool private_view = false;    // views need the token even on loopback ("Private")
    bool token_configured = false;
    bool authenticated = false;   // a matching bearer token or a live session cookie
    bool control_header = false;  // kControlHeader present
};

struct AccessDecision {
    int status = 200; // 200 allowed, 401 log in first, 403 refused
    std::string reason;
};

AccessDecision decide_access(RouteKind kind, const AccessContext& context);

} // namespace orva::station::web

#include "station/web/web_access.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sys/random.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace orva::station::web {

namespace {

std::string sha256(std::string_view a, std::string_view b)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (!ctx)
        return {};
    bool ok = EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) == 1 && EVP_DigestUpdate(ctx, a.data(), a.size()) == 1 &&
              EVP_DigestUpdate(ctx, b.data(), b.size()) == 1 && EVP_DigestFinal_ex(ctx, digest, &length) == 1;
    EVP_MD_CTX_free(ctx);
    return ok ? std::string(reinterpret_cast<const char*>(digest), length) : std::string();
}

std::optional<std::string> from_hex(std::string_view hex)
{
    if (hex.size() % 2)
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        auto v = [](char c) {
            return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        };
        int hi = v(hex[i]), lo = v(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += char(hi * 16 + lo);
    }
    return out;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool iequal(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

bool is_loopback_host(std::string_view host)
{
    if (iequal(host, "localhost") || host == "::1" || host == "[::1]")
        return true;
    // A dotted IPv4 literal in 127.0.0.0/8.
    int parts = 0, value = -1;
    bool first127 = false;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            if (value < 0 || value > 255)
                return false;
            if (parts == 0)
                first127 = value == 127;
            ++parts;
            value = -1;
        } else if (host[i] >= '0' && host[i] <= '9') {
            value = (value < 0 ? 0 : value) * 10 + (host[i] - '0');
            if (value > 255)
                return false;
        } else {
            return false;
        }
    }
    return parts == 4 && first127;
}

Status check_listen_policy(std::string_view address, bool token_configured)
{
    if (address.empty())
        return make_error("the web view has no address to listen on");
    if (is_loopback_host(address) || token_configured)
        return {};
    return make_error("the web view may listen on " + std::string(address) +
                      " only with an access token: run \"orva web token\" first, or listen on 127.0.0.1");
}

std::string to_hex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (char c : bytes) {
        out += digits[(static_cast<unsigned char>(c) >> 4) & 0xF];
        out += digits[static_cast<unsigned char>(c) & 0xF];
    }
    return out;
}

std::string token_record(std::string_view token, std::string_view salt)
{
    return "sha256:" + to_hex(salt) + ":" + to_hex(sha256(salt, token));
}

bool constant_time_equal(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    return a.empty() || CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

bool token_matches(std::string_view record, std::string_view candidate)
{
    if (record.substr(0, 7) != "sha256:")
        return false;
    std::string_view rest = record.substr(7);
    std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos)
        return false;
    auto salt = from_hex(rest.substr(0, colon));
    auto hash = from_hex(rest.substr(colon + 1));
    if (!salt || !hash || hash->size() != 32 || candidate.empty())
        return false;
    // The candidate is hashed whatever its length, so the time does not tell how much of it was right.
    return constant_time_equal(sha256(*salt, candidate), *hash);
}

std::string random_bytes(std::size_t n)
{
    std::string out(n, '\0');
    std::size_t got = 0;
    while (got < n) {
        ssize_t r = ::getrandom(out.data() + got, n - got, 0);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return {};
        }
        got += std::size_t(r);
    }
    return out;
}

std::string new_token()
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string bytes = random_bytes(32);
    if (bytes.empty())
        return {};
    std::string out;
    for (char c : bytes)
        out += alphabet[static_cast<unsigned char>(c) & 63];
    return out;
}

std::optional<std::string> bearer_token(std::string_view authorization)
{
    authorization = trim(authorization);
    if (authorization.size() < 7 || !iequal(authorization.substr(0, 7), "Bearer "))
        return std::nullopt;
    std::string_view t = trim(authorization.substr(7));
    if (t.empty())
        return std::nullopt;
    return std::string(t);
}

std::optional<std::string> cookie_value(std::string_view header, std::string_view name)
{
    std::size_t start = 0;
    while (start <= header.size()) {
        std::size_t end = header.find(';', start);
        if (end == std::string_view::npos)
            end = header.size();
        std::string_view pair = trim(header.substr(start, end - start));
        start = end + 1;
        std::size_t eq = pair.find('=');
        if (eq != std::string_view::npos && trim(pair.substr(0, eq)) == name)
            return std::string(trim(pair.substr(eq + 1)));
        if (end == header.size())
            break;
    }
    return std::nullopt;
}

bool host_allowed(std::string_view host, bool loopback_listener)
{
    if (!loopback_listener)
        return true;
    host = trim(host);
    // Strip the port: "[::1]:8073", "127.0.0.1:8073", "localhost".
    if (!host.empty() && host.front() == '[') {
        std::size_t close = host.find(']');
        if (close == std::string_view::npos)
            return false;
        host = host.substr(0, close + 1);
    } else if (std::size_t colon = host.rfind(':'); colon != std::string_view::npos) {
        std::string_view port = host.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
        host = host.substr(0, colon);
    }
    return is_loopback_host(host);
}

AccessDecision decide_access(RouteKind kind, const AccessContext& c)
{
    switch (kind) {
    case RouteKind::Public:
        return {};
    case RouteKind::View:
        if (c.authenticated || (c.loopback_listener && !c.private_view))
            return {};
        if (!c.token_configured)
            return {403, "this web view has no access token: run \"orva web token\" on the station"};
        return {401, "log in with the station's access token"};
    case RouteKind::Control:
        if (!c.token_configured)
            return {403, "control needs an access token: run \"orva web token\" on the station"};
        if (!c.authenticated)
            return {401, "log in with the station's access token to control the station"};
        if (!c.control_header)
            return {403, "a control request must come from the station's own page"};
        return {};
    }
    return {403, "refused"};
}

} // namespace orva::station::web

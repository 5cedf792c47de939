#include "station/web/web_routes.h"

#include <array>

namespace orva::station::web {

namespace {

constexpr std::array<std::string_view, 3> kAssets = {"app.js", "app.css", "icon.svg"};

RouteMatch fail(int status, std::string reason)
{
    RouteMatch m;
    m.status = status;
    m.reason = std::move(reason);
    return m;
}

RouteMatch hit(Route r)
{
    RouteMatch m;
    m.route = r;
    return m;
}

} // namespace

std::optional<std::uint32_t> parse_file_number(std::string_view text)
{
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t n = 0;
    for (char c : text) {
        int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (v < 0)
            return std::nullopt;
        n = n * 16 + std::uint32_t(v);
    }
    if (n == 0)
        return std::nullopt;
    return n;
}

bool plausible_satellite_name(std::string_view name)
{
    if (name.empty() || name.size() > kMaxSatelliteName)
        return false;
    for (char c : name)
        if (c < 0x20 || c > 0x7E || c == '/' || c == '\\')
            return false;
    return name != "." && name != "..";
}

RouteKind route_kind(Route r)
{
    switch (r) {
    case Route::Page:
    case Route::Asset:
    case Route::Session:
    case Route::Login:
    case Route::Logout:
        return RouteKind::Public;
    case Route::RunPass:
    case Route::EndPass:
    case Route::MarkFile:
        return RouteKind::Control;
    default:
        return RouteKind::View;
    }
}

bool is_post(Route r)
{
    return r == Route::Login || r == Route::Logout || r == Route::RunPass || r == Route::EndPass || r == Route::MarkFile;
}

RouteMatch match_route(std::string_view method, std::string_view raw_target)
{
    TargetResult parsed = parse_target(raw_target);
    if (!parsed.target)
        return fail(parsed.fault == TargetFault::TooLong ? 414 : 400, to_string(parsed.fault));
    const std::vector<std::string>& s = parsed.target->segments;
    const bool get = method == "GET" || method == "HEAD";
    const bool post = method == "POST";

    RouteMatch m = fail(404, "no such page");
    if (s.empty()) {
        m = hit(Route::Page);
    } else if (s.size() == 1) {
        for (std::string_view a : kAssets)
            if (s[0] == a) {
                m = hit(Route::Asset);
                m.asset = std::string(a);
            }
        if (s[0] == "map.jpg")
            m = hit(Route::MapPicture);
        else if (s[0] == "login")
            m = hit(Route::Login);
        else if (s[0] == "logout")
            m = hit(Route::Logout);
    } else if (s[0] == "api") {
        static const std::array<std::pair<std::string_view, Route>, 8> simple = {{
            {"session", Route::Session}, {"live", Route::Live}, {"events", Route::Events}, {"engine", Route::Engine},
            {"map", Route::Map}, {"log", Route::Log}, {"doctor", Route::Doctor}, {"satellites", Route::Satellites},
        }};
        if (s.size() == 2) {
            for (const auto& [name, route] : simple)
                if (s[1] == name)
                    m = hit(route);
            if (s[1] == "mark")
                m = hit(Route::MarkFile);
        } else if (s.size() == 3 && s[1] == "pass" && (s[2] == "run" || s[2] == "end")) {
            m = hit(s[2] == "run" ? Route::RunPass : Route::EndPass);
        } else if (s[1] == "satellites" && (s.size() == 4 || s.size() == 5)) {
            const std::string& what = s[3];
            if (s.size() == 4 && what == "directory")
                m = hit(Route::Directory);
            else if (s.size() == 4 && what == "messages")
                m = hit(Route::Messages);
            else if (s.size() == 5 && (what == "files" || what == "messages")) {
                std::optional<std::uint32_t> n = parse_file_number(s[4]);
                if (!n)
                    return fail(404, "no such file");
                m = hit(what == "files" ? Route::File : Route::Message);
                m.file = n;
            }
            if (m.status == 200) {
                if (!plausible_satellite_name(s[2]))
                    return fail(404, "no such satellite");
                m.satellite = s[2];
            }
        }
    }
    if (m.status != 200)
        return m;
    if (is_post(m.route) ? !post : !get)
        return fail(405, "method not allowed");
    return m;
}

} // namespace orva::station::web

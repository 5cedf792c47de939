// Request lines from the network: the target parser and the router never crash, and whatever they
// accept holds no segment that could leave the station's folders; form bodies, cookies and bearer
// headers parse or fail cleanly.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "station/web/request_target.h"
#include "station/web/web_access.h"
#include "station/web/web_routes.h"

using namespace orva::station::web;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto space = input.find(' ');
    std::string_view method = space == std::string_view::npos ? std::string_view("GET") : input.substr(0, space);
    std::string_view target = space == std::string_view::npos ? input : input.substr(space + 1);

    TargetResult parsed = parse_target(target);
    if (parsed.target) {
        if (parsed.target->segments.size() > kMaxSegments)
            std::abort();
        for (const std::string& s : parsed.target->segments)
            if (s.empty() || s == "." || s == ".." || s.size() > kMaxSegmentLength ||
                s.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos)
                std::abort();
    }
    RouteMatch m = match_route(method, target);
    if (m.status == 200) {
        if (!parsed.target)
            std::abort();
        if (!m.satellite.empty() && !plausible_satellite_name(m.satellite))
            std::abort();
        if (m.file && *m.file == 0)
            std::abort();
    } else if (m.status != 400 && m.status != 404 && m.status != 405 && m.status != 414) {
        std::abort();
    }
    (void)parse_form(input);
    (void)cookie_value(input, kSessionCookie);
    (void)bearer_token(input);
    (void)host_allowed(input, true);
    (void)is_loopback_host(input);
    return 0;
}

// The web view's routes: which request is which, from its method and checked target, with the
// satellite name and file number it carries. The names are checked against what the station
// knows later (an unknown satellite is 404); here only their form. No route ever takes a path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "station/web/request_target.h"
#include "station/web/web_access.h"

namespace orva::station::web {

enum class Route {
    Page,        // GET /            the page
    Asset,       // GET /app.js, /app.css, /icon.svg
    MapPicture,  // GET /map.jpg     the world picture for the station's map origin
    Session,     // GET /api/session what this browser may do
    Live,        // GET /api/live    clock, tracking table, schedule, running pass
    Events,      // GET /api/events  Server-Sent Events: live, engine, map, log
    Engine,      // GET /api/engine  Brek's state during a pass
    Map,         // GET /api/map     the map's shapes
    Log,         // GET /api/log     the station's last log lines
    Doctor,      // GET /api/doctor  orva doctor's checks
    Satellites,  // GET /api/satellites
    Directory,   // GET /api/satellites/SAT/directory
    File,        // GET /api/satellites/SAT/files/NUM      the file as Dispo filed it
    Messages,    // GET /api/satellites/SAT/messages
    Message,     // GET /api/satellites/SAT/messages/NUM   a filed message, as text
    Login,       // POST /login      token=...
    Logout,      // POST /logout
    RunPass,     // POST /api/pass/run   satellite=&aos=
    EndPass,     // POST /api/pass/end   satellite=&aos=
    MarkFile,    // POST /api/mark       satellite=&file=&status=
};

struct RouteMatch {
    int status = 200; // 200 matched; else 400, 404, 405 or 414 with `reason`
    std::string reason;
    Route route = Route::Page;
    std::string asset;                    // Asset: its name
    std::string satellite;                // as given (decoded); looked up without regard to case
    std::optional<std::uint32_t> file;    // File, Message
};

RouteMatch match_route(std::string_view method, std::string_view raw_target);
RouteKind route_kind(Route route);
bool is_post(Route route);

// A file number as the station writes it: 1 to 8 hex digits, not 0.
std::optional<std::uint32_t> parse_file_number(std::string_view text);
// Satellite names are at most this long in the store.
inline constexpr std::size_t kMaxSatelliteName = 15;
// A name of a form a satellite could have: printable ASCII without "/" or "\", 1 to 15 characters.
bool plausible_satellite_name(std::string_view name);

} // namespace orva::station::web

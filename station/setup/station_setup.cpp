#include "station/setup/station_setup.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "common/settings/field_table.h"
#include "common/settings/keys.h"

namespace orva::station::setup {

using R = StationForm;
using F = FormField<R>;
namespace keys = settings::keys;

namespace {

F digits(const char* page, const char* label, const char* value, int limit, std::uint32_t R::*m,
         std::uint32_t (*to_store)(std::uint32_t) = nullptr)
{
    return F{page, label, value, Input::Digits, limit, {}, [m](const R& r) { return std::to_string(r.*m); },
             [m, to_store](R& r, const std::string& t) {
                 std::uint32_t v = digits_value(t);
                 r.*m = to_store ? to_store(v) : v;
             }};
}

F flag(const char* page, const char* label, const char* value, std::uint32_t R::*m)
{
    return F{page, label, value, Input::Flag, 0, {}, [m](const R& r) { return r.*m ? "1" : "0"; },
             [m](R& r, const std::string& t) { r.*m = t == "1" ? 1 : 0; }};
}

F magnitude(const char* label, double R::*m)
{
    return F{kPagePosition, label, label, Input::Decimal, 10, {},
             [m](const R& r) {
                 char b[64];
                 std::snprintf(b, sizeof b, "%lf", r.*m);
                 return std::string(b);
             },
             [m](R& r, const std::string& t) { r.*m = std::fabs(decimal_value(t)); }};
}

F two_way(const char* page, const char* label, const char* value, std::vector<std::string> choices, std::uint32_t R::*m,
          bool first_is_one)
{
    return F{page, label, value, Input::Choice, 0, choices,
             [m, choices, first_is_one](const R& r) { return choices[(r.*m != 0) == first_is_one ? 0 : 1]; },
             [m, choices, first_is_one](R& r, const std::string& t) {
                 bool first = t == choices[0];
                 r.*m = first == first_is_one ? 1 : 0;
             }};
}

bool serial_rotator(const R& r) { return r.rotator_type == 1 || (r.rotator_type >= 3 && r.rotator_type <= 7) || r.rotator_type == 9; }
bool park_rotator(const R& r) { return r.rotator_type == 2 || (r.rotator_type >= 4 && r.rotator_type <= 9); }

const std::vector<std::string> kRotatorTypes = {"None",       "TrakBox",    "Level1", "SatTrak", "EasyComm 1",
                                                "EasyComm 2", "Norbin",     "GS232",  "DDE",     "TrakBox Host"};

std::vector<F> build_form()
{
    const char* P = kPagePosition;
    const char* O = kPageRotator;
    const char* H = kPageHorizon;
    std::vector<F> v = {
        F{P, "Callsign", "Callsign", Input::Text, 9, {}, [](const R& r) { return r.callsign; },
          [](R& r, const std::string& t) {
              r.callsign = t;
              for (char& c : r.callsign)
                  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
          }},
        magnitude("Latitude", &R::latitude),
        two_way(P, "North/South", "North/South", {"North", "South"}, &R::south, false),
        magnitude("Longitude", &R::longitude),
        two_way(P, "East/West", "East/West", {"East", "West"}, &R::east, true),
        magnitude("Altitude", &R::altitude),
        flag(P, "Don't run passes between", "Limit Hours", &R::limit_hours),
        digits(P, "From hour", "Stop Hour", 2, &R::stop_hour),
        digits(P, "To hour", "Start Hour", 2, &R::start_hour),

        F{O, "Rotator Type", "Rotator Type", Input::Choice, 0, kRotatorTypes,
          [](const R& r) { return r.rotator_type < kRotatorTypes.size() ? kRotatorTypes[r.rotator_type] : kRotatorTypes[0]; },
          [](R& r, const std::string& t) { r.rotator_type = static_cast<std::uint32_t>(*choice_index(kRotatorTypes, t)); }},
    };
    std::vector<std::string> ports;
    for (int i = 1; i <= 12; ++i)
        ports.push_back("COM" + std::to_string(i));
    v.push_back(F{O, "Port", "Port", Input::Choice, 0, ports,
                  [](const R& r) { return "COM" + std::to_string(r.port >= 1 && r.port <= 4 ? r.port : 1); },
                  [ports](R& r, const std::string& t) { r.port = static_cast<std::uint32_t>(*choice_index(ports, t)) + 1; },
                  serial_rotator});
    v.push_back(F{O, "Speed", "Speed", Input::Choice, 0, {"1200", "2400", "4800", "9600", "19200", "38400"},
                  [](const R& r) { return std::to_string(r.speed > 19200 ? 9600 : r.speed); },
                  [](R& r, const std::string& t) { r.speed = digits_value(t); }, serial_rotator});
    F pacing = digits(O, "Pacing Delay", "Pacing Delay", 4, &R::pacing_delay, [](std::uint32_t ms) { return ms > 500 ? 500u : ms; });
    pacing.enabled = serial_rotator;
    v.push_back(pacing);
    v.push_back(two_way(O, "Stop Position", "Stop Position", {"South", "North"}, &R::stop_position, true));
    v.push_back(flag(O, "Enable flip mode", "Flip", &R::flip));
    for (F f : {flag(O, "Park Antenna", "Park", &R::park), digits(O, "Az", "Park Az", 3, &R::park_az),
                digits(O, "El", "Park El", 3, &R::park_el), digits(O, "Delay in secs", "Park Delay", 4, &R::park_delay)}) {
        f.enabled = park_rotator;
        v.push_back(f);
    }
    F actual = flag(O, "Display actual position", "Rotor Display", &R::display_actual);
    actual.enabled = [](const R& r) { return r.rotator_type == 2; };
    v.push_back(actual);

    static const char* sector[12] = {"0", "30", "60", "90", "120", "150", "180", "210", "240", "270", "300", "330"};
    static const char* sector_value[12] = {"Horizon 0", "Horizon 30", "Horizon 60", "Horizon 90", "Horizon 120",
                                           "Horizon 150", "Horizon 180", "Horizon 210", "Horizon 240", "Horizon 270",
                                           "Horizon 300", "Horizon 330"};
    for (int i = 0; i < 12; ++i)
        v.push_back(F{H, sector[i], sector_value[i], Input::Digits, 2, {},
                      [i](const R& r) { return std::to_string(r.horizon[static_cast<std::size_t>(i)]); },
                      [i](R& r, const std::string& t) { r.horizon[static_cast<std::size_t>(i)] = digits_value(t); }});
    v.push_back(flag(H, "Use Horizon", "Use Horizon", &R::use_horizon));
    v.push_back(flag(H, "Display Horizon", "Display Horizon", &R::display_horizon));
    return v;
}

double read_double(const platform::Store& store, const char* name)
{
    if (auto b = store.read_binary(keys::station, name, 8))
        return settings::detail::decode_double_le(*b);
    return 0;
}

Status write_double(platform::Store& store, const char* name, double v)
{
    std::uint8_t b[8];
    settings::detail::encode_double_le(v, b);
    return store.write_binary(keys::station, name, b);
}

} // namespace

const std::vector<std::string>& station_pages()
{
    static const std::vector<std::string> p = {kPagePosition, kPageRotator, kPageTransverters, kPageHorizon};
    return p;
}

const std::vector<FormField<StationForm>>& station_form()
{
    static const std::vector<F> form = build_form();
    return form;
}

StationForm read_station_form(const platform::Store& store)
{
    StationForm f;
    auto u32 = [&](const char* key, const char* name, std::uint32_t fallback) {
        return store.read_integer(key, name).value_or(fallback);
    };
    f.callsign = store.read_string(keys::station, "Callsign", 12).value_or("");
    double lat = read_double(store, "Latitude"), lon = read_double(store, "Longitude");
    f.latitude = std::fabs(lat);
    f.south = lat < 0;
    f.longitude = std::fabs(lon);
    f.east = lon < 0;
    f.altitude = read_double(store, "Altitude");
    f.limit_hours = u32(keys::station, "Limit Hours", 0);
    f.stop_hour = u32(keys::station, "Stop Hour", 0);
    f.start_hour = u32(keys::station, "Start Hour", 0);
    f.rotator_type = u32(keys::rotator, "Rotator Type", 0);
    f.port = u32(keys::rotator, "Port", 1);
    f.speed = u32(keys::rotator, "Speed", 9600);
    f.stop_position = u32(keys::rotator, "Stop Position", 1);
    f.flip = u32(keys::rotator, "Flip", 0);
    f.pacing_delay = u32(keys::rotator, "Pacing Delay", 0);
    f.park = u32(keys::rotator, "Park", 0);
    f.park_az = u32(keys::rotator, "Park Az", 0);
    f.park_el = u32(keys::rotator, "Park El", 0);
    f.park_delay = u32(keys::rotator, "Park Delay", 60);
    f.display_actual = u32(keys::helmo, "Rotor Display", 1) == 0 ? 1 : 0;
    if (auto b = store.read_binary(keys::station, "Horizon", 48))
        for (std::size_t i = 0; i < 12; ++i)
            f.horizon[i] = settings::detail::le32(std::span(*b).subspan(i * 4, 4));
    f.use_horizon = u32(keys::station, "Use Horizon", 0);
    f.display_horizon = u32(keys::station, "Display Horizon", 0);
    return f;
}

Result<StationSave> write_station_form(platform::Store& store, const StationForm& f)
{
    StationSave save;
    StationForm before = read_station_form(store);
    bool hours_changed = before.limit_hours != f.limit_hours || before.start_hour != f.start_hour ||
        before.stop_hour != f.stop_hour;
    std::vector<Status> writes;
    auto put = [&](const char* key, const char* name, std::uint32_t v) { writes.push_back(store.write_integer(key, name, v)); };
    writes.push_back(store.write_string_bytes(keys::station, "Callsign", f.callsign));
    writes.push_back(write_double(store, "Latitude", f.south ? -f.latitude : f.latitude));
    writes.push_back(write_double(store, "Longitude", f.east ? -f.longitude : f.longitude));
    writes.push_back(write_double(store, "Altitude", f.altitude));
    put(keys::station, "Limit Hours", f.limit_hours);
    put(keys::station, "Start Hour", f.start_hour);
    put(keys::station, "Stop Hour", f.stop_hour);

    put(keys::rotator, "Rotator Type", f.rotator_type);
    put(keys::rotator, "Port", f.port);
    put(keys::rotator, "Speed", f.speed);
    put(keys::rotator, "Stop Position", f.stop_position);
    put(keys::rotator, "Flip", f.flip);
    put(keys::rotator, "Pacing Delay", f.pacing_delay > 500 ? 500 : f.pacing_delay);
    put(keys::rotator, "Park", f.park);
    put(keys::rotator, "Park Az", f.park_az);
    put(keys::rotator, "Park El", f.park_el);
    put(keys::rotator, "Park Delay", f.park_delay);
    put(keys::helmo, "Rotor Display", f.display_actual ? 0 : 1);

    std::uint8_t h[48];
    for (std::size_t i = 0; i < 12; ++i)
        settings::detail::put_le32(h + i * 4, f.horizon[i]);
    writes.push_back(store.write_binary(keys::station, "Horizon", h));
    put(keys::station, "Use Horizon", f.use_horizon);
    put(keys::station, "Display Horizon", f.display_horizon);
    for (auto& s : writes)
        if (!s)
            return s.error();
    if (hours_changed)
        save.messages.push_back(kHoursChanged);
    return save;
}

} // namespace orva::station::setup

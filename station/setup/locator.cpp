#include "station/setup/locator.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace orva::station::setup {

namespace {

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// The index of a letter between 'A' and `last`, or -1.
int letter_index(char c, char last)
{
    char u = upper(c);
    return u >= 'A' && u <= last ? u - 'A' : -1;
}

int digit_index(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

} // namespace

Result<GeoPosition> locator_position(std::string_view loc)
{
    const std::string quoted = "\"" + std::string(loc) + "\"";
    if (loc.size() != 4 && loc.size() != 6)
        return make_error("the locator " + quoted + " must have 4 or 6 characters, like IO91 or IO91wm");
    int field_lon = letter_index(loc[0], 'R'), field_lat = letter_index(loc[1], 'R');
    if (field_lon < 0 || field_lat < 0)
        return make_error("the locator " + quoted + " must start with two letters from A to R");
    int square_lon = digit_index(loc[2]), square_lat = digit_index(loc[3]);
    if (square_lon < 0 || square_lat < 0)
        return make_error("the locator " + quoted + " must have two digits in its third and fourth places");
    // Field: 20 by 10 degrees from 180 W, 90 S; square: 2 by 1 degrees.
    double lon = -180.0 + 20.0 * field_lon + 2.0 * square_lon;
    double lat = -90.0 + 10.0 * field_lat + 1.0 * square_lat;
    double width = 2.0, height = 1.0;
    if (loc.size() == 6) {
        int sub_lon = letter_index(loc[4], 'X'), sub_lat = letter_index(loc[5], 'X');
        if (sub_lon < 0 || sub_lat < 0)
            return make_error("the locator " + quoted + " must end with two letters from A to X");
        // Subsquare: 5 by 2.5 minutes, 24 to a square each way.
        width = 2.0 / 24.0;
        height = 1.0 / 24.0;
        lon += width * sub_lon;
        lat += height * sub_lat;
    }
    return GeoPosition{lat + height / 2.0, lon + width / 2.0};
}

Result<double> parse_coordinate(std::string_view text, Axis axis)
{
    const bool latitude = axis == Axis::Latitude;
    const char* what = latitude ? "latitude" : "longitude";
    const double limit = latitude ? 90.0 : 180.0;
    const std::string example = latitude ? "52.2, -33.9 or 33.9S" : "-1.5, 1.5W or 151.2E";
    const std::string bad = std::string("the ") + what + " \"" + std::string(text) + "\" is not a number of degrees (" +
                            example + ")";
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    double sign = 1.0;
    bool hemisphere = false;
    if (!t.empty()) {
        char h = upper(t.back());
        const char positive = latitude ? 'N' : 'E', negative = latitude ? 'S' : 'W';
        if (h == positive || h == negative) {
            hemisphere = true;
            sign = h == negative ? -1.0 : 1.0;
            t.remove_suffix(1);
            while (!t.empty() && t.back() == ' ')
                t.remove_suffix(1);
        }
    }
    if (t.empty() || (hemisphere && (t.front() == '-' || t.front() == '+')))
        return make_error(bad);
    if (t.front() == '+')
        t.remove_prefix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v))
        return make_error(bad);
    v *= sign;
    if (std::fabs(v) > limit)
        return make_error(std::string("the ") + what + " \"" + std::string(text) + "\" is more than " +
                          (latitude ? "90" : "180") + " degrees");
    return v == 0.0 ? 0.0 : v; // never a negative zero
}

} // namespace orva::station::setup

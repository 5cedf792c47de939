// Maidenhead grid locators ("IO91", "IO91wm") and typed coordinates ("52.2", "52.2N", "1.5W"),
// turned into a position with north and east positive.
#pragma once

#include <string_view>

#include "platform/result.h"

namespace orva::station::setup {

struct GeoPosition {
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
};

// The centre of a 4- or 6-character locator (letter case ignored): a field of two letters A-R,
// a square of two digits, and optionally a subsquare of two letters A-X.
Result<GeoPosition> locator_position(std::string_view locator);

enum class Axis { Latitude, Longitude };
// A signed decimal number of degrees (north or east positive), or an unsigned one followed by its
// hemisphere letter (N/S, E/W, either case); at most 90 or 180 degrees.
Result<double> parse_coordinate(std::string_view text, Axis axis);

} // namespace orva::station::setup

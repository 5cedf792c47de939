// The lines of the map's text panel, in the map font under the picture.
#pragma once

#include <string>
#include <vector>

#include "station/map/map_view.h"

namespace orva::station::map {

inline constexpr const char* kObserverHeader = "Observer                   Azm  Ele  Range   Doppler  Ofp";

// "AO-16          14:05:09  9 December 2026"
std::string title_line(const std::string& name, StationSeconds map_time);
// "Lat:51.234N Lon:  1.500W  Hght:  790.123km  MA: 12.5  Mode:A    "
std::string position_line(double latitude_deg, double longitude_west_deg, double height_km, double ma,
                           const std::string& mode);
// How the map time moves: normal, or the fast step and direction.
std::string motion_line(const MapView& view);
std::string observer_line(const ObserverView& v);

// Every line of the panel in order: three text lines, the observer header, one line per observer.
std::vector<std::string> panel_lines(const MapView& view);

} // namespace orva::station::map

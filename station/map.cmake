# The map's geometry and state (no Qt): projection, ground track, circles, terminator, the text
# panel. The window over it is part of the Helmo program (station/app).
orva_library(NAME orva_station_map
  SOURCES
    map/map_geometry.cpp
    map/map_view.cpp
    map/map_text.cpp
  DEPS orva_station_orbit orva_common_settings)

orva_test(MODULE station NAME test_station_map
  SOURCES
    tests/map_geometry_test.cpp
    tests/map_view_test.cpp
  DEPS orva_station_map)
orva_benchmark(NAME map SOURCES ${PROJECT_SOURCE_DIR}/bench/map.cpp DEPS orva_station_map)

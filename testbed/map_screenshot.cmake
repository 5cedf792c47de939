# map-screenshot: the map window following AO-16 through a pass of the demo station, saved as a picture.
if(ORVA_BUILD_APPS)
  orva_program(NOINSTALL NAME map-screenshot
    SOURCES screenshots/map_screenshot.cpp
    DEPS orva_cli_demo orva_station_map_window orva_common_util QT)
endif()

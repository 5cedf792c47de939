# orva look: one satellite's position and look angles from the station.
orva_library(NAME orva_tools_look SOURCES look/look_report.cpp DEPS orva_station_orbit orva_common_util)
orva_program(NAME orva-look SOURCES look/main.cpp DEPS orva_tools_look orva_common_settings)

orva_test(MODULE tools NAME tools_look_test
  SOURCES tests/look_test.cpp
  DEPS orva_tools_look orva_common_settings)
if(ORVA_BUILD_TESTS)
  add_dependencies(tools_look_test orva-look)
endif()

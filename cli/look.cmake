# orva look: one satellite's position and look angles from the station.
orva_library(NAME orva_cli_look SOURCES look/look_report.cpp DEPS orva_station_orbit orva_common_util)
orva_program(NAME orva-look SOURCES look/main.cpp DEPS orva_cli_look orva_common_settings)

orva_test(MODULE cli NAME cli_look_test
  SOURCES tests/look_test.cpp
  DEPS orva_cli_look orva_common_settings)
if(ORVA_BUILD_TESTS)
  orva_test_needs(cli_look_test orva-look)
endif()

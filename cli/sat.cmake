# `orva sat` and `orva station`: satellite and station setup without a display, over the same
# editing rules as Helmo's setup pages.
if(ORVA_BUILD_APPS)
  orva_library(NAME orva_cli_tell_station SOURCES sat/tell_station.cpp DEPS orva_platform_dbus Qt6::Core)
  orva_program(NAME orva-sat SOURCES sat/sat_main.cpp DEPS orva_station_setup orva_cli_tell_station Qt6::Core)
  orva_program(NAME orva-station SOURCES sat/station_main.cpp DEPS orva_station_setup orva_cli_tell_station Qt6::Core)
endif()

if(ORVA_BUILD_APPS)
  orva_test(MODULE cli NAME cli_sat_command_test SERIAL TIMEOUT 120
    SOURCES tests/sat_command_test.cpp
    DEPS orva_common_settings orva_platform_dbus Qt6::Core)
  if(TARGET cli_sat_command_test)
    orva_test_needs(cli_sat_command_test orva-sat orva-station)
  endif()
endif()

# Helmo's main window with the map window and the rotor dials joined in.
if(ORVA_BUILD_APPS AND ORVA_BUILD_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  orva_test(MODULE station NAME test_station_helmo_map QT SERIAL TIMEOUT 120
    SOURCES tests/helmo_map_wiring_test.cpp
    DEPS orva_station_window)
endif()

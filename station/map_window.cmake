# The map window and the rotor display (Qt), and helmo-map, the map window on its own.
if(ORVA_BUILD_APPS)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  orva_library(NAME orva_station_map_window QT
    SOURCES app/world_picture.cpp app/rotor_display.cpp app/map_window.cpp app/map_dialogs.cpp
    DEPS orva_station_map orva_common_settings orva_common_elements orva_platform_store orva_platform_threads Qt6::Widgets)

  orva_program(NAME helmo-map SOURCES app/map_main.cpp
    DEPS orva_station_map_window orva_platform_dbus orva_common_util QT)

  if(ORVA_BUILD_TESTS)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    orva_test(MODULE station NAME test_station_map_window QT
      SOURCES tests/map_window_test.cpp
      DEPS orva_station_map_window orva_platform_dbus Qt6::Test)
  endif()
endif()

# The dialogs in Helmo's main menu.
if(ORVA_BUILD_APPS AND TARGET orva_station_window)
  orva_library(NAME orva_station_setup_menu
    SOURCES app/setup/setup_menu.cpp
    DEPS orva_station_setup_dialogs orva_station_window orva_platform_dbus
    QT)
  target_link_libraries(helmo PRIVATE orva_station_setup_menu)
endif()

if(ORVA_BUILD_APPS AND TARGET orva_station_setup_menu)
  orva_test(MODULE station NAME test_station_setup_menu SERIAL
    SOURCES tests/setup_menu_test.cpp
    DEPS orva_station_setup_menu
    QT)
endif()

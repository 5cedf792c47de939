# The dialogs in Helmo's main menu.
if(ORVA_BUILD_APPS AND TARGET orva_station_window)
  orva_library(NAME orva_station_setup_menu
    SOURCES app/setup/setup_menu.cpp
    DEPS orva_station_setup_dialogs orva_station_window orva_platform_dbus
    QT)
  # What helmo does with a display: the first start when the store was never set up, then the window.
  orva_library(NAME orva_station_window_start
    SOURCES app/window_start.cpp
    DEPS orva_station_setup_menu orva_station_web_app
    QT)
  target_link_libraries(helmo PRIVATE orva_station_window_start)
endif()

if(ORVA_BUILD_APPS AND TARGET orva_station_setup_menu)
  orva_test(MODULE station NAME test_station_setup_menu SERIAL
    SOURCES tests/setup_menu_test.cpp
    DEPS orva_station_setup_menu
    QT)
  orva_test(MODULE station NAME test_station_first_start SERIAL TIMEOUT 120
    SOURCES tests/first_start_test.cpp
    DEPS orva_station_window_start orva_test_child
    QT)
  if(TARGET test_station_first_start)
    orva_test_needs(test_station_first_start orva-setup)
  endif()
endif()

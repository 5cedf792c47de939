# Helmo's main window: its texts and rules without Qt, and the window and dialogs over the host.
orva_library(NAME orva_station_view
  SOURCES
    app/window/view_texts.cpp
    app/window/event_form.cpp
    app/window/menu_table.cpp
  DEPS orva_station_schedule orva_common_settings)

if(ORVA_BUILD_APPS)
  orva_library(NAME orva_station_window
    SOURCES
      app/window/main_window.cpp
      app/window/main_window_commands.cpp
      app/window/dialogs.cpp
    DEPS orva_station_app orva_station_view orva_common_element_import orva_station_map_window orva_version orva_elemupd_network
      Qt6::Widgets Qt6::PrintSupport
    QT)
endif()

if(ORVA_BUILD_APPS)
  target_link_libraries(helmo PRIVATE orva_station_window)
endif()

orva_test(MODULE station NAME test_station_view
  SOURCES tests/view_texts_test.cpp
  DEPS orva_station_view orva_station_core)

if(ORVA_BUILD_APPS)
  orva_test(MODULE station NAME test_station_window
    SOURCES tests/helmo_window_test.cpp
    DEPS orva_station_window
    QT SERIAL TIMEOUT 180)
endif()

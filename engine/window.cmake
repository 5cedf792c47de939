# Brek's window: a Qt Widgets view of the engine session, its menus and boxes.
if(ORVA_BUILD_APPS)
  orva_library(NAME orva_engine_window QT
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/window/window_placement.cpp
      ${CMAKE_CURRENT_LIST_DIR}/window/status_list_view.cpp
      ${CMAKE_CURRENT_LIST_DIR}/window/download_table_view.cpp
      ${CMAKE_CURRENT_LIST_DIR}/window/pass_time_bar.cpp
      ${CMAKE_CURRENT_LIST_DIR}/window/settings_boxes.cpp
      ${CMAKE_CURRENT_LIST_DIR}/window/pass_boxes.cpp
      ${CMAKE_CURRENT_LIST_DIR}/window/brek_window.cpp
      ${CMAKE_CURRENT_LIST_DIR}/window/run_brek_window.cpp
    DEPS orva_engine_session orva_common_settings orva_platform_launcher Qt6::Widgets)

  orva_test(MODULE engine NAME engine_window_test QT SERIAL
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/brek_window_test.cpp
    DEPS orva_engine_window orva_cli_satsim orva_platform_dbus)
endif()

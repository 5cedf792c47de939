# The Brek program: its host on the Qt event loop (store, session bus, data server, TNC port),
# the terminal view of the headless mode, and the window.
if(ORVA_BUILD_APPS)
  orva_library(NAME orva_engine_brek_host QT
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/app/brek_host.cpp
      ${CMAKE_CURRENT_LIST_DIR}/app/terminal_view.cpp
    DEPS orva_engine_session orva_engine_link_host orva_common_settings orva_platform_dbus orva_platform_serial
         orva_platform_launcher orva_platform_system_time Qt6::Core)

  orva_program(NAME brek
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/app/brek_main.cpp
    DEPS orva_engine_brek_host orva_engine_window)

  orva_test(MODULE engine NAME engine_reception_e2e_test SERIAL SLOW TIMEOUT 900
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/reception_e2e_test.cpp
    DEPS orva_engine_files orva_common_settings)
  if(TARGET engine_reception_e2e_test)
    orva_test_needs(engine_reception_e2e_test brek orva-satsim)
  endif()
endif()

if(ORVA_BUILD_APPS)
  orva_test(MODULE engine NAME engine_brek_program_test QT SERIAL TIMEOUT 300
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/brek_program_test.cpp
    DEPS orva_platform_dbus orva_engine_files orva_common_pfh orva_common_settings Qt6::Core)
  if(TARGET engine_brek_program_test)
    orva_test_needs(engine_brek_program_test brek orva-satsim)
  endif()

  orva_test(MODULE engine NAME engine_terminal_view_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/terminal_view_test.cpp
    DEPS orva_engine_brek_host)

endif()
